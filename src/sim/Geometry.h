#pragma once

// Plain value types shared by the simulation, the view and every backend.
// Coordinates have their origin at the lower left and y growing upwards.

namespace pelmora {

struct Point {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Device RGB with alpha, each component from 0.0 to 1.0.
struct Color {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    double alpha = 1.0;
    friend bool operator==(const Color&, const Color&) = default;

    static constexpr Color black() { return {0.0, 0.0, 0.0, 1.0}; }
    static constexpr Color white() { return {1.0, 1.0, 1.0, 1.0}; }
};

}  // namespace pelmora
