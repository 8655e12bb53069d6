#include "LabelLayout.h"

#include <cmath>

namespace pelmora {
namespace {

// Font sizes beyond this are no label anyone can read, and they keep
// Pango's integer units in range.
constexpr double kLargestFontSize = 10000.0;

// Extents remembered before starting afresh: a run through many settings
// must not keep every label it ever showed.
constexpr std::size_t kMostExtents = 512;

struct ContextRelease {
    void operator()(PangoContext* context) const { g_object_unref(context); }
};
struct FontMapRelease {
    void operator()(PangoFontMap* fontMap) const { g_object_unref(fontMap); }
};

}  // namespace

LabelLayout::LabelLayout(FontMap fontMap) : ownFontMap_(fontMap == FontMap::Own) {}

void LabelLayout::layOutFor(cairo_t* cr) {
    if (cairo_get_group_target(cr) != measuredFor_) {
        extents_.clear();
        measuredFor_ = cairo_get_group_target(cr);
    }
    if (layout_ != nullptr) {
        pango_cairo_update_layout(cr, layout_.get());
        return;
    }
    if (ownFontMap_) {
        const std::unique_ptr<PangoFontMap, FontMapRelease> fontMap(pango_cairo_font_map_new());
        const std::unique_ptr<PangoContext, ContextRelease> context(pango_font_map_create_context(fontMap.get()));
        pango_cairo_update_context(cr, context.get());
        layout_.reset(pango_layout_new(context.get()));
    } else {
        layout_.reset(pango_cairo_create_layout(cr));
    }
    if (description_ != nullptr) {
        pango_layout_set_font_description(layout_.get(), description_.get());
    }
}

bool LabelLayout::useFont(const Font& font) {
    if (!std::isfinite(font.size) || font.size <= 0.0 || font.size > kLargestFontSize) {
        return false;
    }
    if (description_ != nullptr && font == font_) {
        return true;
    }
    if (description_ == nullptr) {
        description_.reset(pango_font_description_new());
    }
    pango_font_description_set_family(description_.get(), font.name.c_str());
    // Absolute size: the font's size is in the view's units, as with AppKit,
    // not in points at Pango's 96 dpi.
    pango_font_description_set_absolute_size(description_.get(), font.size * PANGO_SCALE);
    if (layout_ != nullptr) {
        pango_layout_set_font_description(layout_.get(), description_.get());
    }
    font_ = font;
    return true;
}

// Made valid UTF-8 first: Pango complains about anything else.
void LabelLayout::setText(const std::string& text) {
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr) != 0) {
        pango_layout_set_text(layout_.get(), text.data(), static_cast<int>(text.size()));
    } else {
        gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
        pango_layout_set_text(layout_.get(), valid, -1);
        g_free(valid);
    }
}

LabelLayout::Extents LabelLayout::measure(const std::string& text) {
    setText(text);
    PangoRectangle logical{};
    Extents extents{};
    pango_layout_get_extents(layout_.get(), &extents.ink, &logical);
    extents.left = static_cast<double>(logical.x) / PANGO_SCALE;
    extents.bottom = static_cast<double>(logical.y + logical.height) / PANGO_SCALE;
    return extents;
}

const LabelLayout::Extents& LabelLayout::extents(const std::string& text, const std::array<double, 4>& scale) {
    Key key{text + '\n' + font_.name, {font_.size, scale[0], scale[1], scale[2], scale[3]}};
    auto found = extents_.find(key);
    if (found == extents_.end()) {
        if (extents_.size() >= kMostExtents) {
            extents_.clear();
        }
        found = extents_.emplace(std::move(key), measure(text)).first;
    }
    return found->second;
}

void LabelLayout::show(cairo_t* cr, const std::string& text) {
    setText(text);
    pango_cairo_show_layout(cr, layout_.get());
}

void LabelLayout::showOn(cairo_t* other, const std::string& text, cairo_t* frame) {
    setText(text);
    pango_cairo_update_layout(other, layout_.get());
    pango_cairo_show_layout(other, layout_.get());
    pango_cairo_update_layout(frame, layout_.get());
}

}  // namespace pelmora
