#include "SpriteCache.h"

#include <utility>

namespace pelmora {

const SpriteCache::Sprite* SpriteCache::find(const Key& key) const {
    const auto found = sprites_.find(key);
    return found == sprites_.end() ? nullptr : &found->second;
}

std::size_t SpriteCache::bytesOf(const Sprite& sprite) {
    std::size_t pixels = 0;
    if (cairo_surface_get_type(sprite.surface.get()) == CAIRO_SURFACE_TYPE_IMAGE) {
        pixels = static_cast<std::size_t>(cairo_image_surface_get_stride(sprite.surface.get())) *
                 static_cast<std::size_t>(cairo_image_surface_get_height(sprite.surface.get()));
    } else {
        // Pixels held elsewhere (by a display server) still count.
        pixels = static_cast<std::size_t>(sprite.width) * static_cast<std::size_t>(sprite.height) * 4;
    }
    return pixels + sprite.rows.capacity() * sizeof(SpriteRow);
}

const SpriteCache::Sprite& SpriteCache::store(const Key& key, Sprite sprite) {
    sprite.rows = spriteRows(sprite.surface.get());
    const std::size_t added = bytesOf(sprite);
    if (bytes_ + added > kMostBytes) {
        clear();
    }
    auto [where, inserted] = sprites_.try_emplace(key);
    if (!inserted) {
        bytes_ -= bytesOf(where->second);
    }
    where->second = std::move(sprite);
    bytes_ += added;
    return where->second;
}

void SpriteCache::clear() {
    sprites_.clear();
    bytes_ = 0;
}

}  // namespace pelmora
