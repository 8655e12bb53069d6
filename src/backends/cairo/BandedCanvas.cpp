#include "BandedCanvas.h"

namespace pelmora {

BandedCanvas::Frame::Frame(BandedCanvas& canvas, cairo_t* cr, double height) : canvas_(canvas) {
    canvas_.begin(cr, height);
}

BandedCanvas::Frame::~Frame() {
    if (open_) {
        canvas_.end(false);
    }
}

void BandedCanvas::Frame::finish() {
    if (open_) {
        open_ = false;
        canvas_.end(true);
    }
}

void BandedCanvas::setBands(std::int32_t bands) {
    // Not in the middle of a frame: the recorder it draws on would go.
    if (drawing_ == &direct_) {
        banded_ = bands > 1 ? std::make_unique<BandedReplay>(bands) : nullptr;
    }
}

void BandedCanvas::begin(cairo_t* cr, double height) {
    if (cr != nullptr && banded_ && BandedReplay::suits(cr)) {
        drawing_ = &banded_->begin(cr, height);
        return;
    }
    direct_.beginFrame(cr, height);
    drawing_ = &direct_;
}

void BandedCanvas::end(bool draw) {
    if (drawing_ == &direct_) {
        direct_.endFrame();
        return;
    }
    drawing_ = &direct_;
    if (draw) {
        banded_->finish();
    } else {
        banded_->abandon();
    }
}

}  // namespace pelmora
