#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "Canvas.h"

namespace pelmora {

// Lays out the view's labels with Pango. One layout and font description
// serve every label: a label then costs setting its text and laying out a
// few glyphs, not a new Pango context.
class LabelLayout {
public:
    // Own: labels are laid out with a font map of this layout's own rather
    // than the calling thread's, so it may be used on another thread.
    enum class FontMap { Shared, Own };

    // A label's extents in user units from the layout's origin: the left and
    // bottom of its logical box, and its ink rectangle in Pango units.
    struct Extents {
        double left, bottom;
        PangoRectangle ink;
    };

    explicit LabelLayout(FontMap fontMap);

    // Lays out for the font options and matrix of `cr` from now on; each
    // frame's context is given here before its labels. Extents measured for
    // another surface are forgotten.
    void layOutFor(cairo_t* cr);

    // Labels are set in `font` from now on; false, with the font as it was,
    // for a size nobody can read.
    bool useFont(const Font& font);

    // The extents of `text` in the current font, remembered per text, font
    // and `scale` (what of the drawing scale the extents depend on).
    const Extents& extents(const std::string& text, const std::array<double, 4>& scale);
    Extents measure(const std::string& text);

    // Shows `text` in the current font on `cr`, with its layout origin at
    // the current point and in the current source. layOutFor() must have
    // been given `cr`.
    void show(cairo_t* cr, const std::string& text);
    // The same on another context (a sprite's), laying out for `frame`
    // again afterwards.
    void showOn(cairo_t* other, const std::string& text, cairo_t* frame);

    const Font& font() const { return font_; }

private:
    struct LayoutRelease {
        void operator()(PangoLayout* layout) const { g_object_unref(layout); }
    };
    struct DescriptionRelease {
        void operator()(PangoFontDescription* description) const { pango_font_description_free(description); }
    };
    using Key = std::pair<std::string, std::array<double, 5>>;

    void setText(const std::string& text);

    bool ownFontMap_;
    std::unique_ptr<PangoLayout, LayoutRelease> layout_;
    std::unique_ptr<PangoFontDescription, DescriptionRelease> description_;
    Font font_;
    std::map<Key, Extents> extents_;
    // The surface the extents were measured for, only ever compared.
    const cairo_surface_t* measuredFor_ = nullptr;
};

}  // namespace pelmora
