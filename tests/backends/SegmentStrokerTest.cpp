// SegmentStroker must give the pixels cairo_stroke() gives, to the bit, for
// every segment it takes over (empty ones included, which draw nothing), and
// leave to Cairo what it cannot promise.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "SegmentStroker.h"

namespace pelmora {
namespace {

struct Scene {
    int width;  // surface size in device pixels
    int height;
    double scale;  // device scale
    double shiftX;  // the context's translation
    double shiftY;
    double lineWidth;
    double red, green, blue;
    cairo_format_t format;
};

struct Segment {
    double x0, y0, x1, y1;
};

// A surface of noise, so that every blend shows, and a context set up as a
// frame's bands are.
struct Target {
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;

    Target(const Scene& scene, std::uint32_t seed) {
        surface = cairo_image_surface_create(scene.format, scene.width, scene.height);
        cairo_surface_flush(surface);
        unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        std::mt19937 noise(seed);
        for (int y = 0; y < scene.height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
            for (int x = 0; x < scene.width; ++x) {
                row[x] = 0xff000000u | (noise() & 0x00ffffffu);
            }
        }
        cairo_surface_mark_dirty(surface);
        cairo_surface_set_device_scale(surface, scene.scale, scene.scale);
        cr = cairo_create(surface);
        cairo_matrix_t matrix;
        cairo_matrix_init_translate(&matrix, scene.shiftX, scene.shiftY);
        cairo_set_matrix(cr, &matrix);
        cairo_set_source_rgba(cr, scene.red, scene.green, scene.blue, 1.0);
        cairo_set_line_width(cr, scene.lineWidth);
    }
    ~Target() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    std::vector<unsigned char> pixels() {
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const auto size =
            static_cast<std::size_t>(cairo_image_surface_get_stride(surface)) * cairo_image_surface_get_height(surface);
        return {data, data + size};
    }
};

void cairoStroke(cairo_t* cr, const Segment& s) {
    cairo_new_path(cr);
    cairo_move_to(cr, s.x0, s.y0);
    cairo_line_to(cr, s.x1, s.y1);
    cairo_stroke(cr);
}

// Strokes the segments one after another both ways and compares after each,
// so a difference names the segment that made it; returns how many the
// stroker took over.
int compare(const Scene& scene, const std::vector<Segment>& segments, std::uint32_t seed) {
    Target cairo(scene, seed);
    Target ours(scene, seed);
    SegmentStroker stroker;
    int taken = 0;
    for (const Segment& s : segments) {
        cairoStroke(cairo.cr, s);
        if (stroker.stroke(ours.cr, s.x0, s.y0, s.x1, s.y1)) {
            ++taken;
        } else {
            cairoStroke(ours.cr, s);
        }
        if (cairo.pixels() != ours.pixels()) {
            ADD_FAILURE() << "segment (" << s.x0 << ", " << s.y0 << ") to (" << s.x1 << ", " << s.y1 << ") on "
                          << scene.width << "x" << scene.height << " scale " << scene.scale << " shift "
                          << scene.shiftX << ", " << scene.shiftY << " width " << scene.lineWidth;
            return taken;
        }
    }
    return taken;
}

// A coordinate somewhere around the surface in user space: on the 1/512
// grid a quarter of the time (ties in Cairo's rounding), anywhere otherwise.
double coordinate(std::mt19937& random, double extent) {
    std::uniform_real_distribution<double> any(-0.2 * extent, 1.2 * extent);
    double value = any(random);
    if (random() % 4 == 0) {
        value = std::round(value * 512.0) / 512.0;
    }
    return value;
}

std::vector<Segment> randomSegments(std::mt19937& random, const Scene& scene, int count) {
    const double userWidth = scene.width / scene.scale;
    const double userHeight = scene.height / scene.scale;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<Segment> segments;
    for (int i = 0; i < count; ++i) {
        Segment s{};
        s.x0 = coordinate(random, userWidth) - scene.shiftX;
        s.y0 = coordinate(random, userHeight) - scene.shiftY;
        // Field lines are mostly short; some cross the whole surface, some
        // are all but level or upright, some shorter than a pixel.
        const double angle = unit(random) * 6.283185307179586;
        double length = std::pow(unit(random), 3.0) * 2.0 * (userWidth + userHeight);
        switch (random() % 7) {
            case 0: length = unit(random) * 0.8; break;
            case 3:
                // Empty, exactly or at Cairo's 1/256 pixel.
                segments.push_back({s.x0, s.y0, s.x0 + (unit(random) - 0.5) / 1024.0, s.y0});
                continue;
            case 1:
                segments.push_back({s.x0, s.y0, s.x0 + length, s.y0 + (unit(random) - 0.5) * 0.05});
                continue;
            case 2:
                segments.push_back({s.x0, s.y0, s.x0 + (unit(random) - 0.5) * 0.05, s.y0 + length});
                continue;
            default: break;
        }
        segments.push_back({s.x0, s.y0, s.x0 + length * std::cos(angle), s.y0 + length * std::sin(angle)});
    }
    return segments;
}

TEST(SegmentStroker, GivesCairosPixelsForEverySegmentItTakes) {
    std::mt19937 random(7);
    int taken = 0;
    int total = 0;
    const Scene scenes[] = {
        {160, 120, 1.0, 0.0, 0.0, 1.0, 1.0, 1.0, 1.0, CAIRO_FORMAT_ARGB32},
        // A band further down a frame: the context moves up by whole rows.
        {160, 90, 1.0, 0.0, -270.0, 1.0, 1.0, 1.0, 1.0, CAIRO_FORMAT_RGB24},
        {320, 180, 2.0, 0.0, -45.0, 1.0, 1.0, 1.0, 1.0, CAIRO_FORMAT_RGB24},
        {161, 77, 1.0, 3.0, -11.0, 2.5, 0.3, 0.6, 0.9, CAIRO_FORMAT_ARGB32},
        {150, 100, 3.0, 0.0, 0.0, 0.7, 0.2, 1.0, 0.4, CAIRO_FORMAT_ARGB32},
        {64, 64, 1.0, 0.0, 0.0, 12.0, 1.0, 1.0, 1.0, CAIRO_FORMAT_RGB24},
    };
    for (const Scene& scene : scenes) {
        const auto segments = randomSegments(random, scene, 400);
        taken += compare(scene, segments, static_cast<std::uint32_t>(random()));
        total += static_cast<int>(segments.size());
        if (HasFailure()) {
            return;
        }
    }
    // These segments reach past the sides far more often than field lines.
    EXPECT_GT(taken, total / 3);
}

TEST(SegmentStroker, LeavesWhatItCannotPromiseToCairo) {
    const Scene scene{100, 100, 1.0, 0.0, 0.0, 1.0, 1.0, 1.0, 1.0, CAIRO_FORMAT_ARGB32};
    Target target(scene, 1);
    SegmentStroker stroker;
    const auto before = target.pixels();
    // Level and upright segments, and ones past the sides.
    EXPECT_FALSE(stroker.stroke(target.cr, 10.0, 10.0, 80.0, 10.0));
    EXPECT_FALSE(stroker.stroke(target.cr, 10.0, 10.0, 10.0, 80.0));
    EXPECT_FALSE(stroker.stroke(target.cr, -5.0, 10.0, 50.0, 60.0));
    EXPECT_FALSE(stroker.stroke(target.cr, 10.0, 10.0, 1e9, 60.0));
    // A translucent source, round caps, another antialias, a scaled matrix.
    cairo_set_source_rgba(target.cr, 1.0, 1.0, 1.0, 0.5);
    EXPECT_FALSE(stroker.stroke(target.cr, 10.0, 10.0, 50.0, 60.0));
    cairo_set_source_rgba(target.cr, 1.0, 1.0, 1.0, 1.0);
    cairo_set_line_cap(target.cr, CAIRO_LINE_CAP_ROUND);
    EXPECT_FALSE(stroker.stroke(target.cr, 10.0, 10.0, 50.0, 60.0));
    cairo_set_line_cap(target.cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_antialias(target.cr, CAIRO_ANTIALIAS_NONE);
    EXPECT_FALSE(stroker.stroke(target.cr, 10.0, 10.0, 50.0, 60.0));
    cairo_set_antialias(target.cr, CAIRO_ANTIALIAS_DEFAULT);
    cairo_scale(target.cr, 2.0, 2.0);
    EXPECT_FALSE(stroker.stroke(target.cr, 10.0, 10.0, 50.0, 60.0));
    EXPECT_EQ(before, target.pixels());
}

}  // namespace
}  // namespace pelmora
