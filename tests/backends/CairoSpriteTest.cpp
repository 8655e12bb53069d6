// Discs and labels placed from cached sprites must give the picture that
// drawing each operation anew on one thread gives: whole frames of a crowded
// view rendered both ways may differ by at most 2 in any channel of any
// pixel. Frames drawn in bands on several threads stroke their lines with
// QuadStroke, whose exact coverage differs from Cairo's sampled one by up to
// 1/15 per line (see QuadStrokeTest.cpp); where lines cross, the differences
// add up, so banded frames are held to 1/8 of full scale (32 levels).
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BandedCanvas.h"
#include "CairoCanvas.h"
#include "MemoryStores.h"
#include "NoSheetHost.h"
#include "PelmoraView.h"
#include "SpriteBlit.h"
#include "SpriteCache.h"

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace pelmora {
namespace {

constexpr int kBandedTolerance = 32;

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
        EXPECT_LE(largestDifference(direct, banded), kBandedTolerance) << "in bands after " << frames << " frames, "
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

// An ARGB32 surface of width x height whose pixels are `pixels`, row by row.
cairo_surface_t* imageOf(int width, int height, const std::vector<std::uint32_t>& pixels) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < height; ++y) {
        std::memcpy(data + y * cairo_image_surface_get_stride(surface), &pixels[static_cast<std::size_t>(y * width)],
                    static_cast<std::size_t>(width) * sizeof(std::uint32_t));
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

Frames pixelsOf(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    Frames out;
    out.stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    out.pixels.assign(data, data + static_cast<std::size_t>(out.stride) * cairo_image_surface_get_height(surface));
    return out;
}

// A sprite brighter than its own alpha (which premultiplied drawing never
// makes, but a surface filled by other means may hold) over bright pixels
// sums past 255 in every channel: a copied sprite must stop at 255 as
// Cairo's placement does, in the pixels blended four at a time and in those
// blended one at a time.
TEST(CairoSpritesGuard, CopiedOverBrightPixelsStopAtWhiteAsCairosPlacementDoes) {
    constexpr int kSpriteWidth = 13;
    constexpr std::uint32_t kOpaque = 0xff20a0ffu;
    const std::vector<std::uint32_t> bright{0x80ffc040u, 0x20ff20ffu, 0x01ffffffu, 0xc0ffffffu, 0x00808080u,
                                            0x7f7f7f7fu, 0x10ff0000u};
    std::vector<std::uint32_t> sprite;
    for (int x = 0; x < kSpriteWidth; ++x) {  // partly covering all along: 3 x 4 pixels and one
        sprite.push_back(bright[static_cast<std::size_t>(x) % bright.size()]);
    }
    for (int x = 0; x < kSpriteWidth; ++x) {  // 4 partly covering, 3 opaque, 6 partly covering
        sprite.push_back(x >= 4 && x < 7 ? kOpaque : bright[static_cast<std::size_t>(x + 3) % bright.size()]);
    }
    cairo_surface_t* image = imageOf(kSpriteWidth, 2, sprite);
    const std::vector<SpriteRow> rows = spriteRows(image);
    for (const std::uint32_t background : {0xffffffffu, 0xfff0e0d0u, 0x80ffffffu}) {
        const std::vector<std::uint32_t> backgroundPixels(20 * 4, background);
        cairo_surface_t* placed = imageOf(20, 4, backgroundPixels);
        cairo_t* cr = cairo_create(placed);
        cairo_set_source_surface(cr, image, 3.0, 1.0);
        cairo_rectangle(cr, 3.0, 1.0, kSpriteWidth, 2.0);
        cairo_fill(cr);
        cairo_destroy(cr);
        cairo_surface_t* copied = imageOf(20, 4, backgroundPixels);
        ASSERT_TRUE(blitSpriteOver(copied, image, rows, 3, 1));
        const Frames cairos = pixelsOf(placed);
        const Frames ours = pixelsOf(copied);
        EXPECT_EQ(bytesThatDiffer(cairos, ours), 0) << std::hex << "over 0x" << background;
        std::uint32_t opaque = 0;  // the sprite was placed at all, where it was asked to be
        std::memcpy(&opaque, &ours.pixels[static_cast<std::size_t>(2 * ours.stride + (3 + 5) * 4)], sizeof opaque);
        EXPECT_EQ(opaque, kOpaque);
        cairo_surface_destroy(placed);
        cairo_surface_destroy(copied);
    }
    cairo_surface_destroy(image);
}

// A long run through changing sphere sizes, colours and charges makes new
// sprites all the time; the cache must stay within its bound, not keep them
// all.
TEST(CairoSpritesGuard, CacheStaysWithinItsBoundOverALongRun) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 400, 300);
    cairo_t* cr = cairo_create(surface);
    CairoCanvas canvas;
    std::size_t most = 0;
    for (int frame = 0; frame < 300; ++frame) {
        canvas.beginFrame(cr, 300.0);
        const double size = 8.0 + frame % 97;
        for (int k = 0; k < 12; ++k) {
            canvas.setColor(Color{(frame % 4) / 3.0, 0.5, 1.0, 1.0});
            canvas.fillOval({k * 29.13 + frame * 0.37, k * 17.3, size, size});
            canvas.drawText(std::to_string(frame * 12 + k), {k * 31.7, 40.0 + k * 19.9 + frame * 0.11},
                            {{"Sans", 10.0 + frame % 13}, Color::white()});
        }
        canvas.endFrame();
        most = std::max(most, canvas.spriteBytes());
    }
    EXPECT_LE(most, SpriteCache::kMostBytes);
    EXPECT_GT(most, SpriteCache::kMostBytes / 2);  // the run did fill the cache
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
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
    EXPECT_LE(largestDifference(direct, banded), kBandedTolerance) << bytesThatDiffer(direct, banded) << " bytes differ";
    const Frames blank{std::vector<unsigned char>(direct.pixels.size()), direct.stride};
    EXPECT_GT(largestDifference(direct, blank), 100);  // the frame was drawn at all
}

}  // namespace
}  // namespace pelmora
