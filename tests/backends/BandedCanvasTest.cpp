// Frames drawn in bands on several threads must give the picture of the same
// frames drawn straight on the context, whatever happens to the context
// between frames and wherever a shape meets a band's edge: within 2 levels
// for discs and labels, within 1/8 of full scale (32 levels) where lines,
// which the bands stroke with QuadStroke, cross each other (see
// CairoSpriteTest.cpp).
#include "BandedCanvas.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace pelmora {
namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 200;
constexpr int kBandedTolerance = 32;
const TextAttributes kLabel{{"Sans", 16.0}, Color::white()};

using Pixels = std::vector<unsigned char>;

// Discs, field lines and labels all over the view: about 1,500 operations,
// enough for a frame to be split into bands.
void drawScene(Canvas& canvas, int frame) {
    canvas.setColor(Color{0.03, 0.05, 0.2, 1.0});
    canvas.fillRect({0.0, 0.0, kWidth, kHeight});
    for (int k = 0; k < 300; ++k) {
        const double x = std::fmod(k * 37.3 + frame * 5.1, kWidth);
        const double y = std::fmod(k * 23.7 + frame * 3.3, kHeight);
        canvas.setColor(Color{(k % 3) / 2.0, 0.5, 1.0 - (k % 5) / 4.0, 1.0});
        canvas.fillOval({x - 6.0, y - 6.0, 12.0, 12.0});
        canvas.setColor(Color::white());
        canvas.strokeLine({x, y}, {x + 15.0 * std::cos(k), y + 15.0 * std::sin(k)});
        canvas.drawText(std::to_string(k % 7 - 3), {x + 7.0, y + 7.0}, kLabel);
    }
}

// Called before each frame with the frame's context and number.
using Prepare = std::function<void(cairo_t*, int)>;

// Draws `frames` frames with `draw` on one image surface at the device
// scale, each on a fresh context readied by `prepare`; the last frame's
// pixels.
Pixels render(std::int32_t bands, double deviceScale, int frames, const std::function<void(Canvas&, int)>& draw,
              const Prepare& prepare = [](cairo_t*, int) {}) {
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(kWidth * deviceScale),
                                   static_cast<int>(kHeight * deviceScale));
    cairo_surface_set_device_scale(surface, deviceScale, deviceScale);
    BandedCanvas canvas;
    canvas.setBands(bands);
    for (int frame = 0; frame < frames; ++frame) {
        cairo_t* cr = cairo_create(surface);
        prepare(cr, frame);
        BandedCanvas::Frame drawing(canvas, cr, kHeight);
        draw(canvas, frame);
        drawing.finish();
        EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
        cairo_destroy(cr);
    }
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    Pixels pixels(data, data + static_cast<std::size_t>(cairo_image_surface_get_stride(surface)) *
                                   cairo_image_surface_get_height(surface));
    cairo_surface_destroy(surface);
    return pixels;
}

int largestDifference(const Pixels& a, const Pixels& b) {
    int largest = a.size() == b.size() ? 0 : 255;
    for (std::size_t k = 0; k < a.size() && k < b.size(); ++k) {
        largest = std::max(largest, std::abs(static_cast<int>(a[k]) - static_cast<int>(b[k])));
    }
    return largest;
}

// Expects the banded picture within the tolerance of the straight one, and
// the frames to show something at all.
void expectSamePicture(int frames, const std::function<void(Canvas&, int)>& draw, const Prepare& prepare,
                       double deviceScale = 1.0) {
    const Pixels straight = render(1, deviceScale, frames, draw, prepare);
    const Pixels banded = render(3, deviceScale, frames, draw, prepare);
    EXPECT_LE(largestDifference(straight, banded), kBandedTolerance);
    EXPECT_GT(largestDifference(straight, Pixels(straight.size())), 100);
}

// A clip a host sets on one frame's context (a few rows at the bottom of a
// band or of the frame, a strip at the top or side) keeps those pixels as
// they were, as a frame drawn straight does.
// A crowded frame really is split: drawn whole it would give the same
// picture, only slower.
TEST(BandedCanvas, SplitsACrowdedFrameIntoTheBandsAskedFor) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
    for (const std::int32_t bands : {1, 2, 3}) {
        BandedCanvas canvas;
        canvas.setBands(bands);
        cairo_t* cr = cairo_create(surface);
        {
            BandedCanvas::Frame frame(canvas, cr, kHeight);
            drawScene(canvas, 0);
            frame.finish();
        }
        cairo_destroy(cr);
        EXPECT_EQ(canvas.bandsOfLastFrame(), bands);
    }
    cairo_surface_destroy(surface);
}

TEST(BandedCanvas, HonoursAClipThatComesAfterUnclippedFrames) {
    const struct {
        double x, y, width, height;
    } clips[] = {
        {0.0, 0.0, kWidth, kHeight - 3.0},      // all but the frame's bottom rows
        {0.0, 0.0, kWidth, kHeight / 3.0 - 2},  // above the first band's bottom rows
        {0.0, 4.0, kWidth, kHeight - 4.0},      // all but the top rows
        {5.0, 0.0, kWidth - 5.0, kHeight},      // all but the left columns
    };
    for (const auto& clip : clips) {
        SCOPED_TRACE(::testing::Message() << "clip " << clip.x << ", " << clip.y << ", " << clip.width << " x "
                                          << clip.height);
        expectSamePicture(3, drawScene, [&clip](cairo_t* cr, int frame) {
            if (frame == 2) {
                cairo_rectangle(cr, clip.x, clip.y, clip.width, clip.height);
                cairo_clip(cr);
            }
        });
    }
}

// A new matrix on the context (the host scrolled or zoomed) is drawn with
// the new matrix, not the one the bands were made for.
TEST(BandedCanvas, FollowsANewMatrixBetweenFrames) {
    const std::function<void(cairo_t*)> matrices[] = {
        [](cairo_t* cr) { cairo_translate(cr, 0.0, 7.0); },
        [](cairo_t* cr) { cairo_translate(cr, 11.0, 0.0); },
        [](cairo_t* cr) { cairo_scale(cr, 1.5, 1.5); },
        [](cairo_t* cr) { cairo_scale(cr, 1.0, 0.5); },
    };
    for (std::size_t m = 0; m < std::size(matrices); ++m) {
        SCOPED_TRACE(::testing::Message() << "matrix " << m);
        expectSamePicture(3, drawScene, [&matrices, m](cairo_t* cr, int frame) {
            if (frame >= 1) {
                matrices[m](cr);
            }
        });
    }
}

// A host that draws its frames in turn into a few buffers of its own (the
// Wayland host's pool) keeps the bands of each: every buffer must get its own
// frames, also after one of them is drawn with a new matrix and when more
// buffers take turns than the bands are kept for.
TEST(BandedCanvas, DrawsFramesInTurnIntoSeveralSurfacesEachOnItsOwn) {
    constexpr int kSurfaces = 5;
    constexpr int kFrames = 15;
    const auto renderInTurn = [](std::int32_t bands) {
        std::vector<cairo_surface_t*> surfaces;
        for (int k = 0; k < kSurfaces; ++k) {
            surfaces.push_back(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight));
        }
        BandedCanvas canvas;
        canvas.setBands(bands);
        // Three take turns, then all five, then three again.
        const int turns[kFrames] = {0, 1, 2, 0, 1, 2, 3, 4, 0, 1, 2, 3, 4, 0, 2};
        for (int frame = 0; frame < kFrames; ++frame) {
            const int k = turns[frame];
            cairo_t* cr = cairo_create(surfaces[static_cast<std::size_t>(k)]);
            if (k == 1 && frame > 5) {
                cairo_translate(cr, 0.0, 7.0);
            }
            BandedCanvas::Frame drawing(canvas, cr, kHeight);
            drawScene(canvas, frame);
            drawing.finish();
            cairo_destroy(cr);
        }
        std::vector<Pixels> pictures;
        for (cairo_surface_t* surface : surfaces) {
            cairo_surface_flush(surface);
            const unsigned char* data = cairo_image_surface_get_data(surface);
            pictures.emplace_back(data, data + static_cast<std::size_t>(cairo_image_surface_get_stride(surface)) *
                                                   cairo_image_surface_get_height(surface));
            cairo_surface_destroy(surface);
        }
        return pictures;
    };
    const std::vector<Pixels> straight = renderInTurn(1);
    const std::vector<Pixels> banded = renderInTurn(3);
    for (std::size_t k = 0; k < straight.size(); ++k) {
        SCOPED_TRACE(::testing::Message() << "surface " << k);
        EXPECT_LE(largestDifference(straight[k], banded[k]), kBandedTolerance);
    }
}

// Labels whose glyphs cross the edge between the two bands, from just above
// to just below it, at every device scale a screen has: each band must draw
// its part of every one.
TEST(BandedCanvas, DrawsLabelsAcrossABandsEdgeWhole) {
    // Two bands meet at the view's middle row.
    const double seam = kHeight / 2.0;
    const auto labelsAcrossTheSeam = [seam](Canvas& canvas, int) {
        canvas.setColor(Color::black());
        canvas.fillRect({0.0, 0.0, kWidth, kHeight});
        for (int k = 0; k < 600; ++k) {
            canvas.setColor(Color::white());
            canvas.drawText("+3", {std::fmod(k * 41.0, kWidth - 30.0), seam - 30.0 + k * 0.1}, kLabel);
        }
    };
    for (const double scale : {1.0, 2.0, 3.0}) {
        SCOPED_TRACE(::testing::Message() << "device scale " << scale);
        const Pixels straight = render(1, scale, 1, labelsAcrossTheSeam);
        const Pixels banded = render(2, scale, 1, labelsAcrossTheSeam);
        EXPECT_LE(largestDifference(straight, banded), 2);
        EXPECT_GT(largestDifference(straight, Pixels(straight.size())), 100);
    }
}

// A device scale far beyond any screen's, even beyond what an int holds,
// cannot be split into bands of whole rows: the frame is drawn straight.
TEST(BandedCanvas, DrawsAFrameAtAHugeDeviceScaleStraight) {
    for (const double scale : {2147483648.0, 1.0e300}) {
        SCOPED_TRACE(::testing::Message() << "device scale " << scale);
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
        cairo_surface_set_device_scale(surface, scale, scale);
        cairo_t* cr = cairo_create(surface);
        BandedCanvas canvas;
        canvas.setBands(2);
        {
            BandedCanvas::Frame frame(canvas, cr, 8.0 / scale);
            canvas.setColor(Color::white());
            canvas.fillRect({0.0, 0.0, 1.0, 1.0});
            frame.finish();
        }
        EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
}

}  // namespace
}  // namespace pelmora
