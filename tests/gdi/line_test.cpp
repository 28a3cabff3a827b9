// One-pixel and wide lines: the pixels Windows sets.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "gdi_fixture.h"

using kptest::Canvas;
using kptest::PixelSet;

namespace {

long long CeilDiv(long long a, long long b)  // b > 0
{
    return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

// The pixels of a one-pixel line by its definition: one pixel per step along
// the major axis, the end point left out, the minor coordinate the exact one
// rounded to the nearest pixel with halves going to the smaller coordinate.
// Exact diagonals count as y-major.
PixelSet ModelLine(long x0, long y0, long x1, long y1,
                   const RECT &keep = {-1000, -1000, 1000, 1000})
{
    PixelSet set;
    long long dx = x1 - x0, dy = y1 - y0;
    bool xMajor = std::llabs(dx) > std::llabs(dy);
    long long dMaj = xMajor ? dx : dy, dMin = xMajor ? dy : dx;
    long long n = std::llabs(dMaj);
    for (long long i = 0; i < n; ++i) {
        long long major = (xMajor ? x0 : y0) + (dMaj > 0 ? i : -i);
        long long minor = (xMajor ? y0 : x0) + CeilDiv(2 * dMin * i - n, 2 * n);
        long long x = xMajor ? major : minor, y = xMajor ? minor : major;
        if (x >= keep.left && x < keep.right && y >= keep.top && y < keep.bottom)
            set.insert({int(x), int(y)});
    }
    return set;
}

// The model's pixels that fall on a width x height bitmap.
PixelSet ModelInside(long x0, long y0, long x1, long y1, int width, int height)
{
    return ModelLine(x0, y0, x1, y1, RECT{0, 0, width, height});
}

void Line(HDC dc, long x0, long y0, long x1, long y1)
{
    MoveToEx(dc, int(x0), int(y0), NULL);
    LineTo(dc, int(x1), int(y1));
}

struct Segment {
    int dx, dy;
};

// Every octant, both axes, the exact diagonals and the ties of slopes 1/2
// and 2 in every direction, drawn from the middle of the bitmap.
const Segment kDirections[] = {
    {10, 0}, {-10, 0}, {0, 10},  {0, -10}, {7, 7},    {-7, 7},   {7, -7},  {-7, -7},
    {9, 4},  {4, 9},   {-4, 9},  {-9, 4},  {-9, -4},  {-4, -9},  {4, -9},  {9, -4},
    {4, 2},  {2, 4},   {-2, 4},  {-4, 2},  {-4, -2},  {-2, -4},  {2, -4},  {4, -2},
    {10, 5}, {5, 10},  {-5, 10}, {-10, 5}, {-10, -5}, {-5, -10}, {5, -10}, {10, -5},
    {1, 0},  {0, 1},   {1, 1},   {-1, -1}, {2, 1},    {1, 2},    {25, 1},  {1, -25},
};

TEST(ThinLine, EveryDirectionSetsThePixelsOfTheLine)
{
    for (int width : {0, 1}) {
        for (const Segment &s : kDirections) {
            Canvas c(64, 64);
            HPEN pen = CreatePen(PS_SOLID, width, RGB(0, 0, 0));
            HGDIOBJ old = SelectObject(c.dc(), pen);
            Line(c.dc(), 32, 32, 32 + s.dx, 32 + s.dy);
            EXPECT_EQ(c.Inked(), ModelLine(32, 32, 32 + s.dx, 32 + s.dy))
                << "width " << width << " towards (" << s.dx << ", " << s.dy << ")";
            SelectObject(c.dc(), old);
            DeleteObject(pen);
        }
    }
}

TEST(ThinLine, TiesGoToTheSmallerCoordinateInBothDirections)
{
    struct Case {
        int x0, y0, x1, y1;
        PixelSet expected;
    };
    const Case cases[] = {
        {0, 0, 4, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        {4, 2, 0, 0, {{4, 2}, {3, 1}, {2, 1}, {1, 0}}},
        {0, 0, 2, 4, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},
        {2, 4, 0, 0, {{2, 4}, {1, 3}, {1, 2}, {0, 1}}},
        {0, 2, 4, 0, {{0, 2}, {1, 1}, {2, 1}, {3, 0}}},
        {4, 0, 0, 2, {{4, 0}, {3, 0}, {2, 1}, {1, 1}}},
    };
    for (const Case &k : cases) {
        Canvas c(8, 8);
        Line(c.dc(), k.x0, k.y0, k.x1, k.y1);
        EXPECT_EQ(c.Inked(), k.expected)
            << "(" << k.x0 << ", " << k.y0 << ") to (" << k.x1 << ", " << k.y1 << ")";
    }
}

TEST(ThinLine, ReversedLineDiffersOnlyInItsEnds)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(0, 63);
    for (int n = 0; n < 300; ++n) {
        int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
        if (x0 == x1 && y0 == y1)
            continue;
        Canvas a(64, 64), b(64, 64);
        Line(a.dc(), x0, y0, x1, y1);
        Line(b.dc(), x1, y1, x0, y0);
        PixelSet pa = a.Inked(), pb = b.Inked();
        pa.insert({x1, y1});
        pb.insert({x0, y0});
        EXPECT_EQ(pa, pb) << x0 << "," << y0 << " - " << x1 << "," << y1;
    }
}

TEST(ThinLine, ZeroLengthDrawsNothingButMovesThePosition)
{
    Canvas c(16, 16);
    MoveToEx(c.dc(), 5, 6, NULL);
    EXPECT_TRUE(LineTo(c.dc(), 5, 6));
    EXPECT_TRUE(c.Inked().empty());
    LineTo(c.dc(), 9, 6);
    POINT p;
    ASSERT_TRUE(GetCurrentPositionEx(c.dc(), &p));
    EXPECT_EQ(p.x, 9);
    EXPECT_EQ(p.y, 6);
    EXPECT_EQ(c.Inked(), (PixelSet{{5, 6}, {6, 6}, {7, 6}, {8, 6}}));
}

TEST(ThinLine, PolylineLeavesOnlyTheLastPointUncoloured)
{
    Canvas c(32, 32);
    const POINT pts[] = {{2, 2}, {20, 5}, {8, 25}, {30, 30}};
    MoveToEx(c.dc(), pts[0].x, pts[0].y, NULL);
    PixelSet expected;
    for (int i = 1; i < 4; ++i) {
        LineTo(c.dc(), pts[i].x, pts[i].y);
        PixelSet seg = ModelLine(pts[i - 1].x, pts[i - 1].y, pts[i].x, pts[i].y);
        expected.insert(seg.begin(), seg.end());
    }
    EXPECT_EQ(c.Inked(), expected);
    EXPECT_EQ(GetPixel(c.dc(), 30, 30), RGB(255, 255, 255));
}

// A clipped line sets exactly the unclipped line's pixels that fall inside,
// wherever it enters and leaves, however far away its ends are.
TEST(ThinLine, ClippedLineKeepsTheUnclippedPixels)
{
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> near(-40, 80), far(-70000, 70000), pick(0, 3);
    const int w = 40, h = 30;
    for (int n = 0; n < 400; ++n) {
        auto coord = [&] { return pick(rng) == 0 ? far(rng) : near(rng); };
        long x0 = coord(), y0 = coord(), x1 = coord(), y1 = coord();
        Canvas c(w, h);
        Line(c.dc(), x0, y0, x1, y1);
        ASSERT_EQ(c.Inked(), ModelInside(x0, y0, x1, y1, w, h))
            << "(" << x0 << ", " << y0 << ") to (" << x1 << ", " << y1 << ")";
    }
}

TEST(ThinLine, LinesAlongEveryEdge)
{
    const int w = 12, h = 10;
    const long lines[][4] = {
        {-5, 0, 20, 0}, {20, h - 1, -5, h - 1}, {0, -5, 0, 20}, {w - 1, 20, w - 1, -5},
        {-1, -1, w, h}, {w, -1, -1, h},         {-3, 4, 3, -3}, {w + 2, 4, w - 3, h + 3},
        {0, -1, w, -1}, {-1, 0, -1, h},         {w, 0, w, h},   {0, h, w, h},
    };
    for (const auto &l : lines) {
        Canvas c(w, h);
        Line(c.dc(), l[0], l[1], l[2], l[3]);
        EXPECT_EQ(c.Inked(), ModelInside(l[0], l[1], l[2], l[3], w, h))
            << l[0] << "," << l[1] << " - " << l[2] << "," << l[3];
    }
}

TEST(ThinLine, PenColourIsUsedAndNullPenDrawsNothing)
{
    Canvas c(16, 16);
    HPEN red = CreatePen(PS_SOLID, 1, RGB(200, 10, 30));
    HGDIOBJ old = SelectObject(c.dc(), red);
    Line(c.dc(), 1, 1, 10, 1);
    EXPECT_EQ(GetPixel(c.dc(), 4, 1), RGB(200, 10, 30));
    SelectObject(c.dc(), GetStockObject(NULL_PEN));
    Line(c.dc(), 1, 5, 10, 5);
    EXPECT_EQ(GetPixel(c.dc(), 4, 5), RGB(255, 255, 255));
    POINT p;
    GetCurrentPositionEx(c.dc(), &p);
    EXPECT_EQ(p.x, 10);
    SelectObject(c.dc(), old);
    DeleteObject(red);
}

// ---- Wide pens ---------------------------------------------------------------

const int kCapRows[10][9] = {
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

PixelSet Cap(int x, int y, int w)
{
    PixelSet set;
    for (int r = 0; r < w; ++r) {
        int n = kCapRows[w][r], left = x - w / 2 + (w - n) / 2;
        for (int i = 0; i < n; ++i)
            set.insert({left + i, y - w / 2 + r});
    }
    return set;
}

class WidePen : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override
    {
        pen_ = CreatePen(PS_SOLID, GetParam(), RGB(0, 0, 0));
        old_ = SelectObject(c_.dc(), pen_);
    }
    void TearDown() override
    {
        SelectObject(c_.dc(), old_);
        DeleteObject(pen_);
    }
    Canvas c_{40, 40};
    HPEN pen_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

TEST_P(WidePen, ZeroLengthSegmentDrawsOneCap)
{
    Line(c_.dc(), 20, 20, 20, 20);
    EXPECT_EQ(c_.Inked(), Cap(20, 20, GetParam()));
}

TEST_P(WidePen, HorizontalAndVerticalSegmentsAreCapsAndABody)
{
    const int w = GetParam();
    Line(c_.dc(), 10, 20, 28, 20);
    PixelSet expected = Cap(10, 20, w), end = Cap(28, 20, w);
    expected.insert(end.begin(), end.end());
    for (int x = 10; x < 28; ++x)
        for (int r = 0; r < w; ++r)
            expected.insert({x, 20 - w / 2 + r});
    EXPECT_EQ(c_.Inked(), expected);

    Canvas v(40, 40);
    SelectObject(v.dc(), pen_);
    Line(v.dc(), 20, 28, 20, 10);
    PixelSet vertical = Cap(20, 28, w), top = Cap(20, 10, w);
    vertical.insert(top.begin(), top.end());
    for (int y = 10; y < 28; ++y)
        for (int r = 0; r < w; ++r)
            vertical.insert({20 - w / 2 + r, y});
    EXPECT_EQ(v.Inked(), vertical);
    SelectObject(v.dc(), GetStockObject(BLACK_PEN));
}

// A diagonal stroke covers both caps and the line's own pixels, and stays
// within the pen's reach of the segment.
TEST_P(WidePen, DiagonalCoversTheLineAndStaysNearIt)
{
    const int w = GetParam();
    Line(c_.dc(), 8, 9, 30, 27);
    PixelSet inked = c_.Inked();
    PixelSet must = Cap(8, 9, w), end = Cap(30, 27, w), line = ModelLine(8, 9, 30, 27);
    must.insert(end.begin(), end.end());
    must.insert(line.begin(), line.end());
    for (auto p : must)
        EXPECT_TRUE(inked.count(p)) << p.first << "," << p.second;
    for (auto [x, y] : inked) {
        // Distance from the segment, in pixels.
        double dx = 22, dy = 18, t = ((x - 8) * dx + (y - 9) * dy) / (dx * dx + dy * dy);
        t = std::max(0.0, std::min(1.0, t));
        double ex = x - (8 + t * dx), ey = y - (9 + t * dy);
        EXPECT_LE(ex * ex + ey * ey, (w / 2.0 + 1) * (w / 2.0 + 1)) << x << "," << y;
    }
}

TEST_P(WidePen, ClippedStrokeKeepsTheUnclippedPixels)
{
    std::mt19937 rng(GetParam());
    std::uniform_int_distribution<int> coord(-15, 55);
    for (int n = 0; n < 40; ++n) {
        int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
        Canvas big(120, 120), small(40, 40);
        HGDIOBJ a = SelectObject(big.dc(), pen_), b = SelectObject(small.dc(), pen_);
        Line(big.dc(), x0 + 40, y0 + 40, x1 + 40, y1 + 40);
        Line(small.dc(), x0, y0, x1, y1);
        PixelSet shifted;
        for (auto [x, y] : big.Inked())
            if (x >= 40 && x < 80 && y >= 40 && y < 80)
                shifted.insert({x - 40, y - 40});
        EXPECT_EQ(small.Inked(), shifted) << x0 << "," << y0 << " - " << x1 << "," << y1;
        SelectObject(big.dc(), a);
        SelectObject(small.dc(), b);
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, WidePen, ::testing::Range(2, 10));

}  // namespace
