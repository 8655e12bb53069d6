#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "CairoHandles.h"
#include "RecordingCanvas.h"
#include "WorkerPool.h"

namespace pelmora {

// Draws a frame's operations on an image surface in horizontal bands, one
// thread per band. The operations are recorded first; each band is then a
// surface of its own over the band's rows of the same pixels, shifted by
// whole pixels, so every band replays the operations in their order and
// paints exactly the pixels the whole surface would get in those rows.
class BandedReplay {
public:
    explicit BandedReplay(std::int32_t bands);
    ~BandedReplay();
    BandedReplay(const BandedReplay&) = delete;
    BandedReplay& operator=(const BandedReplay&) = delete;

    // Whether a frame on `cr` can be split: an image surface without a clip,
    // drawn with a plain scale and translation at a whole device scale.
    static bool suits(cairo_t* cr);

    // Starts a frame on `cr` (which suits()), `height` the view's height;
    // the frame's operations go to the canvas returned. `cr` is not kept.
    Canvas& begin(cairo_t* cr, double height);
    // Draws what was recorded since begin() and forgets it.
    void finish();
    // Forgets what was recorded since begin() without drawing it.
    void abandon() { recorder_.clear(); }
    // How many bands drew the last frame: 1 when it was drawn whole, as
    // frames too small to be worth the threads are.
    std::int32_t lastBands() const { return lastBands_; }

private:
    struct Band;
    static void replayBand(void* self, std::int32_t part);
    void replay(Band& band) const;
    // Takes up the bands of the target `cr` draws on, kept from before or made now.
    void switchTo(cairo_t* cr, const cairo_matrix_t& matrix, double height);
    void makeBands(cairo_t* cr);
    std::unique_ptr<Band> makeBand(cairo_t* cr, int top, int bottom) const;

    std::int32_t bands_;
    std::int32_t lastBands_ = 0;
    WorkerPool pool_;
    RecordingCanvas recorder_;
    // The bands are made over the target's pixels; holding the target keeps
    // those pixels alive and its address from being handed to a new surface
    // (a resized frame), which would pass for this one and be drawn through
    // bands over freed memory.
    CairoSurfacePtr target_;
    double height_ = 0.0;
    cairo_matrix_t matrix_{};
    std::vector<std::unique_ptr<Band>> bandList_;
    // The whole surface as one band, for frames too small to be worth
    // waking the other threads.
    std::unique_ptr<Band> whole_;
    // The bands of the targets drawn on before, latest first: a host that
    // draws its frames in turn into a few buffers of its own keeps each
    // buffer's bands, and with them their canvases' fonts and sprites,
    // instead of making them anew every frame. Members in this order: the
    // bands go before their target.
    struct KeptBands {
        CairoSurfacePtr target;
        double height = 0.0;
        cairo_matrix_t matrix{};
        std::vector<std::unique_ptr<Band>> bands;
        std::unique_ptr<Band> whole;
    };
    std::vector<KeptBands> kept_;
};

}  // namespace pelmora
