#include "CoverageScanner.h"

#include <algorithm>
#include <climits>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pelmora {
namespace {

constexpr int kGridX = 256;  // samples across a pixel: the input's own 1/256
constexpr int kGridY = 15;   // sample rows down a pixel
constexpr int kInputBits = 8;
// A pixel's area on the grid: twice the samples, so that half a sample's
// triangle is whole.
constexpr int kGridArea = 2 * kGridX * kGridY;
static_assert(kGridArea == 7680);

// Coordinates up to this (in 1/256 pixel) keep every product below in 64 bits.
constexpr std::int32_t kLargestY = 1 << 24;

int inputToGridY(std::int32_t in) {
    return static_cast<int>((static_cast<long long>(kGridY) * in + (1 << (kInputBits - 1))) >> kInputBits);
}

std::uint8_t areaToAlpha(std::int16_t area) {
    const int c = area;
    return static_cast<std::uint8_t>((c + c * 16 + 256) >> 9);
}

}  // namespace

// The colour's share of a blend at each coverage, worked out once per
// colour: of the four 8-bit multiplications a blended pixel needs, the two on
// the colour's side then cost nothing.
void CoverageScanner::Blend::prepare(std::uint32_t colour) {
    if (ready && colour == pixel) {
        return;
    }
    pixel = colour;
    ready = true;
    for (int a = 0; a < 256; ++a) {
        const auto coverage = static_cast<std::uint8_t>(a);
        low[static_cast<std::size_t>(a)] = multiply(colour, coverage);
        high[static_cast<std::size_t>(a)] = multiply(colour >> 8, coverage);
        colourShare[static_cast<std::size_t>(a)] = low[static_cast<std::size_t>(a)] | high[static_cast<std::size_t>(a)] << 8;
    }
}

void CoverageScanner::Blend::paint(std::uint32_t* row, int from, int to, std::uint8_t a) const {
    if (a == 0) {
        return;
    }
    if (a == 0xff) {
        std::fill(row + from, row + to, pixel);
        return;
    }
    for (int x = from; x < to; ++x) {
        row[x] = over(a, row[x]);
    }
}

// Blends columns [from, from + count) at their coverages; `alphas` holds
// zeros for kGroup columns past the last.
void CoverageScanner::Blend::run(std::uint32_t* row, int from, int count, const std::uint8_t* alphas,
                                 int rowWidth) const {
    int i = 0;
#if defined(__SSE2__)
    // Four pixels at a time in 16-bit lanes, each step as the scalar blend
    // takes it: (d * (255 - a) + 127 + its high byte) >> 8, then the
    // colour's share added with saturation.
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi16(0x7f);
    for (; i < count && from + i + kGroup <= rowWidth; i += kGroup) {
        const std::uint8_t* a = alphas + i;
        // 255 - a, byte by byte, is ~a.
        std::uint32_t four = 0;
        std::memcpy(&four, a, sizeof four);
        __m128i spread = _mm_cvtsi32_si128(static_cast<int>(~four));
        spread = _mm_unpacklo_epi8(spread, spread);
        spread = _mm_unpacklo_epi16(spread, spread);
        auto* at = reinterpret_cast<__m128i*>(row + from + i);
        const __m128i d = _mm_loadu_si128(at);
        __m128i low8 = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(spread, zero)), half);
        __m128i high8 = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(spread, zero)), half);
        low8 = _mm_srli_epi16(_mm_add_epi16(low8, _mm_srli_epi16(low8, 8)), 8);
        high8 = _mm_srli_epi16(_mm_add_epi16(high8, _mm_srli_epi16(high8, 8)), 8);
        const __m128i share = _mm_set_epi32(static_cast<int>(colourShare[a[3]]), static_cast<int>(colourShare[a[2]]),
                                            static_cast<int>(colourShare[a[1]]), static_cast<int>(colourShare[a[0]]));
        _mm_storeu_si128(at, _mm_adds_epu8(share, _mm_packus_epi16(low8, high8)));
    }
#endif
    for (; i < count; ++i) {
        row[from + i] = over(alphas[i], row[from + i]);
    }
}

namespace {

// Sorted merge of two edge lists by cell. It walks the list whose head comes
// first until the other's head would come before, then swaps; equal cells
// go to the list being walked, which decides the order of edges that meet.
template <typename Edge>
Edge* mergeSorted(Edge* a, Edge* b) {
    Edge* prev = a->prev;
    bool walkingA = a->cell <= b->cell;
    if (!walkingA) {
        b->prev = prev;
    }
    Edge* head = walkingA ? a : b;
    Edge** next = &head;
    for (;;) {
        Edge*& mine = walkingA ? a : b;
        Edge*& theirs = walkingA ? b : a;
        const int x = theirs->cell;
        while (mine != nullptr && mine->cell <= x) {
            prev = mine;
            next = &mine->next;
            mine = mine->next;
        }
        theirs->prev = prev;
        *next = theirs;
        if (mine == nullptr) {
            return head;
        }
        walkingA = !walkingA;
    }
}

// Bottom-up merge sort of the first 2^(level+1) edges of `list`; returns the
// edges left over.
template <typename Edge>
Edge* sortEdges(Edge* list, unsigned level, Edge** headOut) {
    Edge* headOther = list->next;
    if (headOther == nullptr) {
        *headOut = list;
        return nullptr;
    }
    Edge* remaining = headOther->next;
    if (list->cell <= headOther->cell) {
        *headOut = list;
        headOther->next = nullptr;
    } else {
        *headOut = headOther;
        headOther->prev = list->prev;
        headOther->next = list;
        list->prev = headOther;
        list->next = nullptr;
    }
    for (unsigned i = 0; i < level && remaining != nullptr; ++i) {
        remaining = sortEdges(remaining, i, &headOther);
        *headOut = mergeSorted(*headOut, headOther);
    }
    return remaining;
}

template <typename Edge>
Edge* mergeUnsorted(Edge* head, Edge* unsorted) {
    sortEdges(unsorted, UINT_MAX, &unsorted);
    return mergeSorted(head, unsorted);
}

template <typename Quorem>
void normalize(Quorem& q, std::int64_t dy) {
    if (q.rem < 0) {
        --q.quo;
        q.rem += dy;
    } else if (q.rem >= dy) {
        ++q.quo;
        q.rem -= dy;
    }
}

// Moves the edge's x down by `by` (a sub-row's or a full row's advance) and
// rounds it to the nearest sample for ordering.
template <typename Edge, typename Quorem>
void advance(Edge& edge, const Quorem& by) {
    if (edge.dy == 0) {
        return;
    }
    edge.x.quo += by.quo;
    edge.x.rem += by.rem;
    normalize(edge.x, edge.dy);
    edge.cell = edge.x.quo + (edge.x.rem >= edge.dy / 2 ? 1 : 0);
}

template <typename Edge>
void step(Edge& edge) {
    advance(edge, edge.dxdy);
}

template <typename Edge>
void fullStep(Edge& edge) {
    advance(edge, edge.dxdyFull);
}

}  // namespace

bool CoverageScanner::addEdge(const FixedEdge& input, Edge& e) const {
    int ytop = inputToGridY(input.top);
    ytop = std::max(ytop, ymin_);
    int ybot = inputToGridY(input.bottom);
    ybot = std::min(ybot, ymax_);
    if (ybot <= ytop) {
        return false;
    }
    e = Edge{};
    e.ytop = ytop;
    e.heightLeft = ybot - ytop;
    std::int32_t x1 = input.x1;
    std::int32_t y1 = input.y1;
    std::int32_t x2 = input.x2;
    std::int32_t y2 = input.y2;
    if (y2 > y1) {
        e.dir = input.dir;
    } else {
        e.dir = -input.dir;
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    if (x2 == x1) {
        e.cell = x1;
        e.x = Quorem{x1, 0};
        return true;
    }
    const std::int64_t ex = static_cast<std::int64_t>(x2 - x1) * kGridX;
    const std::int64_t ey = static_cast<std::int64_t>(y2 - y1) * kGridY * (2 << kInputBits);
    e.dxdy.quo = static_cast<std::int32_t>(ex * (2 << kInputBits) / ey);
    e.dxdy.rem = ex * (2 << kInputBits) % ey;
    std::int64_t tmp = static_cast<std::int64_t>(2 * ytop + 1) * (1 << kInputBits);
    tmp -= static_cast<std::int64_t>(y1) * kGridY * 2;
    tmp *= ex;
    e.x.quo = static_cast<std::int32_t>(tmp / ey);
    e.x.rem = tmp % ey;
    e.x.quo += x1;
    normalize(e.x, ey);
    if (e.heightLeft >= kGridY) {
        tmp = ex * (2 * kGridY << kInputBits);
        e.dxdyFull.quo = static_cast<std::int32_t>(tmp / ey);
        e.dxdyFull.rem = tmp % ey;
        // The stepped quotient and remainder add up to tmp exactly, so this
        // is how far x moves in a row whatever the rounding on the way.
        e.fullDx = tmp < 0 ? -tmp : tmp;
        const std::int64_t across = static_cast<std::int64_t>(kGridY) * kGridX * ey;
        e.fullDydx = Quorem{static_cast<std::int32_t>(across / e.fullDx), across % e.fullDx};
    }
    e.cell = e.x.quo + (e.x.rem >= ey / 2 ? 1 : 0);
    e.dy = ey;
    return true;
}

void CoverageScanner::resetActive() {
    Active& a = active_;
    a.head = Edge{};
    a.tail = Edge{};
    a.head.heightLeft = INT_MAX;
    a.head.cell = INT_MIN;
    a.head.next = &a.tail;
    a.tail.prev = &a.head;
    a.tail.cell = INT_MAX;
    a.tail.heightLeft = INT_MAX;
    a.minHeight = 0;
    a.isVertical = true;
}

void CoverageScanner::fill(const FixedEdge* edges, int count, const PixelRows& pixels, std::uint32_t pixel) {
    pixels_ = pixels;
    blend_.prepare(pixel);
    if (count <= 0 || count > kMostEdges || pixels.left < 0 || pixels.right > pixels.width ||
        pixels.left >= pixels.right || pixels.height <= 0) {
        return;
    }
    // Only the rows the edges reach are scanned: the ones above and below
    // have no coverage.
    std::int32_t top = INT_MAX;
    std::int32_t bottom = INT_MIN;
    for (int i = 0; i < count; ++i) {
        top = std::min(top, edges[i].top);
        bottom = std::max(bottom, edges[i].bottom);
    }
    if (top < -kLargestY || bottom > kLargestY) {
        return;
    }
    const int firstRow = std::max(0, (top >> kInputBits));
    const int endRow = std::min(pixels.height, (bottom + (1 << kInputBits) - 1) >> kInputBits);
    if (endRow <= firstRow) {
        return;
    }
    ymin_ = firstRow * kGridY;
    ymax_ = endRow * kGridY;
    const int rows = endRow - firstRow;
    rowBuckets_.assign(static_cast<std::size_t>(rows), nullptr);
    for (int i = 0; i < count; ++i) {
        Edge& e = edges_[static_cast<std::size_t>(i)];
        if (addEdge(edges[i], e)) {
            Edge*& bucket = rowBuckets_[static_cast<std::size_t>((e.ytop - ymin_) / kGridY)];
            e.next = bucket;
            bucket = &e;
        }
    }
    constexpr int kMargin = 64;
    cellOrigin_ = -kMargin;
    const std::size_t cellCount = static_cast<std::size_t>(pixels.width + 2 * kMargin) * 2;
    if (cells_.size() < cellCount) {
        cells_.assign(cellCount, 0);
    }
    cellEnd_ = cellOrigin_ + static_cast<int>(cells_.size() / 2);
    cellBase_ = cells_.data() - static_cast<std::ptrdiff_t>(cellOrigin_) * 2;
    if (alphas_.size() < static_cast<std::size_t>(pixels.width + kGroup)) {
        alphas_.assign(static_cast<std::size_t>(pixels.width + kGroup), 0);
    }
    touchedLow_ = INT_MAX;
    touchedHigh_ = INT_MIN;
    resetActive();

    Edge* buckets[kGridY] = {};
    for (int i = 0, j = 0; i < rows; i = j) {
        bool doFullRow = false;
        j = i + 1;
        int maxSuby = 0;
        fillBuckets(rowBuckets_[static_cast<std::size_t>(i)], (i + firstRow) * kGridY, buckets, maxSuby);
        if (maxSuby == 0) {
            if (buckets[0] != nullptr) {
                active_.head.next = mergeUnsorted(active_.head.next, buckets[0]);
                buckets[0] = nullptr;
            }
            if (active_.head.next == &active_.tail) {
                active_.minHeight = INT_MAX;
                active_.isVertical = true;
                while (j < rows && rowBuckets_[static_cast<std::size_t>(j)] == nullptr) {
                    ++j;
                }
                continue;
            }
            doFullRow = canDoFullRow();
        }
        if (doFullRow) {
            fullRow();
            if (active_.isVertical) {
                while (j < rows && rowBuckets_[static_cast<std::size_t>(j)] == nullptr &&
                       active_.minHeight >= 2 * kGridY) {
                    active_.minHeight -= kGridY;
                    ++j;
                }
                if (j != i + 1) {
                    stepEdges(j - (i + 1));
                }
            }
        } else {
            for (int sub = 0; sub < kGridY; ++sub) {
                if (buckets[sub] != nullptr) {
                    active_.head.next = mergeUnsorted(active_.head.next, buckets[sub]);
                    buckets[sub] = nullptr;
                }
                subRow();
            }
        }
        blitRow(i + firstRow, j - i);
        active_.minHeight -= kGridY;
    }
}

void CoverageScanner::fillBuckets(Edge* edge, int y, Edge** buckets, int& maxSuby) {
    std::int32_t minHeight = active_.minHeight;
    bool isVertical = active_.isVertical;
    maxSuby = 0;
    while (edge != nullptr) {
        Edge* next = edge->next;
        const int suby = edge->ytop - y;
        if (buckets[suby] != nullptr) {
            buckets[suby]->prev = edge;
        }
        edge->next = buckets[suby];
        edge->prev = nullptr;
        buckets[suby] = edge;
        minHeight = std::min(minHeight, edge->heightLeft);
        isVertical = isVertical && edge->dy == 0;
        edge = next;
        maxSuby = std::max(maxSuby, suby);
    }
    active_.isVertical = isVertical;
    active_.minHeight = minHeight;
}

bool CoverageScanner::canDoFullRow() {
    if (active_.minHeight <= 0) {
        std::int32_t minHeight = INT_MAX;
        bool isVertical = true;
        for (const Edge* e = active_.head.next; e != nullptr; e = e->next) {
            minHeight = std::min(minHeight, e->heightLeft);
            isVertical = isVertical && e->dy == 0;
        }
        active_.isVertical = isVertical;
        active_.minHeight = minHeight;
    }
    if (active_.minHeight < kGridY) {
        return false;
    }
    // No edges may cross within the row.
    int prevX = INT_MIN;
    for (const Edge* e = active_.head.next; e != &active_.tail; e = e->next) {
        int cell = e->cell;
        if (e->dy != 0) {
            Quorem x = e->x;
            x.quo += e->dxdyFull.quo;
            x.rem += e->dxdyFull.rem;
            normalize(x, e->dy);
            cell = x.quo + (x.rem >= e->dy / 2 ? 1 : 0);
        }
        if (cell < prevX) {
            return false;
        }
        prevX = cell;
    }
    return true;
}

void CoverageScanner::addSubspan(int x1, int x2) {
    if (x1 == x2) {
        return;
    }
    const int ix1 = x1 >> 8;
    const int fx1 = x1 & 0xff;
    const int ix2 = x2 >> 8;
    const int fx2 = x2 & 0xff;
    auto add = [](int* at, int value) { *at = static_cast<std::int16_t>(*at + value); };
    if (ix1 != ix2) {
        int* c1 = cell(ix1);
        add(c1 + 1, 2 * fx1);
        add(c1, 1);
        int* c2 = cell(ix2);
        add(c2 + 1, -2 * fx2);
        add(c2, -1);
    } else {
        add(cell(ix1) + 1, 2 * (fx1 - fx2));
    }
}

void CoverageScanner::subRow() {
    Edge* edge = active_.head.next;
    int xstart = INT_MIN;
    int prevX = INT_MIN;
    int winding = 0;
    while (&active_.tail != edge) {
        Edge* next = edge->next;
        const int xend = edge->cell;
        if (--edge->heightLeft != 0) {
            step(*edge);
            if (edge->cell < prevX) {
                // Moved left of an earlier edge: insertion-sort it back.
                Edge* pos = edge->prev;
                pos->next = next;
                next->prev = pos;
                do {
                    pos = pos->prev;
                } while (edge->cell < pos->cell);
                pos->next->prev = edge;
                edge->next = pos->next;
                edge->prev = pos;
                pos->next = edge;
            } else {
                prevX = edge->cell;
            }
            active_.minHeight = -1;
        } else {
            edge->prev->next = next;
            next->prev = edge->prev;
        }
        winding += edge->dir;
        if (winding == 0) {
            if (next->cell != xend) {
                addSubspan(xstart, xend);
                xstart = INT_MIN;
            }
        } else if (xstart == INT_MIN) {
            xstart = xend;
        }
        edge = next;
    }
}

void CoverageScanner::dropFromActive(Edge& e) {
    e.prev->next = e.next;
    e.next->prev = e.prev;
    active_.minHeight = -1;
}

void CoverageScanner::fullRow() {
    Edge* left = active_.head.next;
    while (&active_.tail != left) {
        left->heightLeft -= kGridY;
        if (left->heightLeft == 0) {
            dropFromActive(*left);
        }
        int winding = left->dir;
        Edge* right = left->next;
        for (;;) {
            right->heightLeft -= kGridY;
            if (right->heightLeft == 0) {
                dropFromActive(*right);
            }
            winding += right->dir;
            if (winding == 0 && right->next->cell != right->cell) {
                break;
            }
            fullStep(*right);
            right = right->next;
        }
        renderEdge(*left, +1);
        renderEdge(*right, -1);
        left = right->next;
    }
}

// Adds the exact area an edge covers in this row of pixels and moves it to
// the next row; called only when no edge starts, ends or crosses another in
// the row.
void CoverageScanner::renderEdge(Edge& edge, int sign) {
    Quorem x1 = edge.x;
    fullStep(edge);
    Quorem x2 = edge.x;
    auto add = [](int* at, std::int64_t value) { *at = static_cast<std::int16_t>(*at + value); };
    if (edge.dy != 0) {
        // From the sample in the middle of the first sub-row back to the
        // pixel's top.
        x1.quo -= edge.dxdy.quo / 2;
        x1.rem -= edge.dxdy.rem / 2;
        normalize(x1, edge.dy);
        x2.quo -= edge.dxdy.quo / 2;
        x2.rem -= edge.dxdy.rem / 2;
        normalize(x2, edge.dy);
    }
    int ix1 = x1.quo >> 8;
    int fx1 = x1.quo & 0xff;
    int ix2 = x2.quo >> 8;
    int fx2 = x2.quo & 0xff;
    if (ix1 == ix2) {
        int* only = cell(ix1);
        add(only, sign * kGridY);
        add(only + 1, sign * (fx1 + fx2) * kGridY);
        return;
    }
    if (ix2 < ix1) {
        std::swap(ix1, ix2);
        std::swap(fx1, fx2);
        std::swap(x1, x2);
    }
    const std::int64_t dx = edge.fullDx;
    std::int64_t tmp = static_cast<std::int64_t>((ix1 + 1) * kGridX) * edge.dy;
    tmp -= static_cast<std::int64_t>(x1.quo) * edge.dy + x1.rem;
    tmp *= kGridY;
    Quorem y{static_cast<std::int32_t>(tmp / dx), tmp % dx};

    int* first = cell(ix1);
    add(first + 1, static_cast<std::int64_t>(sign) * y.quo * (kGridX + fx1));
    add(first, static_cast<std::int64_t>(sign) * y.quo);
    int yLast = y.quo;
    if (ix1 + 1 < ix2) {
        const Quorem dydxFull = edge.fullDydx;
        ++ix1;
        do {
            y.quo += dydxFull.quo;
            y.rem += dydxFull.rem;
            if (y.rem >= dx) {
                ++y.quo;
                y.rem -= dx;
            }
            int* middle = cell(ix1);
            add(middle + 1, static_cast<std::int64_t>(sign) * (y.quo - yLast) * kGridX);
            add(middle, static_cast<std::int64_t>(sign) * (y.quo - yLast));
            yLast = y.quo;
            ++ix1;
        } while (ix1 != ix2);
    }
    int* last = cell(ix2);
    add(last + 1, static_cast<std::int64_t>(sign) * (kGridY - yLast) * fx2);
    add(last, static_cast<std::int64_t>(sign) * (kGridY - yLast));
}

void CoverageScanner::stepEdges(int count) {
    count *= kGridY;
    for (Edge* edge = active_.head.next; edge != &active_.tail; edge = edge->next) {
        edge->heightLeft -= count;
        if (edge->heightLeft == 0) {
            dropFromActive(*edge);
        }
    }
}

void CoverageScanner::blitRow(int y, int rowCount) {
    if (touchedHigh_ < touchedLow_) {
        return;
    }
    const int left = pixels_.left;
    const int right = pixels_.right;
    int* cells = cellAt(0);
    // Cells left of the first column still carry their height into it.
    std::int16_t cover = 0;
    if (touchedLow_ < left) {
        for (int x = touchedLow_; x <= touchedHigh_ && x < left; ++x) {
            cover = static_cast<std::int16_t>(cover + cells[2 * x]);
        }
        cover = static_cast<std::int16_t>(cover * kGridX * 2);
    }
    const int first = std::max(touchedLow_, left);
    const int end = std::min(touchedHigh_ + 1, right);
    // The coverage of each column drawn, read once; the cells read are
    // cleared on the way, as the next pixel row starts from clear cells.
    std::int16_t c = cover;
    const int count = std::max(end - first, 0);
    std::uint8_t* alphas = alphas_.data();
    for (int i = 0; i < count; ++i) {
        int* counter = cells + 2 * (first + i);
        c = static_cast<std::int16_t>(c + counter[0] * kGridX * 2);
        alphas[i] = areaToAlpha(static_cast<std::int16_t>(c - counter[1]));
        counter[0] = 0;
        counter[1] = 0;
    }
    // Zeros after the last column let whole groups of pixels blend; a
    // pixel at coverage 0 keeps its value.
    std::fill(alphas + count, alphas + count + kGroup, std::uint8_t{0});
    for (int r = 0; r < rowCount; ++r) {
        auto* row = reinterpret_cast<std::uint32_t*>(pixels_.data + static_cast<std::ptrdiff_t>(y + r) * pixels_.stride);
        if (cover != 0) {
            blend_.paint(row, left, std::min(first, right), areaToAlpha(cover));
        }
        blend_.run(row, first, count, alphas, pixels_.width);
        if (c != 0) {
            blend_.paint(row, std::max(end, left), right, areaToAlpha(c));
        }
    }
    // Cells outside the columns drawn (or all of them, if none were).
    if (count == 0) {
        std::fill(cellAt(touchedLow_), cellAt(touchedHigh_ + 1), 0);
    } else {
        std::fill(cellAt(touchedLow_), cellAt(first), 0);
        std::fill(cellAt(end), cellAt(touchedHigh_ + 1), 0);
    }
    touchedLow_ = INT_MAX;
    touchedHigh_ = INT_MIN;
}

}  // namespace pelmora
