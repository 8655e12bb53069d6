#pragma once

#include <cstdint>

namespace pelmora {

// Eight-bit arithmetic on premultiplied 32-bit pixels (alpha in the top
// byte), two channels at a time in the red-blue and alpha-green halves.
//
// A product of two 8-bit values is divided by 255 with correct rounding and
// no divide: with t = a * b + 128, (t + (t >> 8)) >> 8 equals
// round(a * b / 255) for all 8-bit a and b (J. Blinn, "Three Wrongs Make a
// Right", IEEE Computer Graphics and Applications, 1995).
namespace pixel_math {

// Both halves of `pixel` (channels in bits 0-7 and 16-23) times `factor`
// over 255, rounded.
constexpr std::uint32_t scaleHalves(std::uint32_t pixel, std::uint32_t factor) {
    std::uint32_t t = (pixel & 0x00ff00ffu) * factor + 0x00800080u;
    return ((t + ((t >> 8) & 0x00ff00ffu)) >> 8) & 0x00ff00ffu;
}

// Each channel of `pixel` times `factor` over 255, rounded.
constexpr std::uint32_t scale(std::uint32_t pixel, std::uint32_t factor) {
    return scaleHalves(pixel, factor) | scaleHalves(pixel >> 8, factor) << 8;
}

// Porter and Duff's OVER ("Compositing Digital Images", SIGGRAPH 1984) on
// premultiplied pixels: destination * (255 - source alpha) / 255 plus the
// source, per channel, stopping at 255. A clear source leaves the
// destination as it was and an opaque one replaces it.
constexpr std::uint32_t over(std::uint32_t source, std::uint32_t destination) {
    const std::uint32_t inverseAlpha = 255u - (source >> 24);
    auto half = [inverseAlpha](std::uint32_t d, std::uint32_t s) {
        std::uint32_t t = scaleHalves(d, inverseAlpha) + (s & 0x00ff00ffu);
        t |= 0x01000100u - ((t >> 8) & 0x00ff00ffu);
        return t & 0x00ff00ffu;
    };
    return half(destination, source) | half(destination >> 8, source >> 8) << 8;
}

}  // namespace pixel_math
}  // namespace pelmora
