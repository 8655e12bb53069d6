#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PelmoraView.h"
#include "RecordingCanvas.h"

namespace pelmora {

// Formats the trace's JSON lines: the state of every sphere after a frame,
// and optionally that frame's drawing operations. Each number is the
// shortest decimal that reads back to the same value at its own precision;
// NaN and the infinities are the strings "NaN", "Infinity" and "-Infinity".
class TraceWriter {
public:
    // One line, without its newline. `draw` is null when drawing is not traced.
    std::string line(std::int64_t frame, const PelmoraView& view, const std::vector<DrawOp>* draw);

    static std::string number(float value);
    static std::string number(double value);
    static std::string quoted(const std::string& text);

private:
    void appendSphere(const Vekthing& thing);
    void appendOp(const DrawOp& op);
    void appendNumbers(const double* values, std::size_t count);

    std::string out_;
};

}  // namespace pelmora
