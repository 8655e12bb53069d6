#include "BandedReplay.h"

#include <algorithm>
#include <cmath>

#include "CairoCanvas.h"
#include "Truncation.h"

namespace pelmora {

namespace {

bool whole(double value) { return value == std::floor(value); }

// Below this many operations a frame is drawn on the calling thread: waking
// the others costs more than they save (40 spheres with lines make ~200).
constexpr std::size_t kOperationsWorthBands = 1000;

// How many targets besides the current one keep their bands: enough for a
// host that draws in turn into up to four buffers.
constexpr std::size_t kKeptTargets = 3;

bool sameMatrix(const cairo_matrix_t& a, const cairo_matrix_t& b) {
    return a.xx == b.xx && a.yx == b.yx && a.xy == b.xy && a.yy == b.yy && a.x0 == b.x0 && a.y0 == b.y0;
}

}  // namespace

struct BandedReplay::Band {
    CairoSurfacePtr surface;
    CairoContextPtr cr;
    CairoCanvas canvas{CairoCanvas::FontMap::Own};
    // The band's rows in Cairo's user space (top-down), widened below by
    // what an operation may reach beyond its own coordinates.
    double userTop = 0.0;
    double userBottom = 0.0;

    // Whether the operation can touch the band's rows, judged generously;
    // anything not finite is left to the canvas.
    bool reaches(const DrawOp& op, double viewHeight, double lineWidth) const {
        const auto& v = op.values;
        double top = 0.0;
        double bottom = 0.0;
        double margin = 4.0;
        switch (op.kind) {
            case DrawOp::Kind::StrokeLine:
                top = viewHeight - std::max(v[1], v[3]);
                bottom = viewHeight - std::min(v[1], v[3]);
                margin += lineWidth;
                break;
            case DrawOp::Kind::FillOval:
            case DrawOp::Kind::StrokeOval:
                top = viewHeight - std::max(v[1], v[1] + v[3]);
                bottom = viewHeight - std::min(v[1], v[1] + v[3]);
                margin += lineWidth;
                break;
            case DrawOp::Kind::DrawText:
                // The text stands on its point: its glyphs rise above it by
                // less than a few font sizes.
                top = viewHeight - v[1] - 3.0 * op.attributes.font.size;
                bottom = viewHeight - v[1] + op.attributes.font.size;
                break;
            default:
                return true;
        }
        if (!std::isfinite(top) || !std::isfinite(bottom) || !std::isfinite(margin)) {
            return true;
        }
        return bottom + margin >= userTop && top - margin <= userBottom;
    }
};

BandedReplay::BandedReplay(std::int32_t bands) : bands_(std::max<std::int32_t>(bands, 1)), pool_(bands_) {}

// The bands, declared after the target whose pixels they draw on, go first.
BandedReplay::~BandedReplay() = default;

bool BandedReplay::suits(cairo_t* cr) {
    cairo_surface_t* surface = cairo_get_target(cr);
    if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE || cairo_get_group_target(cr) != surface ||
        cairo_image_surface_get_data(surface) == nullptr) {
        return false;
    }
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    double scaleX = 0.0;
    double scaleY = 0.0;
    double offsetX = 0.0;
    double offsetY = 0.0;
    cairo_surface_get_device_scale(surface, &scaleX, &scaleY);
    cairo_surface_get_device_offset(surface, &offsetX, &offsetY);
    // Band edges lie on whole logical rows, each a whole number of pixel
    // rows that must fit an int: a device scale beyond that is drawn whole.
    if (m.xy != 0.0 || m.yx != 0.0 || !(m.yy > 0.0) || !whole(scaleX) || !whole(scaleY) ||
        truncateToInt32(scaleY) < 1 || offsetX != 0.0 || offsetY != 0.0) {
        return false;
    }
    // No clip: the whole surface is drawn on.
    double x0 = 0.0;
    double y0 = 0.0;
    double x1 = 0.0;
    double y1 = 0.0;
    cairo_clip_extents(cr, &x0, &y0, &x1, &y1);
    cairo_user_to_device(cr, &x0, &y0);
    cairo_user_to_device(cr, &x1, &y1);
    const double width = cairo_image_surface_get_width(surface) / scaleX;
    const double height = cairo_image_surface_get_height(surface) / scaleY;
    return x0 <= 0.0 && y0 <= 0.0 && x1 >= width && y1 >= height;
}

Canvas& BandedReplay::begin(cairo_t* cr, double height) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (cairo_get_target(cr) != target_.get() || !sameMatrix(m, matrix_) || height != height_ || bandList_.empty()) {
        switchTo(cr, m, height);
    }
    recorder_.clear();
    return recorder_;
}

void BandedReplay::switchTo(cairo_t* cr, const cairo_matrix_t& matrix, double height) {
    KeptBands last{std::move(target_), height_, matrix_, std::move(bandList_), std::move(whole_)};
    bandList_.clear();
    const auto found = std::find_if(kept_.begin(), kept_.end(), [&](const KeptBands& kept) {
        return kept.target.get() == cairo_get_target(cr) && sameMatrix(kept.matrix, matrix) && kept.height == height;
    });
    if (found != kept_.end()) {
        target_ = std::move(found->target);
        height_ = found->height;
        matrix_ = found->matrix;
        bandList_ = std::move(found->bands);
        whole_ = std::move(found->whole);
        kept_.erase(found);
    } else {
        target_.reset(cairo_surface_reference(cairo_get_target(cr)));
        matrix_ = matrix;
        height_ = height;
        makeBands(cr);
    }
    if (last.target != nullptr && !last.bands.empty()) {
        kept_.insert(kept_.begin(), std::move(last));
        if (kept_.size() > kKeptTargets) {
            kept_.pop_back();
        }
    }
}

void BandedReplay::makeBands(cairo_t* cr) {
    cairo_surface_t* surface = cairo_get_target(cr);
    double scaleX = 1.0;
    double scaleY = 1.0;
    cairo_surface_get_device_scale(surface, &scaleX, &scaleY);
    const int rows = cairo_image_surface_get_height(surface);
    // Band edges on whole logical units, so each band's shift is whole pixels
    // at any whole device scale.
    const int unit = truncateToInt32(scaleY);  // at least 1, as suits() saw
    const int logicalRows = rows / unit;
    for (std::int32_t b = 0; b < bands_; ++b) {
        const int top = static_cast<int>(static_cast<std::int64_t>(logicalRows) * b / bands_) * unit;
        const int bottom =
            b + 1 == bands_ ? rows : static_cast<int>(static_cast<std::int64_t>(logicalRows) * (b + 1) / bands_) * unit;
        if (bottom > top) {
            bandList_.push_back(makeBand(cr, top, bottom));
        }
    }
    whole_ = makeBand(cr, 0, rows);
}

std::unique_ptr<BandedReplay::Band> BandedReplay::makeBand(cairo_t* cr, int top, int bottom) const {
    cairo_surface_t* surface = cairo_get_target(cr);
    double scaleX = 1.0;
    double scaleY = 1.0;
    cairo_surface_get_device_scale(surface, &scaleX, &scaleY);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    auto band = std::make_unique<Band>();
    band->surface.reset(cairo_image_surface_create_for_data(data + static_cast<std::ptrdiff_t>(top) * stride,
                                                            cairo_image_surface_get_format(surface),
                                                            cairo_image_surface_get_width(surface), bottom - top,
                                                            stride));
    cairo_surface_set_device_scale(band->surface.get(), scaleX, scaleY);
    band->cr.reset(cairo_create(band->surface.get()));
    cairo_matrix_t shifted = matrix_;
    shifted.y0 -= top / scaleY;
    cairo_set_matrix(band->cr.get(), &shifted);
    cairo_set_antialias(band->cr.get(), cairo_get_antialias(cr));
    cairo_set_tolerance(band->cr.get(), cairo_get_tolerance(cr));
    band->userTop = (top / scaleY - matrix_.y0) / matrix_.yy;
    band->userBottom = (bottom / scaleY - matrix_.y0) / matrix_.yy;
    band->canvas.setDirectSprites(true);
    band->canvas.setQuadStroke(true);
    return band;
}

void BandedReplay::replayBand(void* self, std::int32_t part) {
    auto& replay = *static_cast<BandedReplay*>(self);
    replay.replay(*replay.bandList_[static_cast<std::size_t>(part)]);
}

void BandedReplay::replay(Band& band) const {
    CairoCanvas& canvas = band.canvas;
    // The band's canvas holds its context for this replay only.
    struct FrameOnBand {
        CairoCanvas& canvas;
        ~FrameOnBand() { canvas.endFrame(); }
    } frame{canvas};
    canvas.beginFrame(band.cr.get(), height_);
    double lineWidth = 1.0;
    for (const DrawOp& op : recorder_.operations()) {
        const auto& v = op.values;
        if (op.kind == DrawOp::Kind::SetDefaultLineWidth && std::isfinite(v[0])) {
            lineWidth = std::fabs(v[0]);
        }
        if (!band.reaches(op, height_, lineWidth)) {
            continue;
        }
        switch (op.kind) {
            case DrawOp::Kind::SetColor: canvas.setColor(Color{v[0], v[1], v[2], v[3]}); break;
            case DrawOp::Kind::FillRect: canvas.fillRect(Rect{v[0], v[1], v[2], v[3]}); break;
            case DrawOp::Kind::SetDefaultLineWidth: canvas.setDefaultLineWidth(v[0]); break;
            case DrawOp::Kind::StrokeLine: canvas.strokeLine(Point{v[0], v[1]}, Point{v[2], v[3]}); break;
            case DrawOp::Kind::FillOval: canvas.fillOval(Rect{v[0], v[1], v[2], v[3]}); break;
            case DrawOp::Kind::StrokeOval: canvas.strokeOval(Rect{v[0], v[1], v[2], v[3]}); break;
            case DrawOp::Kind::DrawText: canvas.drawText(op.text, Point{v[0], v[1]}, op.attributes); break;
        }
    }
    cairo_surface_flush(band.surface.get());
}

void BandedReplay::finish() {
    cairo_surface_flush(target_.get());
    if (recorder_.operations().size() < kOperationsWorthBands || bandList_.size() < 2) {
        replay(*whole_);
        lastBands_ = 1;
    } else {
        lastBands_ = static_cast<std::int32_t>(bandList_.size());
        pool_.run(&BandedReplay::replayBand, this, lastBands_);
    }
    cairo_surface_mark_dirty(target_.get());
    recorder_.clear();
}

}  // namespace pelmora
