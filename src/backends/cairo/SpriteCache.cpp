#include "SpriteCache.h"

namespace pelmora {

namespace {
constexpr std::size_t kMostSprites = 512;
}  // namespace

SpriteCache::~SpriteCache() { clear(); }

const SpriteCache::Sprite* SpriteCache::find(const Key& key) const {
    const auto found = sprites_.find(key);
    return found == sprites_.end() ? nullptr : &found->second;
}

const SpriteCache::Sprite& SpriteCache::store(const Key& key, Sprite sprite) {
    if (sprites_.size() >= kMostSprites) {
        clear();
    }
    sprite.rows = spriteRows(sprite.surface);
    auto [where, inserted] = sprites_.try_emplace(key, std::move(sprite));
    if (!inserted) {
        cairo_surface_destroy(where->second.surface);
        where->second = std::move(sprite);
    }
    return where->second;
}

void SpriteCache::clear() {
    for (auto& entry : sprites_) {
        cairo_surface_destroy(entry.second.surface);
    }
    sprites_.clear();
}

}  // namespace pelmora
