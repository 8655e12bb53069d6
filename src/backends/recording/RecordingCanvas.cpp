#include "RecordingCanvas.h"

namespace pelmora {

const char* drawOpName(DrawOp::Kind kind) {
    switch (kind) {
        case DrawOp::Kind::SetColor: return "setColor";
        case DrawOp::Kind::FillRect: return "fillRect";
        case DrawOp::Kind::SetDefaultLineWidth: return "setDefaultLineWidth";
        case DrawOp::Kind::StrokeLine: return "strokeLine";
        case DrawOp::Kind::FillOval: return "fillOval";
        case DrawOp::Kind::StrokeOval: return "strokeOval";
        case DrawOp::Kind::DrawText: return "drawText";
    }
    return "unknown";
}

void RecordingCanvas::record(DrawOp::Kind kind, std::array<double, 4> values) {
    DrawOp& op = operations_.emplace_back();
    op.kind = kind;
    op.values = values;
}

void RecordingCanvas::setColor(const Color& color) {
    record(DrawOp::Kind::SetColor, {color.red, color.green, color.blue, color.alpha});
}

void RecordingCanvas::fillRect(const Rect& rect) {
    record(DrawOp::Kind::FillRect, {rect.x, rect.y, rect.width, rect.height});
}

void RecordingCanvas::setDefaultLineWidth(double width) {
    record(DrawOp::Kind::SetDefaultLineWidth, {width, 0.0, 0.0, 0.0});
}

void RecordingCanvas::strokeLine(Point from, Point to) {
    record(DrawOp::Kind::StrokeLine, {from.x, from.y, to.x, to.y});
}

void RecordingCanvas::fillOval(const Rect& rect) {
    record(DrawOp::Kind::FillOval, {rect.x, rect.y, rect.width, rect.height});
}

void RecordingCanvas::strokeOval(const Rect& rect) {
    record(DrawOp::Kind::StrokeOval, {rect.x, rect.y, rect.width, rect.height});
}

void RecordingCanvas::drawText(const std::string& text, Point at, const TextAttributes& attributes) {
    record(DrawOp::Kind::DrawText, {at.x, at.y, 0.0, 0.0});
    operations_.back().text = text;
    operations_.back().attributes = attributes;
}

}  // namespace pelmora
