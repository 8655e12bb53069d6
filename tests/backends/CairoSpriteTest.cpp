// Discs and labels placed from cached sprites, and frames drawn in bands on
// several threads, must give the picture that drawing each operation anew on
// one thread gives: whole frames of a crowded view rendered both ways may
// differ by at most 2 in any channel of any pixel.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BandedCanvas.h"
#include "MemoryStores.h"
#include "NoSheetHost.h"
#include "PelmoraView.h"

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace pelmora {
namespace {

struct Look {
    bool fill;
    float radius;  // above 8 with filled discs: black labels on the disc; else white labels
    double deviceScale;
    std::int64_t count;
};

struct Frames {
    std::vector<unsigned char> pixels;
    int stride = 0;
};

// Renders `frames` frames of a view with the look on a fresh image surface
// and keeps the last frame's pixels.
Frames render(const Look& look, bool sprites, int frames, std::int32_t bands = 1, bool directSprites = false,
              cairo_format_t format = CAIRO_FORMAT_ARGB32) {
    constexpr int kWidth = 420;
    constexpr int kHeight = 300;
    cairo_surface_t* surface = cairo_image_surface_create(format, static_cast<int>(kWidth * look.deviceScale),
                                                          static_cast<int>(kHeight * look.deviceScale));
    cairo_surface_set_device_scale(surface, look.deviceScale, look.deviceScale);
    cairo_t* cr = cairo_create(surface);
    BandedCanvas canvas;
    canvas.setSpriteCaching(sprites);
    canvas.setDirectSprites(directSprites);
    canvas.setBands(bands);
    NoSheetHost sheets;
    testing::MemoryStores stores;
    auto& saved = stores.module("look").saved;
    saved["numberOfThings"] = look.count;
    saved["labelsEnabled"] = true;
    saved["showLocalFields"] = true;
    saved["fillSpheres"] = look.fill;
    saved["sphereRadii"] = look.radius;
    saved["chargeRange"] = std::int64_t{3};
    std::srand(12);
    PelmoraView view(Rect{0.0, 0.0, kWidth, kHeight}, false, ViewHost{stores, "look", canvas, sheets});
    for (int made = 0; made < frames; ++made) {
        BandedCanvas::Frame frame(canvas, cr, kHeight);
        view.animateOneFrame();
        frame.finish();
    }
    cairo_surface_flush(surface);
    Frames out;
    out.stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    out.pixels.assign(data, data + static_cast<std::size_t>(out.stride) * cairo_image_surface_get_height(surface));
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return out;
}

int largestDifference(const Frames& a, const Frames& b) {
    int largest = 0;
    for (std::size_t k = 0; k < a.pixels.size(); ++k) {
        const int d = std::abs(static_cast<int>(a.pixels[k]) - static_cast<int>(b.pixels[k]));
        largest = std::max(largest, d);
    }
    return largest;
}

// Counts the bytes that differ at all, to show the comparison sees something.
int bytesThatDiffer(const Frames& a, const Frames& b) {
    int count = 0;
    for (std::size_t k = 0; k < a.pixels.size(); ++k) {
        count += a.pixels[k] != b.pixels[k] ? 1 : 0;
    }
    return count;
}

class CairoSprites : public ::testing::TestWithParam<Look> {};

TEST_P(CairoSprites, PlaceDiscsAndLabelsWithinTwoLevelsOfDrawingThemAnew) {
    const Look look = GetParam();
    for (const int frames : {1, 25}) {
        const Frames direct = render(look, false, frames);
        const Frames cached = render(look, true, frames);
        ASSERT_EQ(direct.pixels.size(), cached.pixels.size());
        EXPECT_LE(largestDifference(direct, cached), 2) << "after " << frames << " frames, "
                                                        << bytesThatDiffer(direct, cached) << " bytes differ";
        // Three bands: edges that cut through discs, labels and lines.
        const Frames banded = render(look, true, frames, 3);
        EXPECT_LE(largestDifference(direct, banded), 2) << "in bands after " << frames << " frames, "
                                                        << bytesThatDiffer(direct, banded) << " bytes differ";
        EXPECT_GT(largestDifference(render(look, true, frames + 1, 3), banded), 100);  // the frames move
    }
}

// Sprites copied into the pixels must give Cairo's own placement to the
// byte, on surfaces with and without alpha.
TEST_P(CairoSprites, CopiedIntoThePixelsGiveCairosPicture) {
    const Look look = GetParam();
    for (const cairo_format_t format : {CAIRO_FORMAT_ARGB32, CAIRO_FORMAT_RGB24}) {
        const Frames placed = render(look, true, 25, 1, false, format);
        const Frames copied = render(look, true, 25, 1, true, format);
        ASSERT_EQ(placed.pixels.size(), copied.pixels.size());
        EXPECT_EQ(bytesThatDiffer(placed, copied), 0) << "format " << format;
    }
}

INSTANTIATE_TEST_SUITE_P(
    FilledOutlinedAndHiDpi, CairoSprites,
    ::testing::Values(Look{true, 10.0F, 1.0, 300}, Look{true, 6.5F, 1.0, 300}, Look{false, 10.5F, 1.0, 300},
                      Look{true, 10.0F, 2.0, 200}, Look{false, 7.25F, 2.0, 200}),
    [](const ::testing::TestParamInfo<Look>& param) {
        return std::string(param.param.fill ? "Filled" : "Outlined") + "Radius" +
               std::to_string(static_cast<int>(param.param.radius * 100)) + "Scale" +
               std::to_string(static_cast<int>(param.param.deviceScale));
    });

// A sprite that landed a pixel off, or in a wrong colour, shows at once.
TEST(CairoSpritesGuard, AMisplacedPictureIsFarOffTheDirectOne) {
    const Look look{true, 10.0F, 1.0, 300};
    const Frames one = render(look, false, 1);
    const Frames two = render(look, false, 2);
    EXPECT_GT(largestDifference(one, two), 100);
}

// Renders a frame of the crowded look on a 600 × 300 surface, frees that
// surface, and renders the next frame on a fresh 420 × 300 one, as a view
// does when its output narrows; the second frame's pixels.
Frames renderAcrossANarrowedSurface(std::int32_t bands) {
    constexpr int kHeight = 300;
    BandedCanvas canvas;
    canvas.setBands(bands);
    NoSheetHost sheets;
    testing::MemoryStores stores;
    stores.module("look").saved["numberOfThings"] = std::int64_t{300};
    std::srand(12);
    PelmoraView view(Rect{0.0, 0.0, 600, kHeight}, false, ViewHost{stores, "look", canvas, sheets});
    Frames out;
    for (const int width : {600, 420}) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, kHeight);
        cairo_t* cr = cairo_create(surface);
        {
            BandedCanvas::Frame frame(canvas, cr, kHeight);
            view.animateOneFrame();
            frame.finish();
        }
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        out.stride = cairo_image_surface_get_stride(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        out.pixels.assign(data, data + static_cast<std::size_t>(out.stride) * kHeight);
        cairo_surface_destroy(surface);
    }
    return out;
}

// The new surface often takes the freed one's address; the bands must still
// be drawn on the new pixels, not on the old ones.
TEST(CairoBands, FollowANewSurfaceOfAnotherSize) {
    const Frames direct = renderAcrossANarrowedSurface(1);
    const Frames banded = renderAcrossANarrowedSurface(3);
    ASSERT_EQ(direct.pixels.size(), banded.pixels.size());
    EXPECT_LE(largestDifference(direct, banded), 2) << bytesThatDiffer(direct, banded) << " bytes differ";
    const Frames blank{std::vector<unsigned char>(direct.pixels.size()), direct.stride};
    EXPECT_GT(largestDifference(direct, blank), 100);  // the frame was drawn at all
}

}  // namespace
}  // namespace pelmora
