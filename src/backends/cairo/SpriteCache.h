#pragma once

#include <cairo.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "SpriteBlit.h"

namespace pelmora {

// Small images of shapes that a frame paints many times over (a sphere's
// disc, a label), each drawn once and then placed at whole device pixels.
// A sprite is kept per key: what is drawn, its colour, the drawing scale and
// the position's fraction of a pixel, so a placed sprite covers exactly the
// pixels a direct drawing would, up to the rounding of one more composite.
class SpriteCache {
public:
    struct Key {
        std::string text;
        std::array<double, 12> values{};
        auto operator<=>(const Key&) const = default;
    };

    struct Sprite {
        cairo_surface_t* surface = nullptr;
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

    SpriteCache() = default;
    ~SpriteCache();
    SpriteCache(const SpriteCache&) = delete;
    SpriteCache& operator=(const SpriteCache&) = delete;

    // The sprite stored under `key`, or null.
    const Sprite* find(const Key& key) const;
    // Keeps `sprite` (taking its surface) under `key`. A cache grown past a
    // few hundred sprites (a long run through many settings) starts afresh.
    const Sprite& store(const Key& key, Sprite sprite);
    void clear();
    std::size_t size() const { return sprites_.size(); }

private:
    std::map<Key, Sprite> sprites_;
};

}  // namespace pelmora
