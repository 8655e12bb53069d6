#pragma once

// The scan conversion here follows glitter-paths, the anti-aliasing polygon
// scan converter that Cairo's image backend uses, so that its coverage is
// Cairo's to the bit:
//
//   Copyright (c) 2008  M Joonas Pihlaja
//   Copyright (c) 2007  David Turner
//
//   Permission is hereby granted, free of charge, to any person obtaining a
//   copy of this software and associated documentation files (the
//   "Software"), to deal in the Software without restriction, including
//   without limitation the rights to use, copy, modify, merge, publish,
//   distribute, sublicense, and/or sell copies of the Software, and to permit
//   persons to whom the Software is furnished to do so, subject to the
//   following conditions:
//
//   The above copyright notice and this permission notice shall be included
//   in all copies or substantial portions of the Software.
//
//   THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS
//   OR IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF
//   MERCHANTABILITY, FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN
//   NO EVENT SHALL THE AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM,
//   DAMAGES OR OTHER LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR
//   OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE
//   USE OR OTHER DEALINGS IN THE SOFTWARE.

#include <array>
#include <cstdint>
#include <vector>

namespace pelmora {

// A polygon edge in 24.8 fixed point: the line through (x1, y1) and (x2, y2),
// with y1 < y2, used between the heights top and bottom; dir is +1 or -1.
struct FixedEdge {
    std::int32_t x1, y1, x2, y2;
    std::int32_t top, bottom;
    int dir;
};

// 32-bit premultiplied pixels, rows `stride` bytes apart, of which only
// columns [left, right) are drawn on.
struct PixelRows {
    unsigned char* data;
    int stride;
    int width;
    int height;
    int left;
    int right;
};

// Fills a small polygon (a stroked segment's four edges) with an opaque
// colour, non-zero winding, anti-aliased on a grid of 256 x 15 samples per
// pixel: the rows with edges ending inside them by sampling, the others by
// exact area. The coverage and the blend are integer steps that give the
// pixels Cairo's image backend gives for the same polygon, to the bit.
class CoverageScanner {
public:
    static constexpr int kMostEdges = 4;
    // Pixels blended at once.
    static constexpr int kGroup = 4;

    // Callers keep every edge's x inside [0, pixels.width] pixels and every
    // y inside +-2^24 (fixed point), which keeps the arithmetic in range.
    void fill(const FixedEdge* edges, int count, const PixelRows& pixels, std::uint32_t pixel);

private:
    struct Quorem {
        std::int32_t quo;
        std::int64_t rem;
    };
    struct Edge {
        Edge* next;
        Edge* prev;
        std::int32_t ytop;
        std::int32_t heightLeft;
        int dir;
        int cell;
        Quorem x;
        Quorem dxdy;
        Quorem dxdyFull;
        std::int64_t dy;
        // A full row's advance of x in units of 1/dy, and the sub-rows the
        // edge takes per pixel across, for rows drawn by exact area.
        std::int64_t fullDx;
        Quorem fullDydx;
    };
    struct Active {
        Edge head;
        Edge tail;
        std::int32_t minHeight;
        bool isVertical;
    };

    bool addEdge(const FixedEdge& input, Edge& e) const;
    void resetActive();
    void fillBuckets(Edge* edge, int y, Edge** buckets, int& maxSuby);
    bool canDoFullRow();
    void subRow();
    void fullRow();
    void renderEdge(Edge& edge, int sign);
    void addSubspan(int x1, int x2);
    void stepEdges(int count);
    void blitRow(int y, int rowCount);
    void dropFromActive(Edge& e);

    struct Blend {
        std::uint32_t pixel = 0;
        bool ready = false;
        std::array<std::uint32_t, 256> low{};
        std::array<std::uint32_t, 256> high{};
        // Both halves in one pixel.
        std::array<std::uint32_t, 256> colourShare{};

        void prepare(std::uint32_t colour);
        // Cairo's blend of the colour at coverage a over the pixel d.
        std::uint32_t over(std::uint8_t a, std::uint32_t d) const {
            const auto inverse = static_cast<std::uint8_t>(255 - a);
            return add(low[a], multiply(d, inverse)) | add(high[a], multiply(d >> 8, inverse)) << 8;
        }
        void paint(std::uint32_t* row, int from, int to, std::uint8_t a) const;
        void run(std::uint32_t* row, int from, int count, const std::uint8_t* alphas, int rowWidth) const;

        // Two 8-bit channels (bits 0-7 and 16-23) times b / 255, rounded;
        // and added with saturation.
        static std::uint32_t multiply(std::uint32_t x, std::uint8_t b) {
            const std::uint32_t t = (x & 0x00ff00ffu) * b + 0x007f007fu;
            return ((t + ((t >> 8) & 0x00ff00ffu)) >> 8) & 0x00ff00ffu;
        }
        static std::uint32_t add(std::uint32_t x, std::uint32_t y) {
            std::uint32_t t = x + y;
            t |= 0x01000100u - ((t >> 8) & 0x00ff00ffu);
            return t & 0x00ff00ffu;
        }
    };

    // The two counters of pixel x (covered height, uncovered area); cell()
    // also marks them in use.
    int* cellAt(int x) const { return cellBase_ + static_cast<std::ptrdiff_t>(x) * 2; }
    int* cell(int x) {
        // Edges stay inside the columns given, so x is at most a pixel
        // outside them; the clamp only keeps a broken promise from writing
        // elsewhere.
        x = x < cellOrigin_ ? cellOrigin_ : (x >= cellEnd_ ? cellEnd_ - 1 : x);
        touchedLow_ = x < touchedLow_ ? x : touchedLow_;
        touchedHigh_ = x > touchedHigh_ ? x : touchedHigh_;
        return cellAt(x);
    }

    std::array<Edge, kMostEdges> edges_{};
    std::vector<Edge*> rowBuckets_;
    Active active_{};
    // Two counters per pixel of the current row (covered height, uncovered
    // area), from cellOrigin_ on; only [touchedLow_, touchedHigh_] are in use.
    std::vector<int> cells_;
    // The current row's coverage per column drawn, and kGroup zeros more.
    std::vector<std::uint8_t> alphas_;
    int cellOrigin_ = 0;
    int cellEnd_ = 0;
    // Where pixel 0's counters are (pixels left of it have theirs before).
    int* cellBase_ = nullptr;
    int touchedLow_ = 0;
    int touchedHigh_ = -1;
    int ymin_ = 0;
    int ymax_ = 0;
    PixelRows pixels_{};
    Blend blend_;
};

}  // namespace pelmora
