#include "TraceWriter.h"

#include <array>
#include <charconv>
#include <cmath>

namespace pelmora {

namespace {

template <typename Real>
std::string shortest(Real value) {
    if (std::isnan(value)) {
        return "\"NaN\"";
    }
    if (std::isinf(value)) {
        return value > 0 ? "\"Infinity\"" : "\"-Infinity\"";
    }
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

// How many of an operation's four values belong to it.
std::size_t valueCount(DrawOp::Kind kind) {
    switch (kind) {
        case DrawOp::Kind::SetDefaultLineWidth: return 1;
        case DrawOp::Kind::DrawText: return 2;
        default: return 4;
    }
}

}  // namespace

std::string TraceWriter::number(float value) { return shortest(value); }

std::string TraceWriter::number(double value) { return shortest(value); }

std::string TraceWriter::quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[byte >> 4U];
            out += kHex[byte & 0xFU];
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

std::string TraceWriter::line(std::int64_t frame, const PelmoraView& view, const std::vector<DrawOp>* draw) {
    out_.clear();
    out_ += "{\"frame\":" + std::to_string(frame) + ",\"bounds\":[";
    const Rect& bounds = view.bounds();
    const std::array<double, 4> rect{bounds.x, bounds.y, bounds.width, bounds.height};
    appendNumbers(rect.data(), rect.size());
    out_ += "],\"spheres\":[";
    bool first = true;
    for (const Vekthing& thing : view.thingArray()) {
        if (!first) {
            out_ += ',';
        }
        first = false;
        appendSphere(thing);
    }
    out_ += ']';
    if (draw != nullptr) {
        out_ += ",\"draw\":[";
        for (std::size_t i = 0; i < draw->size(); ++i) {
            if (i > 0) {
                out_ += ',';
            }
            appendOp((*draw)[i]);
        }
        out_ += ']';
    }
    out_ += '}';
    return out_;
}

void TraceWriter::appendSphere(const Vekthing& thing) {
    // The colour is held in single precision; widening it for color() is exact,
    // so narrowing it back recovers the stored fields.
    const Color color = thing.color();
    out_ += "{\"x\":" + number(thing.x()) + ",\"y\":" + number(thing.y()) + ",\"px\":" + number(thing.px()) +
            ",\"py\":" + number(thing.py()) + ",\"charge\":" + std::to_string(thing.electricCharge()) +
            ",\"color\":[" + number(static_cast<float>(color.red)) + ',' + number(static_cast<float>(color.green)) +
            ',' + number(static_cast<float>(color.blue)) + "]}";
}

void TraceWriter::appendOp(const DrawOp& op) {
    out_ += '[';
    out_ += quoted(drawOpName(op.kind));
    if (op.kind == DrawOp::Kind::DrawText) {
        out_ += ',' + quoted(op.text);
    }
    out_ += ',';
    appendNumbers(op.values.data(), valueCount(op.kind));
    if (op.kind == DrawOp::Kind::DrawText) {
        const Color& c = op.attributes.foregroundColor;
        const std::array<double, 4> rgba{c.red, c.green, c.blue, c.alpha};
        out_ += ",[";
        appendNumbers(rgba.data(), rgba.size());
        out_ += ']';
    }
    out_ += ']';
}

void TraceWriter::appendNumbers(const double* values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            out_ += ',';
        }
        out_ += number(values[i]);
    }
}

}  // namespace pelmora
