#include "SpriteBlit.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "CairoShapes.h"
#include "PixelMath.h"

namespace pelmora {
namespace {

// Blends sprite columns [begin, end) onto the target row, whose pixel
// x + left lies under sprite column x.
void blend(std::uint32_t* row, int left, const std::uint32_t* from, int begin, int end) {
    int x = begin;
#if defined(__SSE2__)
    // Four pixels at a time in 16-bit lanes, each step as pixel_math::over()
    // takes it.
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi16(0x80);
    const __m128i allOnes = _mm_set1_epi32(-1);
    for (; x + 4 <= end; x += 4) {
        const __m128i source = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x));
        auto* at = reinterpret_cast<__m128i*>(row + x + left);
        const __m128i d = _mm_loadu_si128(at);
        // Each pixel's alpha in all four of its bytes, then 255 minus it.
        __m128i alpha = _mm_srli_epi32(source, 24);
        alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 8));
        alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 16));
        const __m128i inverse = _mm_xor_si128(alpha, allOnes);
        __m128i low = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(inverse, zero)), half);
        __m128i high = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(inverse, zero)), half);
        low = _mm_srli_epi16(_mm_add_epi16(low, _mm_srli_epi16(low, 8)), 8);
        high = _mm_srli_epi16(_mm_add_epi16(high, _mm_srli_epi16(high, 8)), 8);
        _mm_storeu_si128(at, _mm_adds_epu8(_mm_packus_epi16(low, high), source));
    }
#endif
    for (; x < end; ++x) {
        row[x + left] = pixel_math::over(from[x], row[x + left]);
    }
}

bool argb32(cairo_surface_t* surface) {
    return thirtyTwoBitImage(surface) && cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
}

const std::uint32_t* pixelRow(cairo_surface_t* surface, int y) {
    return reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface) +
                                                  static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(surface));
}

SpriteRow describe(const std::uint32_t* pixels, int width) {
    int begin = 0;
    while (begin < width && pixels[begin] == 0) {
        ++begin;
    }
    int end = width;
    while (end > begin && pixels[end - 1] == 0) {
        --end;
    }
    // The longest opaque run is copied; everything else in the row blends.
    SpriteRow row{begin, end, end, end};
    for (int x = begin; x < end;) {
        if (pixels[x] < 0xff000000u) {
            ++x;
            continue;
        }
        int runEnd = x;
        while (runEnd < end && pixels[runEnd] >= 0xff000000u) {
            ++runEnd;
        }
        if (runEnd - x > row.solidEnd - row.solidBegin) {
            row.solidBegin = x;
            row.solidEnd = runEnd;
        }
        x = runEnd;
    }
    return row;
}

}  // namespace

std::vector<SpriteRow> spriteRows(cairo_surface_t* sprite) {
    std::vector<SpriteRow> rows;
    if (!argb32(sprite)) {
        return rows;
    }
    cairo_surface_flush(sprite);
    const int width = cairo_image_surface_get_width(sprite);
    const int height = cairo_image_surface_get_height(sprite);
    rows.reserve(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        rows.push_back(describe(pixelRow(sprite, y), width));
    }
    return rows;
}

bool blitSpriteOver(cairo_surface_t* target, cairo_surface_t* sprite, const std::vector<SpriteRow>& rows, int left,
                    int top) {
    if (!thirtyTwoBitImage(target) || !argb32(sprite) ||
        rows.size() != static_cast<std::size_t>(cairo_image_surface_get_height(sprite))) {
        return false;
    }
    cairo_surface_flush(target);
    unsigned char* data = cairo_image_surface_get_data(target);
    const int stride = cairo_image_surface_get_stride(target);
    // The part of the sprite on the target, in the sprite's pixels.
    const long long spriteWidth = cairo_image_surface_get_width(sprite);
    const long long firstColumn = std::max<long long>(0, -static_cast<long long>(left));
    const long long endColumn =
        std::min<long long>(spriteWidth, static_cast<long long>(cairo_image_surface_get_width(target)) - left);
    const long long firstRow = std::max<long long>(0, -static_cast<long long>(top));
    const long long endRow = std::min<long long>(static_cast<long long>(rows.size()),
                                                 static_cast<long long>(cairo_image_surface_get_height(target)) - top);
    if (firstColumn >= endColumn || firstRow >= endRow) {
        return true;
    }
    const int from = static_cast<int>(firstColumn);
    const int to = static_cast<int>(endColumn);
    for (long long y = firstRow; y < endRow; ++y) {
        const SpriteRow& r = rows[static_cast<std::size_t>(y)];
        auto* row = reinterpret_cast<std::uint32_t*>(data + (top + y) * stride);
        const std::uint32_t* source = pixelRow(sprite, static_cast<int>(y));
        blend(row, left, source, std::max(r.begin, from), std::min(r.solidBegin, to));
        const int solidBegin = std::max(r.solidBegin, from);
        const int solidEnd = std::min(r.solidEnd, to);
        if (solidEnd > solidBegin) {
            std::memcpy(row + solidBegin + left, source + solidBegin,
                        static_cast<std::size_t>(solidEnd - solidBegin) * sizeof(std::uint32_t));
        }
        blend(row, left, source, std::max(r.solidEnd, from), std::min(r.end, to));
    }
    cairo_surface_mark_dirty(target);
    return true;
}

}  // namespace pelmora
