#pragma once

#include <cairo.h>

#include <vector>

namespace pelmora {

// Where one row of a sprite is clear, blends or covers what lies beneath:
// pixels before `begin` and from `end` on are clear, those in
// [solidBegin, solidEnd) opaque, the rest partly covering.
struct SpriteRow {
    int begin, solidBegin, solidEnd, end;
};

// The rows of a premultiplied ARGB32 image, found once when a sprite is made
// so that placing it needs no test per pixel. Empty for other surfaces.
std::vector<SpriteRow> spriteRows(cairo_surface_t* sprite);

// Composites a sprite described by `rows` onto a 32-bit image surface with
// Porter and Duff's OVER operator on premultiplied pixels, its top-left
// pixel at device pixel (left, top). Each channel's product with the
// sprite's inverse alpha is divided by 255 with correct rounding (see
// PixelMath.h), the same rounding Cairo's image surfaces use, so the
// pixels match cairo_fill() of the same placement. It skips Cairo's per-call
// setup, which costs more than a small sprite's pixels. False, with nothing
// drawn, for surfaces of other formats. A clip on the context that draws on
// `target` is not seen here.
bool blitSpriteOver(cairo_surface_t* target, cairo_surface_t* sprite, const std::vector<SpriteRow>& rows, int left,
                    int top);

}  // namespace pelmora
