#include "QuadStroke.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "CairoShapes.h"
#include "PixelGrid.h"
#include "PixelMath.h"
#include "Truncation.h"

namespace pelmora {
namespace {

// Lines whose box is wider or taller than this are left to Cairo: few
// frames have them, and it keeps the row of cells small. Together with the
// checks against the surface, it also keeps every column well inside int.
constexpr double kLongestSide = 1024.0;

// How many rows ahead a row's pixels are fetched.
constexpr int kRowsAhead = 4;

struct Corner {
    double x, y;
};

bool grayAntialiasing(cairo_t* cr) {
    const cairo_antialias_t antialias = cairo_get_antialias(cr);
    return antialias == CAIRO_ANTIALIAS_DEFAULT || antialias == CAIRO_ANTIALIAS_GRAY;
}

// The colour as a premultiplied pixel.
std::uint32_t premultiplied(const Color& color) {
    const double alpha = colorComponent(color.alpha);
    const auto byte = [](double value) { return static_cast<std::uint32_t>(truncateToInt32(value * 255.0 + 0.5)); };
    return byte(alpha) << 24 | byte(colorComponent(color.red) * alpha) << 16 |
           byte(colorComponent(color.green) * alpha) << 8 | byte(colorComponent(color.blue) * alpha);
}

}  // namespace

bool QuadStroke::stroke(cairo_t* cr, double x0, double y0, double x1, double y1, double width, const Color& color) {
    cairo_surface_t* surface = cairo_get_group_target(cr);
    const auto grid = PixelGrid::of(cr);
    if (!grid || !thirtyTwoBitImage(surface) || !grayAntialiasing(cr) || cairo_get_line_cap(cr) != CAIRO_LINE_CAP_BUTT) {
        return false;
    }
    const double length = std::hypot(x1 - x0, y1 - y0);
    if (!(width > 0.0) || !(length > 0.0)) {
        return true;  // a butt-ended line of no length or width covers nothing
    }
    // Half the width across the segment, in user units.
    const double acrossX = -(y1 - y0) / length * width / 2.0;
    const double acrossY = (x1 - x0) / length * width / 2.0;
    const Corner user[4] = {{x0 + acrossX, y0 + acrossY},
                            {x1 + acrossX, y1 + acrossY},
                            {x1 - acrossX, y1 - acrossY},
                            {x0 - acrossX, y0 - acrossY}};
    Corner corners[4];
    double minX = HUGE_VAL;
    double maxX = -HUGE_VAL;
    double minY = HUGE_VAL;
    double maxY = -HUGE_VAL;
    for (int k = 0; k < 4; ++k) {
        corners[k] = {grid->pixelX(user[k].x), grid->pixelY(user[k].y)};
        minX = std::min(minX, corners[k].x);
        maxX = std::max(maxX, corners[k].x);
        minY = std::min(minY, corners[k].y);
        maxY = std::max(maxY, corners[k].y);
    }
    if (!(maxX - minX < kLongestSide) || !(maxY - minY < kLongestSide)) {
        return false;
    }
    const int surfaceWidth = cairo_image_surface_get_width(surface);
    const int surfaceHeight = cairo_image_surface_get_height(surface);
    // The rows the quadrilateral touches, cut to the surface's; columns off
    // the surface are worked out but not painted.
    const int top = std::max(0, truncateToInt32(std::floor(minY)));
    const int bottom = std::min(surfaceHeight, truncateToInt32(std::ceil(maxY)));
    if (top >= bottom || maxX < 0.0 || minX >= surfaceWidth) {
        return true;
    }
    left_ = truncateToInt32(std::floor(minX));
    const auto columns = static_cast<std::size_t>(truncateToInt32(std::ceil(maxX)) - left_ + 2);
    if (cells_.size() < columns) {
        cells_.assign(columns, 0.0F);
    }
    // Downward edges add, upward ones take away, so that the sum across a
    // row is one inside the quadrilateral whichever way it winds.
    Edge edges[4];
    int count = 0;
    for (int k = 0; k < 4; ++k) {
        Corner from = corners[k];
        Corner to = corners[(k + 1) % 4];
        if (from.y == to.y) {
            continue;
        }
        const double direction = from.y < to.y ? 1.0 : -1.0;
        if (from.y > to.y) {
            std::swap(from, to);
        }
        edges[count++] = {from.x - left_, from.y, to.y, (to.x - from.x) / (to.y - from.y), direction};
    }
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const std::uint32_t pixel = premultiplied(color);
    for (int row = top; row < bottom; ++row) {
        firstCell_ = std::numeric_limits<int>::max();
        lastCell_ = -1;
        const double rowTop = row;
        const double rowBottom = row + 1.0;
        for (int k = 0; k < count; ++k) {
            const Edge& e = edges[k];
            const double upper = std::max(rowTop, e.top);
            const double lower = std::min(rowBottom, e.bottom);
            if (lower > upper) {
                addPiece(e.x + (upper - e.top) * e.slope, e.x + (lower - e.top) * e.slope,
                         (lower - upper) * e.direction);
            }
        }
        // The frame's rows are far apart in memory, and a steep line's next
        // rows are waited for unless asked for ahead.
        if (firstCell_ > lastCell_) {
            continue;  // a quadrilateral of no height, whose edges are all level
        }
        const int ahead = row + kRowsAhead;
        const int column = firstCell_ + left_;
        if (ahead < bottom && column >= 0 && column < surfaceWidth) {
            __builtin_prefetch(data + static_cast<std::ptrdiff_t>(ahead) * stride + column * 4, 1);
        }
        paintRow(reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(row) * stride), surfaceWidth,
                 pixel);
    }
    cairo_surface_mark_dirty(surface);
    return true;
}

// One row's piece of an edge, from x = xa to x = xb (from the box's left),
// `height` of the row tall (signed). In each cell it crosses, the part of
// the cell's area right of the piece goes to the cell and the rest to the
// next one, so that the sum from the row's left counts a cell by the share
// of it the edge leaves on its right.
void QuadStroke::addPiece(double xa, double xb, double height) {
    const double left = std::min(xa, xb);
    const double right = std::max(xa, xb);
    // Both are at least 0, so truncation is the floor.
    int column = truncateToInt32(left);
    const int lastColumn = truncateToInt32(right);
    firstCell_ = std::min(firstCell_, column);
    lastCell_ = std::max(lastCell_, lastColumn + 1);
    float* cells = cells_.data();
    const auto add = [cells](int at, double area, double within) {
        cells[at] += static_cast<float>(area * (1.0 - within));
        cells[at + 1] += static_cast<float>(area * within);
    };
    if (column == lastColumn) {
        add(column, height, (left + right) / 2.0 - column);
        return;
    }
    // Across several cells the height is shared out by the width in each.
    const double heightPerWidth = height / (right - left);
    double x = left;
    for (; column <= lastColumn; ++column) {
        const double next = std::min(static_cast<double>(column + 1), right);
        add(column, (next - x) * heightPerWidth, (x + next) / 2.0 - column);
        x = next;
    }
}

// Composites the colour through each pixel's coverage onto the row, and
// clears the cells for the next row.
void QuadStroke::paintRow(std::uint32_t* line, int width, std::uint32_t color) {
    const bool opaque = color >> 24 == 255u;
    float sum = 0.0F;
    for (int cell = firstCell_; cell <= lastCell_; ++cell) {
        sum += cells_[static_cast<std::size_t>(cell)];
        cells_[static_cast<std::size_t>(cell)] = 0.0F;
        const int x = cell + left_;
        if (x < 0 || x >= width) {
            continue;
        }
        const float coverage = std::min(std::fabs(sum), 1.0F);
        const auto level = static_cast<std::uint32_t>(truncateToInt32(coverage * 255.0F + 0.5F));
        if (level == 255 && opaque) {
            line[x] = color;
        } else if (level != 0) {
            line[x] = pixel_math::over(level == 255 ? color : pixel_math::scale(color, level), line[x]);
        }
    }
}

}  // namespace pelmora
