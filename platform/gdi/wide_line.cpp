// Lines drawn with a solid pen two or more pixels wide: each segment is the
// union of a round cap (a pen-wide disc) at both ends and the body between
// them, a rectangle as wide as the pen along the segment.
#include <algorithm>
#include <cmath>

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

// The segment's body: the rectangle of the pen's width centred on the
// segment. Row y covers x with ceil(left(y)) <= x < ceil(right(y)); the top
// edge is included and the bottom one left out.
void DrawBody(const Target &t, long x0, long y0, long x1, long y1, int width, uint32_t pixel)
{
    // Worked out relative to the start point, so that the shape does not
    // depend on where on the bitmap the segment lies.
    double dx = double(x1) - x0, dy = double(y1) - y0;
    double len = std::sqrt(dx * dx + dy * dy);
    double nx = -dy / len * width / 2.0, ny = dx / len * width / 2.0;
    const double px[4] = {nx, dx + nx, dx - nx, -nx};
    const double py[4] = {ny, dy + ny, dy - ny, -ny};

    double minY = *std::min_element(py, py + 4), maxY = *std::max_element(py, py + 4);
    long clipTop, clipBottom;
    ClipRows(t, &clipTop, &clipBottom);
    long top = std::max(y0 + long(std::ceil(minY)), clipTop);
    long bottom = std::min(y0 + long(std::ceil(maxY)), clipBottom);
    for (long y = top; y < bottom; ++y) {
        double ry = double(y - y0);
        double left = INFINITY, right = -INFINITY;
        for (int e = 0; e < 4; ++e) {
            double ay = py[e], by = py[(e + 1) % 4];
            if (ay == by || ry < std::min(ay, by) || ry > std::max(ay, by))
                continue;
            double x = px[e] + (px[(e + 1) % 4] - px[e]) * (ry - ay) / (by - ay);
            left = std::min(left, x);
            right = std::max(right, x);
        }
        if (left < right)
            FillSpan(t, y, x0 + long(std::ceil(left)), x0 + long(std::ceil(right)), pixel);
    }
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
