#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>

#include "BandedReplay.h"
#include "CairoCanvas.h"
#include "Canvas.h"

namespace pelmora {

// The canvas a host gives its view: frames on a Cairo context, drawn in
// horizontal bands on several threads when the context allows it (see
// BandedReplay::suits()) and more than one band is asked for, else straight
// on the context. A frame lasts as long as a Frame; outside one nothing is
// drawn and no context is held.
class BandedCanvas : public Canvas {
public:
    BandedCanvas() = default;
    BandedCanvas(const BandedCanvas&) = delete;
    BandedCanvas& operator=(const BandedCanvas&) = delete;

    // One frame on `cr` (not owned), `height` the view's height in the
    // context's user units. The view's drawing of the frame goes between
    // making it and finish(); a Frame that ends unfinished (an exception)
    // draws nothing more and lets go of `cr` all the same.
    class Frame {
    public:
        Frame(BandedCanvas& canvas, cairo_t* cr, double height);
        ~Frame();
        Frame(const Frame&) = delete;
        Frame& operator=(const Frame&) = delete;
        // Draws what the frame's bands recorded; call before drawing
        // anything else on the context.
        void finish();

    private:
        BandedCanvas& canvas_;
        bool open_ = true;
    };

    // How many bands frames are drawn in; 1 or fewer draws straight.
    void setBands(std::int32_t bands);
    // How many bands drew the last frame; 1 when it was drawn straight.
    std::int32_t bandsOfLastFrame() const { return banded_ ? banded_->lastBands() : 1; }
    // For frames drawn straight: see CairoCanvas.
    void setSpriteCaching(bool on) { direct_.setSpriteCaching(on); }
    void setDirectSprites(bool on) { direct_.setDirectSprites(on); }

    void setColor(const Color& color) override { drawing_->setColor(color); }
    void fillRect(const Rect& rect) override { drawing_->fillRect(rect); }
    void setDefaultLineWidth(double width) override { drawing_->setDefaultLineWidth(width); }
    void strokeLine(Point from, Point to) override { drawing_->strokeLine(from, to); }
    void fillOval(const Rect& rect) override { drawing_->fillOval(rect); }
    void strokeOval(const Rect& rect) override { drawing_->strokeOval(rect); }
    void drawText(const std::string& text, Point at, const TextAttributes& attributes) override {
        drawing_->drawText(text, at, attributes);
    }

private:
    void begin(cairo_t* cr, double height);
    void end(bool draw);

    CairoCanvas direct_;
    std::unique_ptr<BandedReplay> banded_;
    // Where the operations go: the direct canvas, or the bands' recorder
    // during a banded frame.
    Canvas* drawing_ = &direct_;
};

}  // namespace pelmora
