// Lines stroked straight into the pixels against Cairo's own stroke of the
// same lines. Cairo samples a pixel's coverage rather than working out its
// area; on single lines its picture was measured up to 17 levels (1/15 of
// full scale) off the exact one, so a level of rounding more is allowed;
// the ink of the whole picture agrees.
#include "QuadStroke.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace pelmora {
namespace {

constexpr int kSide = 64;
constexpr int kSingleLineTolerance = 18;

struct Line {
    double x0, y0, x1, y1, width;
};

struct Comparison {
    int worst = 0;
    long long cairoInk = 0;
    long long ourInk = 0;
};

constexpr Color kOrange{1.0, 0.6, 0.1, 0.8};

// Draws `lines` on two fresh surfaces at the device scale, by Cairo and by
// QuadStroke, in `color` over a grey ground; compares every byte.
Comparison compare(const std::vector<Line>& lines, double deviceScale = 1.0,
                   cairo_format_t format = CAIRO_FORMAT_ARGB32, const Color& color = kOrange) {
    const int pixels = static_cast<int>(kSide * deviceScale);
    cairo_surface_t* theirs = cairo_image_surface_create(format, pixels, pixels);
    cairo_surface_t* ours = cairo_image_surface_create(format, pixels, pixels);
    Comparison result;
    for (cairo_surface_t* surface : {theirs, ours}) {
        cairo_surface_set_device_scale(surface, deviceScale, deviceScale);
        cairo_t* cr = cairo_create(surface);
        cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
        cairo_paint(cr);
        cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
        for (const Line& line : lines) {
            if (surface == ours) {
                EXPECT_TRUE(QuadStroke().stroke(cr, line.x0, line.y0, line.x1, line.y1, line.width, color));
            } else {
                cairo_set_line_width(cr, line.width);
                cairo_move_to(cr, line.x0, line.y0);
                cairo_line_to(cr, line.x1, line.y1);
                cairo_stroke(cr);
            }
        }
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }
    const unsigned char* a = cairo_image_surface_get_data(theirs);
    const unsigned char* b = cairo_image_surface_get_data(ours);
    const int bytes = cairo_image_surface_get_stride(theirs) * pixels;
    for (int k = 0; k < bytes; ++k) {
        result.worst = std::max(result.worst, std::abs(a[k] - b[k]));
        result.cairoInk += a[k];
        result.ourInk += b[k];
    }
    cairo_surface_destroy(theirs);
    cairo_surface_destroy(ours);
    return result;
}

// The whole picture's ink agrees to a thousandth: no line lost or doubled.
void expectSameInk(const Comparison& c) {
    EXPECT_NEAR(static_cast<double>(c.ourInk), static_cast<double>(c.cairoInk), static_cast<double>(c.cairoInk) / 1000.0);
}

// In translucent orange and opaque white (which covered pixels take as is).
TEST(QuadStroke, MatchesCairosStrokeAtAnyAngleWidthAndScale) {
    std::srand(3);
    const auto anywhere = [] { return 8.0 + (std::rand() % 4800) / 100.0; };
    for (const double scale : {1.0, 2.0}) {
        for (const double width : {0.5, 1.0, 2.5}) {
            for (int k = 0; k < 200; ++k) {
                const Line line{anywhere(), anywhere(), anywhere(), anywhere(), width};
                const Comparison c = compare({line}, scale, CAIRO_FORMAT_ARGB32, k % 2 == 0 ? kOrange : Color::white());
                ASSERT_LE(c.worst, kSingleLineTolerance)
                    << "line (" << line.x0 << ", " << line.y0 << ") to (" << line.x1 << ", " << line.y1
                    << ") width " << width << " scale " << scale;
                expectSameInk(c);
            }
        }
    }
}

// Level, upright, on whole and half pixels, crossing each edge of the
// surface, on a surface without alpha.
TEST(QuadStroke, MatchesCairosStrokeOnTheGridAndAcrossTheSurfacesEdges) {
    const std::vector<Line> lines{
        {4.0, 10.5, 60.0, 10.5, 1.0},  {10.5, 4.0, 10.5, 60.0, 1.0}, {4.0, 20.0, 60.0, 20.0, 1.0},
        {4.0, 30.25, 50.0, 30.25, 3.0}, {-20.0, 40.0, 20.0, 44.0, 1.0}, {50.0, 5.0, 90.0, 7.0, 1.5},
        {30.0, -9.0, 33.0, 9.0, 1.0},  {40.0, 55.0, 47.0, 80.0, 2.0},  {-5.0, -5.0, 70.0, 70.0, 1.0},
    };
    for (const Line& line : lines) {
        for (const cairo_format_t format : {CAIRO_FORMAT_ARGB32, CAIRO_FORMAT_RGB24}) {
            const Comparison c = compare({line}, 1.0, format);
            EXPECT_LE(c.worst, kSingleLineTolerance) << "line (" << line.x0 << ", " << line.y0 << ") to ("
                                                     << line.x1 << ", " << line.y1 << ") format " << format;
            expectSameInk(c);
        }
    }
}

// Lines of no length or width cover nothing, as Cairo's butt-ended ones.
TEST(QuadStroke, DrawsNothingForALineOfNoLengthOrWidth) {
    const Comparison c = compare({{20.0, 20.0, 20.0, 20.0, 1.0}, {10.0, 10.0, 50.0, 30.0, 0.0}});
    EXPECT_EQ(c.worst, 0);
}

// What it cannot draw it leaves to Cairo, drawing nothing itself.
TEST(QuadStroke, DeclinesWhatItCannotDraw) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSide, kSide);
    cairo_t* cr = cairo_create(surface);
    QuadStroke stroke;
    EXPECT_FALSE(stroke.stroke(cr, 0.0, 0.0, 5000.0, 10.0, 1.0, Color::white()));  // too long for one pass
    cairo_save(cr);
    cairo_rotate(cr, 0.5);
    EXPECT_FALSE(stroke.stroke(cr, 0.0, 0.0, 10.0, 10.0, 1.0, Color::white()));
    cairo_restore(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    EXPECT_FALSE(stroke.stroke(cr, 0.0, 0.0, 10.0, 10.0, 1.0, Color::white()));
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    EXPECT_FALSE(stroke.stroke(cr, 0.0, 0.0, 10.0, 10.0, 1.0, Color::white()));
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    for (int k = 0; k < cairo_image_surface_get_stride(surface) * kSide; ++k) {
        ASSERT_EQ(data[k], 0) << "byte " << k;
    }
    cairo_surface_destroy(surface);

    cairo_surface_t* a8 = cairo_image_surface_create(CAIRO_FORMAT_A8, kSide, kSide);
    cairo_t* onA8 = cairo_create(a8);
    EXPECT_FALSE(stroke.stroke(onA8, 0.0, 0.0, 10.0, 10.0, 1.0, Color::white()));
    cairo_destroy(onA8);
    cairo_surface_destroy(a8);
}

}  // namespace
}  // namespace pelmora
