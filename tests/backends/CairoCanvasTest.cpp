#include "CairoCanvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

// Fontconfig keeps its configuration and caches for the life of the process
// and never frees them; that is not ours to report.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace pelmora {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr Color kRed{1.0, 0.0, 0.0, 1.0};

struct Pixel {
    int red, green, blue;
};

// A canvas on an image surface, cleared to black, whose pixels the test reads
// back in Cairo's own top-down rows.
class CairoCanvasTest : public ::testing::Test {
protected:
    void SetUp() override { start(100, 50); }
    void TearDown() override { stop(); }

    void start(int width, int height) {
        width_ = width;
        height_ = height;
        surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        cr_ = cairo_create(surface_);
        canvas_.beginFrame(cr_, height);
        canvas_.setColor(Color::black());
        canvas_.fillRect({0, 0, static_cast<double>(width), static_cast<double>(height)});
    }
    void stop() {
        canvas_.endFrame();
        cairo_destroy(cr_);
        cairo_surface_destroy(surface_);
    }

    Pixel at(int x, int row) {
        cairo_surface_flush(surface_);
        const unsigned char* data = cairo_image_surface_get_data(surface_);
        std::uint32_t value = 0;
        std::memcpy(&value, data + row * cairo_image_surface_get_stride(surface_) + x * 4, sizeof value);
        return {static_cast<int>((value >> 16) & 0xff), static_cast<int>((value >> 8) & 0xff),
                static_cast<int>(value & 0xff)};
    }
    bool lit(int x, int row) {
        const Pixel p = at(x, row);
        return p.red + p.green + p.blue > 0;
    }
    int litInRow(int row) {
        int count = 0;
        for (int x = 0; x < width_; ++x) {
            count += lit(x, row) ? 1 : 0;
        }
        return count;
    }
    void expectStatusSuccess() { EXPECT_EQ(cairo_status(cr_), CAIRO_STATUS_SUCCESS) << cairo_status_to_string(cairo_status(cr_)); }

    int width_ = 0;
    int height_ = 0;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    CairoCanvas canvas_;
};

TEST_F(CairoCanvasTest, RectanglesAreFlippedSoYGrowsUpwards) {
    canvas_.setColor(kRed);
    canvas_.fillRect({10, 5, 20, 10});  // rows 35 to 44 from the top
    EXPECT_EQ(at(15, 40).red, 255);
    EXPECT_EQ(at(10, 35).red, 255);
    EXPECT_EQ(at(29, 44).red, 255);
    EXPECT_FALSE(lit(15, 45));
    EXPECT_FALSE(lit(15, 34));
    EXPECT_FALSE(lit(15, 10));
    EXPECT_FALSE(lit(30, 40));
}

TEST_F(CairoCanvasTest, LinesUseTheDefaultWidthSetBeforeThem) {
    canvas_.setColor(Color::white());
    canvas_.strokeLine({0, 40.5}, {100, 40.5});  // width 1.0 before any call: row 9 only
    EXPECT_EQ(litInRow(9), 100);
    EXPECT_EQ(litInRow(8), 0);
    EXPECT_EQ(litInRow(10), 0);

    canvas_.setDefaultLineWidth(4.0);
    canvas_.strokeLine({10, 25}, {90, 25});  // rows 23 to 26
    EXPECT_EQ(litInRow(23), 80);
    EXPECT_EQ(litInRow(26), 80);
    EXPECT_EQ(litInRow(22), 0);
    EXPECT_EQ(litInRow(27), 0);
}

TEST_F(CairoCanvasTest, OvalsAreInscribedInTheirRectangle) {
    canvas_.setColor(Color::white());
    canvas_.fillOval({20, 10, 40, 20});  // centre (40, 20) -> row 30
    EXPECT_TRUE(lit(40, 30));
    EXPECT_TRUE(lit(21, 30));
    EXPECT_TRUE(lit(40, 21));
    EXPECT_FALSE(lit(21, 21));  // the rectangle's corner lies outside the ellipse
    EXPECT_FALSE(lit(40, 19));

    canvas_.setColor(Color::black());
    canvas_.fillRect({0, 0, 100, 50});
    canvas_.setColor(Color::white());
    canvas_.strokeOval({20, 10, 40, 20});
    EXPECT_FALSE(lit(40, 30));
    EXPECT_TRUE(lit(20, 30) || lit(19, 30));
    EXPECT_TRUE(lit(40, 39) || lit(40, 40));  // the bottom of the oval, view y 10
}

TEST_F(CairoCanvasTest, TextIsUprightWithItsLowerLeftCornerAtThePoint) {
    stop();
    start(200, 100);
    canvas_.setColor(kRed);
    const TextAttributes white{{"Helvetica", 12.0}, Color::white()};
    canvas_.drawText("T", {10, 10}, white);  // the bottom of the text at row 90
    expectStatusSuccess();

    int top = -1;
    int bottom = -1;
    int left = 200;
    for (int row = 0; row < 100; ++row) {
        for (int x = 0; x < 200; ++x) {
            if (lit(x, row)) {
                top = top < 0 ? row : top;
                bottom = row;
                left = std::min(left, x);
            }
        }
    }
    ASSERT_GE(top, 0) << "no text drawn";
    // A 12-unit font: cap height about 8.6, descent about 2.6 below the baseline.
    EXPECT_LT(bottom, 90);
    EXPECT_GT(bottom, 90 - 6);
    EXPECT_GT(top, 90 - 16);
    EXPECT_GE(left, 10);
    EXPECT_LT(left, 13);
    // Upright: the crossbar of the T is at the top.
    EXPECT_GT(litInRow(top), litInRow(bottom) + 3);
    // The text colour comes from the attributes, and the current colour stays.
    const Pixel stem = at(left + (litInRow(top) / 2), bottom);
    EXPECT_EQ(stem.red, stem.blue);
    canvas_.fillRect({150, 50, 10, 10});
    EXPECT_EQ(at(155, 45).red, 255);
    EXPECT_EQ(at(155, 45).green, 0);
}

TEST_F(CairoCanvasTest, NonFiniteShapesAreSkippedAndDrawingGoesOn) {
    canvas_.setColor(Color::white());
    canvas_.strokeLine({kNaN, 0}, {10, 10});
    canvas_.strokeLine({0, 0}, {kInf, 10});
    canvas_.strokeLine({0, -kInf}, {10, 10});
    canvas_.fillRect({kNaN, 0, 10, 10});
    canvas_.fillRect({0, 0, kInf, 10});
    canvas_.fillOval({0, 0, kNaN, 10});
    canvas_.strokeOval({kInf, 0, 10, 10});
    canvas_.fillOval({10, 10, 0, 10});
    canvas_.strokeOval({10, 10, 10, 0});
    canvas_.fillOval({-1e300, -1e300, 1e300, 1e300});
    canvas_.setDefaultLineWidth(kNaN);
    canvas_.drawText("1", {kNaN, 5}, {{"Helvetica", 12.0}, Color::white()});
    canvas_.drawText("1", {5, 5}, {{"Helvetica", kInf}, Color::white()});
    canvas_.drawText("\xff\xfe", {5, 5}, {{"Helvetica", 12.0}, Color::white()});
    canvas_.setColor({kNaN, 0.5, 2.0, -1.0});
    expectStatusSuccess();

    canvas_.setColor(Color::black());
    canvas_.fillRect({0, 0, 100, 50});
    canvas_.setColor(Color::white());
    canvas_.strokeLine({0, 25.5}, {100, 25.5});  // the width stayed 1.0
    expectStatusSuccess();
    EXPECT_EQ(litInRow(24), 100);
    EXPECT_EQ(litInRow(23), 0);
    EXPECT_EQ(litInRow(25), 0);
}

TEST_F(CairoCanvasTest, EachNonFiniteShapeLeavesTheCanvasAsItWas) {
    // Looked at straight after each call: a repaint in between would hide
    // a shape that was drawn after all.
    const auto unlit = [this] {
        int count = 0;
        for (int row = 0; row < height_; ++row) {
            count += litInRow(row);
        }
        return count == 0;
    };
    canvas_.setColor(Color::white());
    for (const double bad : {kNaN, kInf, -kInf}) {
        SCOPED_TRACE(bad);
        const Point ends[][2] = {{{bad, 20}, {60, 20}}, {{20, 20}, {bad, 20}}, {{20, bad}, {20, 40}},
                                 {{20, 20}, {20, bad}}, {{bad, bad}, {30, 30}}, {{30, 30}, {bad, bad}}};
        for (const auto& line : ends) {
            canvas_.strokeLine(line[0], line[1]);
            EXPECT_TRUE(unlit()) << line[0].x << "," << line[0].y << " to " << line[1].x << "," << line[1].y;
        }
        const Rect rects[] = {{bad, 10, 20, 20}, {10, bad, 20, 20}, {10, 10, bad, 20}, {10, 10, 20, bad}};
        for (const Rect& rect : rects) {
            canvas_.fillRect(rect);
            EXPECT_TRUE(unlit()) << "fillRect " << rect.x << " " << rect.y << " " << rect.width << " " << rect.height;
            canvas_.fillOval(rect);
            EXPECT_TRUE(unlit()) << "fillOval " << rect.x << " " << rect.y << " " << rect.width << " " << rect.height;
            canvas_.strokeOval(rect);
            EXPECT_TRUE(unlit()) << "strokeOval " << rect.x << " " << rect.y << " " << rect.width << " "
                                 << rect.height;
        }
        canvas_.drawText("88", {bad, 20}, {{"Helvetica", 12.0}, Color::white()});
        canvas_.drawText("88", {20, bad}, {{"Helvetica", 12.0}, Color::white()});
        EXPECT_TRUE(unlit()) << "drawText";
        expectStatusSuccess();
    }
    canvas_.fillRect({10, 10, 20, 20});
    EXPECT_FALSE(unlit());
}

TEST_F(CairoCanvasTest, HugeLinesKeepTheirVisiblePart) {
    canvas_.setColor(Color::white());
    canvas_.strokeLine({50, 10.5}, {1e15, 10.5});
    canvas_.strokeLine({-1e300, 30.5}, {1e300, 30.5});
    canvas_.fillRect({-1e300, 45, 1e308, 1e308});
    expectStatusSuccess();
    EXPECT_EQ(litInRow(39), 50);
    EXPECT_EQ(litInRow(19), 100);
    EXPECT_EQ(litInRow(4), 100);
    EXPECT_EQ(litInRow(5), 0);
}

TEST(CairoCanvasWithoutTarget, DrawsNothingAndDoesNotCrash) {
    CairoCanvas canvas;
    canvas.setColor(kRed);
    canvas.fillRect({0, 0, 10, 10});
    canvas.strokeLine({0, 0}, {10, 10});
    canvas.drawText("1", {0, 0}, {{"Helvetica", 12.0}, Color::white()});
}

}  // namespace
}  // namespace pelmora
