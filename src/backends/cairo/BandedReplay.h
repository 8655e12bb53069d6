#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "RecordingCanvas.h"
#include "WorkerPool.h"

namespace pelmora {

class CairoCanvas;

// Draws a frame's operations on an image surface in horizontal bands, one
// thread per band. Each band is a surface of its own over the band's rows of
// the same pixels, shifted by whole pixels, so every band replays the
// operations in their order and paints exactly the pixels the whole surface
// would get in those rows.
class BandedReplay {
public:
    explicit BandedReplay(std::int32_t bands);
    ~BandedReplay();
    BandedReplay(const BandedReplay&) = delete;
    BandedReplay& operator=(const BandedReplay&) = delete;

    // Whether a frame on `cr` can be split: an image surface without a clip,
    // drawn with a plain scale and translation at a whole device scale.
    static bool suits(cairo_t* cr);

    // Starts a frame on `cr` (which suits()), `height` the view's height.
    void begin(cairo_t* cr, double height);
    RecordingCanvas& recorder() { return recorder_; }
    // Draws what was recorded since begin() and forgets it.
    void finish();

private:
    struct Band;
    static void replayBand(void* self, std::int32_t part);
    void replay(Band& band) const;
    void makeBands(cairo_t* cr);
    std::unique_ptr<Band> makeBand(cairo_t* cr, int top, int bottom) const;

    std::int32_t bands_;
    WorkerPool pool_;
    RecordingCanvas recorder_;
    cairo_surface_t* target_ = nullptr;
    double height_ = 0.0;
    cairo_matrix_t matrix_{};
    std::vector<std::unique_ptr<Band>> bandList_;
    // The whole surface as one band, for frames too small to be worth
    // waking the other threads.
    std::unique_ptr<Band> whole_;
};

}  // namespace pelmora
