#pragma once

#include <cairo.h>

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "CairoHandles.h"
#include "SpriteBlit.h"

namespace pelmora {

// Small images of shapes that a frame paints many times over (a sphere's
// disc, a label), each kept under a key: what is drawn, its colour, the
// drawing scale and the position's fraction of a pixel.
class SpriteCache {
public:
    struct Key {
        std::string text;
        std::array<double, 12> values{};
        auto operator<=>(const Key&) const = default;
    };

    struct Sprite {
        CairoSurfacePtr surface;
        // Where the sprite's top-left pixel lies from the shape's own
        // origin pixel, and its size in pixels.
        int offsetX = 0;
        int offsetY = 0;
        int width = 0;
        int height = 0;
        // Its rows' clear, blending and opaque stretches, for copying it
        // straight into a frame's pixels.
        std::vector<SpriteRow> rows;
    };

    // What the sprites may hold in pixels and row descriptions together
    // before the cache starts afresh: a frame of 2,000 spheres with labels
    // fits several times over, and a long run through changing sizes and
    // charges stays within it.
    static constexpr std::size_t kMostBytes = std::size_t{16} << 20;

    // The sprite stored under `key`, or null.
    const Sprite* find(const Key& key) const;
    // Keeps `sprite` under `key`, emptying the cache first when it would
    // grow past kMostBytes.
    const Sprite& store(const Key& key, Sprite sprite);
    void clear();
    std::size_t size() const { return sprites_.size(); }
    // The bytes the sprites now hold.
    std::size_t bytes() const { return bytes_; }

private:
    static std::size_t bytesOf(const Sprite& sprite);

    std::map<Key, Sprite> sprites_;
    std::size_t bytes_ = 0;
};

}  // namespace pelmora
