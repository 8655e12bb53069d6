#pragma once

#include <array>
#include <string>
#include <vector>

#include "Canvas.h"

namespace pelmora {

// One drawing operation with its exact arguments.
struct DrawOp {
    enum class Kind { SetColor, FillRect, SetDefaultLineWidth, StrokeLine, FillOval, StrokeOval, DrawText };

    Kind kind = Kind::SetColor;
    // setColor: r, g, b, a; rectangles: x, y, w, h; strokeLine: x0, y0, x1, y1;
    // setDefaultLineWidth: width; drawText: x, y.
    std::array<double, 4> values{};
    std::string text;
    TextAttributes attributes;

    friend bool operator==(const DrawOp&, const DrawOp&) = default;
};

const char* drawOpName(DrawOp::Kind kind);

// A canvas that draws nothing and logs every operation, for tests and traces.
class RecordingCanvas : public Canvas {
public:
    void setColor(const Color& color) override;
    void fillRect(const Rect& rect) override;
    void setDefaultLineWidth(double width) override;
    void strokeLine(Point from, Point to) override;
    void fillOval(const Rect& rect) override;
    void strokeOval(const Rect& rect) override;
    void drawText(const std::string& text, Point at, const TextAttributes& attributes) override;

    const std::vector<DrawOp>& operations() const { return operations_; }
    // Forgets what was logged but keeps the storage, so a trace reuses it frame after frame.
    void clear() { operations_.clear(); }

private:
    void record(DrawOp::Kind kind, std::array<double, 4> values);

    std::vector<DrawOp> operations_;
};

}  // namespace pelmora
