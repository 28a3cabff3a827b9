// Lines drawn with a solid pen two or more pixels wide, as Windows draws them.
//
// Each segment is the union of a round cap (a pen-wide disc) at both ends and
// a body between them, filled once in the pen colour. The body is a
// parallelogram with integer corners: the start and end points moved to
// either side of the segment by whole pixels.
//
// How far: for a segment (dx, dy) of length len the pen's reach across it is
// w * |dy| / len horizontally and w * |dx| / len vertically. Each is cut down
// to a whole number and one added, giving the body's total extent across the
// segment in x and in y (tx, ty); a horizontal or vertical segment has exactly
// the pen's width across it instead (tx = 0, ty = w, or the other way round).
// The corners on the side of the segment that lies towards +x (towards +y for
// a horizontal segment) are moved by the larger halves, ceil(t / 2), those on
// the other side by the smaller ones, floor(t / 2). The side does not depend
// on the direction the segment is drawn in, so A -> B and B -> A give the same
// body.
//
// The parallelogram is filled the way GDI fills polygons: pixel (x, y) is the
// point (x, y), rows take x in [ceil(left edge), ceil(right edge)), and each
// edge owns its top row but not its bottom one. All of this is done in
// integers, relative to the start point, so the shape never depends on where
// on the bitmap it lies, and a clipped segment sets exactly the pixels of the
// unclipped one that fall inside.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "line.h"
#include "raster.h"

namespace kp::gdi {

namespace {

constexpr int kMaxCapWidth = 9;

// Row widths of the cap disc, top to bottom, for pen widths 2..9; wider pens
// use a computed disc.
constexpr int kCapRows[kMaxCapWidth + 1][kMaxCapWidth] = {
    {},
    {},
    {2, 2},
    {1, 3, 1},
    {2, 4, 4, 2},
    {3, 5, 5, 5, 3},
    {2, 4, 6, 6, 4, 2},
    {3, 5, 7, 7, 7, 5, 3},
    {4, 6, 8, 8, 8, 8, 6, 4},
    {3, 7, 7, 9, 9, 9, 7, 7, 3},
};

int CapRowWidth(int width, int row)
{
    if (width <= kMaxCapWidth)
        return kCapRows[width][row];
    // A disc of diameter width sampled at pixel centres, kept symmetric.
    double r = width / 2.0, dy = row + 0.5 - r;
    int half = int(std::floor(std::sqrt(std::max(0.0, r * r - dy * dy)) + 0.5));
    return std::min(width, 2 * half - (width % 2 == 1 && half > 0 ? 1 : 0));
}

// The rows any clip rectangle covers: [*top, *bottom).
void ClipRows(const Target &t, long *top, long *bottom)
{
    *top = t.clip[0].top;
    *bottom = t.clip[0].bottom;
    for (int i = 1; i < t.clipCount; ++i) {
        *top = std::min(*top, long(t.clip[i].top));
        *bottom = std::max(*bottom, long(t.clip[i].bottom));
    }
}

void FillSpan(const Target &t, long y, long left, long right, uint32_t pixel)
{
    if (left < right)
        FillOnTarget(t, left, y, right, y + 1, pixel);
}

void DrawCap(const Target &t, long x, long y, int width, uint32_t pixel)
{
    long left = x - width / 2, top = y - width / 2;
    for (int row = 0; row < width; ++row) {
        int w = CapRowWidth(width, row);
        long l = left + (width - w) / 2;
        FillSpan(t, top + row, l, l + w, pixel);
    }
}

using Wide = __int128;

// floor(num / den) for den > 0.
Wide FloorDiv(Wide num, Wide den)
{
    Wide q = num / den;
    if (num % den != 0 && num < 0)
        --q;
    return q;
}

// The body's whole-pixel extent across a diagonal segment along one axis:
// floor(w * along / len) + 1, where along is |dy| for x and |dx| for y,
// found exactly as the largest k with k^2 * len^2 <= (w * along)^2.
int CrossExtent(int width, uint64_t along, uint64_t ax, uint64_t ay)
{
    Wide len2 = Wide(ax) * ax + Wide(ay) * ay;
    Wide reach2 = Wide(width) * width * Wide(along) * along;
    int k = 0;
    while (k < width && Wide(k + 1) * (k + 1) * len2 <= reach2)
        ++k;
    return k + 1;
}

struct Point64 {
    int64_t x, y;
};

// One edge of a polygon, walked row by row: on row y it crosses at
// a.x + ceil((b.x - a.x) * (y - a.y) / (b.y - a.y)), kept exactly as a
// quotient and a remainder that grow by fixed steps from row to row.
class EdgeWalk {
  public:
    // The edge from a to b (a.y < b.y), starting at row `first` (>= a.y).
    void Start(Point64 a, Point64 b, int64_t first)
    {
        den_ = b.y - a.y;
        int64_t dx = b.x - a.x;
        stepQ_ = int64_t(FloorDiv(dx, den_));
        stepR_ = dx - stepQ_ * den_;
        Wide n = Wide(dx) * (first - a.y);
        Wide q = FloorDiv(n, den_);
        q_ = int64_t(q) + a.x;
        r_ = int64_t(n - q * den_);
    }

    // The crossing on the current row, then on to the next row.
    int64_t Next()
    {
        int64_t x = q_ + (r_ > 0 ? 1 : 0);
        q_ += stepQ_;
        r_ += stepR_;
        if (r_ >= den_) {
            r_ -= den_;
            ++q_;
        }
        return x;
    }

  private:
    int64_t den_ = 1, stepQ_ = 0, stepR_ = 0;
    int64_t q_ = 0, r_ = 0;  // floor part (with a.x) and remainder, 0 <= r < den
};

// Fills the parallelogram p[0..3] (corners in order) with GDI's polygon rule,
// rows limited to those of the clip rectangles.
void FillParallelogram(const Target &t, const Point64 p[4], uint32_t pixel)
{
    long clipTop, clipBottom;
    ClipRows(t, &clipTop, &clipBottom);
    // Each edge that is not horizontal owns the rows from its upper end to
    // just above its lower end.
    struct Edge {
        Point64 a, b;
        bool started;
        EdgeWalk walk;
    } edges[4];
    int count = 0;
    int64_t top = INT64_MAX, bottom = INT64_MIN;
    for (int e = 0; e < 4; ++e) {
        Point64 a = p[e], b = p[(e + 1) % 4];
        if (a.y == b.y)
            continue;
        if (a.y > b.y)
            std::swap(a, b);
        edges[count++] = {a, b, false, EdgeWalk()};
        top = std::min(top, a.y);
        bottom = std::max(bottom, b.y);
    }
    top = std::max<int64_t>(top, clipTop);
    bottom = std::min<int64_t>(bottom, clipBottom);
    for (int64_t y = top; y < bottom; ++y) {
        // A convex shape crosses each row in one span: from the leftmost
        // crossing to the rightmost.
        int64_t left = INT64_MAX, right = INT64_MIN;
        for (int e = 0; e < count; ++e) {
            Edge &edge = edges[e];
            if (y < edge.a.y || y >= edge.b.y)
                continue;
            if (!edge.started) {
                edge.walk.Start(edge.a, edge.b, y);
                edge.started = true;
            }
            int64_t x = edge.walk.Next();
            left = std::min(left, x);
            right = std::max(right, x);
        }
        if (left >= right)
            continue;
        long l = long(std::max<int64_t>(left, LONG_MIN / 2));
        long r = long(std::min<int64_t>(right, LONG_MAX / 2));
        FillSpan(t, long(y), l, r, pixel);
    }
}

void DrawBody(const Target &t, long x0, long y0, long x1, long y1, int width, uint32_t pixel)
{
    int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
    uint64_t ax = uint64_t(std::llabs(dx)), ay = uint64_t(std::llabs(dy));
    int tx, ty;
    if (dx == 0) {
        tx = width;
        ty = 0;
    } else if (dy == 0) {
        tx = 0;
        ty = width;
    } else {
        tx = CrossExtent(width, ay, ax, ay);
        ty = CrossExtent(width, ax, ax, ay);
    }
    // The normal (-dy, dx), turned to point towards +x (or +y when it has no
    // x part): the side that takes the larger halves.
    int64_t nx = -dy, ny = dx;
    if (nx < 0 || (nx == 0 && ny < 0)) {
        nx = -nx;
        ny = -ny;
    }
    int sx = (nx > 0) - (nx < 0), sy = (ny > 0) - (ny < 0);
    Point64 big{x0 + sx * int64_t((tx + 1) / 2), y0 + sy * int64_t((ty + 1) / 2)};
    Point64 small{x0 - sx * int64_t(tx / 2), y0 - sy * int64_t(ty / 2)};
    const Point64 corners[4] = {big, {big.x + dx, big.y + dy}, {small.x + dx, small.y + dy}, small};
    FillParallelogram(t, corners, pixel);
}

}  // namespace

void DrawWideLine(const Target &t, long x0, long y0, long x1, long y1, int width, uint32_t pixel)
{
    if (t.clipCount == 0)
        return;
    DrawCap(t, x0, y0, width, pixel);
    if (x0 == x1 && y0 == y1)
        return;
    DrawCap(t, x1, y1, width, pixel);
    DrawBody(t, x0, y0, x1, y1, width, pixel);
}

}  // namespace kp::gdi
