#pragma once

#include <string>

#include "Geometry.h"

namespace pelmora {

struct Font {
    std::string name;
    double size = 12.0;
    friend bool operator==(const Font&, const Font&) = default;
};

// The label attributes: a font and a text colour.
struct TextAttributes {
    Font font;
    Color foregroundColor = Color::black();
    friend bool operator==(const TextAttributes&, const TextAttributes&) = default;
};

// The host's current graphics context, in the view's coordinates (origin at
// the lower left, y growing upwards). The colour set last is the fill and
// stroke colour of the operations that follow.
class Canvas {
public:
    virtual ~Canvas() = default;

    virtual void setColor(const Color& color) = 0;
    virtual void fillRect(const Rect& rect) = 0;
    // Width of the strokes that follow (lines and oval outlines).
    virtual void setDefaultLineWidth(double width) = 0;
    virtual void strokeLine(Point from, Point to) = 0;
    // The ellipse inscribed in rect.
    virtual void fillOval(const Rect& rect) = 0;
    virtual void strokeOval(const Rect& rect) = 0;
    // Text with its lower-left corner at `at`, in the font and colour of the
    // attributes (not the current colour).
    virtual void drawText(const std::string& text, Point at, const TextAttributes& attributes) = 0;
};

}  // namespace pelmora
