#include "Direct2DCanvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "TopDownBitmap.h"

namespace pelmora {
namespace {

// Draws into a 32-bit top-down DIB through a memory DC, as the saver draws
// into its windows, and reads the pixels back. Wine draws shapes without
// antialiasing, so the checks look at colours well inside or outside shapes,
// never at their edges.
class Direct2DCanvasTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 200;
    static constexpr int kHeight = 100;

    void SetUp() override {
        ASSERT_TRUE(bitmap.valid());
        ASSERT_TRUE(canvas.usable()) << canvas.failure();
    }

    void begin(float dpi = 96.0F) {
        const RECT area{0, 0, kWidth, kHeight};
        ASSERT_TRUE(canvas.beginFrame(bitmap.dc(), area, dpi));
        canvas.setColor(Color::black());
        canvas.fillRect(Rect{0.0, 0.0, 1000.0, 1000.0});
    }
    void end() {
        ASSERT_TRUE(canvas.endFrame());
        GdiFlush();
    }

    // 0xRRGGBB of the pixel at column x, row y (row 0 at the top).
    std::uint32_t at(int x, int y) const { return bitmap.at(x, y); }

    int countColour(std::uint32_t colour, int top, int bottom) const {
        int count = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                count += at(x, y) == colour ? 1 : 0;
            }
        }
        return count;
    }

    testing::TopDownBitmap bitmap{kWidth, kHeight};
    Direct2DCanvas canvas;
};

constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kBlack = 0x000000;

TEST_F(Direct2DCanvasTest, TheViewsYAxisGrowsUpwardsFromTheLowerLeft) {
    begin();
    canvas.setColor(Color{1.0, 0.0, 0.0, 1.0});
    canvas.fillRect(Rect{0.0, 0.0, 50.0, 20.0});
    end();
    EXPECT_EQ(at(10, kHeight - 1), kRed);
    EXPECT_EQ(at(10, kHeight - 15), kRed);
    EXPECT_EQ(at(10, 10), kBlack);
    EXPECT_EQ(at(100, kHeight - 1), kBlack);
}

TEST_F(Direct2DCanvasTest, UnitsAreDeviceIndependentAndScaleWithTheDpi) {
    EXPECT_EQ(Direct2DCanvas::toUnits(200, 192.0F), 100.0);
    EXPECT_EQ(Direct2DCanvas::toUnits(200, 96.0F), 200.0);
    begin(192.0F);
    canvas.setColor(Color{1.0, 0.0, 0.0, 1.0});
    canvas.fillRect(Rect{0.0, 0.0, 25.0, 10.0});
    end();
    // 25 x 10 units are 50 x 20 pixels at twice the standard DPI.
    EXPECT_EQ(at(45, kHeight - 18), kRed);
    EXPECT_EQ(at(55, kHeight - 5), kBlack);
    EXPECT_EQ(at(10, kHeight - 25), kBlack);
}

TEST_F(Direct2DCanvasTest, OvalsAndLinesLandWhereTheViewPutsThem) {
    begin();
    canvas.setColor(Color{1.0, 0.0, 0.0, 1.0});
    // The disc inscribed in the 20 x 20 square at (50, 25): centre (60, 35).
    canvas.fillOval(Rect{50.0, 25.0, 20.0, 20.0});
    canvas.setColor(Color::white());
    canvas.setDefaultLineWidth(3.0);
    canvas.strokeLine(Point{100.0, 80.0}, Point{190.0, 80.0});
    canvas.strokeOval(Rect{150.0, 10.0, 30.0, 30.0});
    end();
    EXPECT_EQ(at(60, kHeight - 35), kRed);
    // The corner of the square is outside the disc.
    EXPECT_EQ(at(51, kHeight - 26), kBlack);
    EXPECT_EQ(at(150, kHeight - 80), kWhite);
    EXPECT_EQ(at(150, kHeight - 70), kBlack);
    // The outline's left edge at x = 150, y = 25, and an empty middle.
    EXPECT_EQ(at(150, kHeight - 25), kWhite);
    EXPECT_EQ(at(165, kHeight - 25), kBlack);
}

TEST_F(Direct2DCanvasTest, TextUsesTheAttributesColourAndSitsOnItsPoint) {
    begin();
    canvas.setColor(Color{1.0, 0.0, 0.0, 1.0});
    canvas.drawText("+8 -8", Point{20.0, 40.0}, TextAttributes{Font{"Helvetica", 24.0}, Color::white()});
    canvas.fillRect(Rect{190.0, 0.0, 10.0, 10.0});
    end();
    // Text is antialiased, so count pure white: the glyphs' cores.
    const int above = countColour(kWhite, kHeight - 40 - 30, kHeight - 40);
    EXPECT_GT(above, 20) << "no text drawn";
    EXPECT_EQ(countColour(kWhite, kHeight - 39, kHeight), 0);
    // The current colour is still the one set before the text.
    EXPECT_EQ(at(195, kHeight - 5), kRed);
}

TEST_F(Direct2DCanvasTest, ValuesNoScreenCanShowDrawNothingAndSpoilNothing) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    begin();
    canvas.setColor(Color{kNaN, 2.0, -1.0, 1.0});
    canvas.fillRect(Rect{kNaN, 0.0, 10.0, 10.0});
    canvas.fillOval(Rect{0.0, 0.0, kInf, 10.0});
    canvas.strokeOval(Rect{1e300, 0.0, 10.0, 10.0});
    canvas.strokeLine(Point{kNaN, 0.0}, Point{10.0, 10.0});
    canvas.setDefaultLineWidth(kNaN);
    canvas.drawText("x", Point{kInf, 0.0}, TextAttributes{Font{"Helvetica", 12.0}, Color::white()});
    canvas.drawText("x", Point{10.0, 10.0}, TextAttributes{Font{"Helvetica", 1e300}, Color::white()});
    EXPECT_EQ(countColour(0x00FF00, 0, kHeight), 0);
    // A line from far outside still shows its visible part.
    canvas.setColor(Color::white());
    canvas.setDefaultLineWidth(3.0);
    canvas.strokeLine(Point{-1e300, 50.0}, Point{1e300, 50.0});
    end();
    EXPECT_EQ(at(100, kHeight - 50), kWhite);
    EXPECT_EQ(countColour(0x00FF00, 0, kHeight), 0);
}

TEST_F(Direct2DCanvasTest, DrawingOutsideAFrameDoesNothing) {
    canvas.setColor(Color{1.0, 0.0, 0.0, 1.0});
    canvas.fillRect(Rect{0.0, 0.0, 200.0, 100.0});
    EXPECT_FALSE(canvas.endFrame());
    GdiFlush();
    EXPECT_EQ(countColour(kRed, 0, kHeight), 0);
}

}  // namespace
}  // namespace pelmora
