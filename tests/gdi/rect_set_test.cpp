// Gathering painted rectangles between two presents: everything added is
// covered, nothing outside the client area is, and the list never grows past
// its fixed capacity.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "gdi/rect_set.h"
#include "gdi/rects.h"

namespace {

using kp::gdi::RectSet;

std::string Describe(const RECT &r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

std::vector<RECT> Rects(const RectSet &d)
{
    std::vector<RECT> out;
    out.reserve(static_cast<size_t>(d.Count()));
    for (int i = 0; i < d.Count(); ++i)
        out.push_back(d[i]);
    return out;
}

bool Covers(const RectSet &d, int x, int y)
{
    for (int i = 0; i < d.Count(); ++i)
        if (x >= d[i].left && x < d[i].right && y >= d[i].top && y < d[i].bottom)
            return true;
    return false;
}

bool Same(const RECT &a, const RECT &b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool Overlap(const RECT &a, const RECT &b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// The invariants of a list for a client area of width x height: rectangles
// inside it, not empty, not overlapping one another.
void ExpectSound(const RectSet &d, int width, int height)
{
    ASSERT_LE(d.Count(), RectSet::kCapacity);
    for (int i = 0; i < d.Count(); ++i) {
        const RECT &r = d[i];
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height)
            << Describe(r) << " leaves the client area";
        EXPECT_TRUE(r.left < r.right && r.top < r.bottom) << Describe(r) << " is empty";
        for (int j = i + 1; j < d.Count(); ++j)
            EXPECT_FALSE(Overlap(r, d[j])) << Describe(r) << " overlaps " << Describe(d[j]);
    }
}

TEST(RectSet, AddsClipsAndMerges)
{
    struct Case {
        const char *name;
        std::vector<RECT> added;
        std::vector<RECT> expected;  // in the order the list holds them
    };
    const int w = 100, h = 80;
    const std::vector<Case> cases = {
        {"one rectangle", {{10, 10, 20, 30}}, {{10, 10, 20, 30}}},
        {"clipped to the client area",
         {{-5, -5, 10, 10}, {90, 70, 150, 150}},
         {{0, 0, 10, 10}, {90, 70, 100, 80}}},
        {"empty and outside ones are dropped",
         {{10, 10, 10, 20}, {10, 10, 20, 10}, {30, 30, 20, 40}, {100, 0, 120, 10}, {0, -9, 5, 0}},
         {}},
        {"touching rectangles stay apart",
         {{0, 0, 10, 10}, {10, 0, 20, 10}},
         {{0, 0, 10, 10}, {10, 0, 20, 10}}},
        {"overlapping rectangles become their union",
         {{0, 0, 10, 10}, {5, 5, 15, 12}},
         {{0, 0, 15, 12}}},
        {"a union that reaches a third rectangle takes it in too",
         {{0, 0, 10, 10}, {30, 0, 40, 10}, {5, 5, 35, 6}},
         {{0, 0, 40, 10}}},
        {"a union that comes to overlap a rectangle it did not touch before",
         {{0, 0, 10, 10}, {20, 20, 30, 30}, {8, 8, 12, 12}, {11, 11, 21, 21}},
         {{0, 0, 30, 30}}},
        {"the whole client", {{0, 0, 100, 80}, {3, 3, 4, 4}}, {{0, 0, 100, 80}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RectSet d;
        for (const RECT &r : c.added)
            d.Add(r, w, h);
        ExpectSound(d, w, h);
        std::vector<RECT> got = Rects(d);
        ASSERT_EQ(got.size(), c.expected.size());
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_TRUE(Same(got[i], c.expected[i]))
                << Describe(got[i]) << " instead of " << Describe(c.expected[i]);
    }
}

TEST(RectSet, FullListJoinsTheRectangleThatGrowsLeast)
{
    RectSet d;
    const int w = 1000, h = 100;
    // Sixteen one-pixel rectangles, 60 px apart on one row.
    for (int i = 0; i < RectSet::kCapacity; ++i)
        d.Add(RECT{i * 60, 0, i * 60 + 1, 1}, w, h);
    ASSERT_EQ(d.Count(), RectSet::kCapacity);
    // The seventeenth lies next to the fifth: it joins that one, nothing else.
    d.Add(RECT{243, 0, 244, 1}, w, h);
    EXPECT_EQ(d.Count(), RectSet::kCapacity);
    ExpectSound(d, w, h);
    bool joined = false;
    for (const RECT &r : Rects(d))
        joined |= r.left == 240 && r.right == 244 && r.top == 0 && r.bottom == 1;
    EXPECT_TRUE(joined) << "no rectangle (240,0)-(244,1)";
    for (int i = 0; i < RectSet::kCapacity; ++i)
        EXPECT_TRUE(Covers(d, i * 60, 0)) << "lost the rectangle at " << i * 60;
}

TEST(RectSet, ManyRandomRectanglesStayCoveredWithinCapacity)
{
    const int w = 64, h = 48;
    std::mt19937 random(12345);
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        RectSet d;
        std::vector<std::vector<bool>> painted(h, std::vector<bool>(w, false));
        int count = 1 + static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) {
            int x0 = static_cast<int>(random() % (w + 20)) - 10;
            int y0 = static_cast<int>(random() % (h + 20)) - 10;
            RECT r{x0, y0, x0 + static_cast<int>(random() % 20),
                   y0 + static_cast<int>(random() % 20)};
            d.Add(r, w, h);
            for (int y = std::max<int>(r.top, 0); y < std::min<int>(r.bottom, h); ++y)
                for (int x = std::max<int>(r.left, 0); x < std::min<int>(r.right, w); ++x)
                    painted[y][x] = true;
        }
        ExpectSound(d, w, h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                if (painted[y][x]) {
                    ASSERT_TRUE(Covers(d, x, y))
                        << "painted pixel (" << x << "," << y << ") would not be presented";
                }
            }
        }
        // Taking a rectangle out uncovers nothing else, and uncovers it
        // unless the pieces left over had to be merged for lack of room.
        const int x0 = static_cast<int>(random() % w), y0 = static_cast<int>(random() % h);
        const RECT cut = {x0, y0, x0 + static_cast<int>(random() % 30),
                          y0 + static_cast<int>(random() % 30)};
        d.Subtract(cut);
        ExpectSound(d, w, h);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const bool inCut = x >= cut.left && x < cut.right && y >= cut.top && y < cut.bottom;
                if (inCut) {
                    if (d.Count() < RectSet::kCapacity) {
                        ASSERT_FALSE(Covers(d, x, y)) << "(" << x << "," << y << ") was taken out";
                    }
                } else if (painted[y][x]) {
                    ASSERT_TRUE(Covers(d, x, y)) << "(" << x << "," << y << ") lost by a cut";
                }
            }
        }
    }
}

TEST(RectSet, ClipToASmallerClientAreaAndClear)
{
    RectSet d;
    d.Add(RECT{0, 0, 50, 50}, 200, 200);
    d.Add(RECT{100, 100, 150, 150}, 200, 200);
    d.Add(RECT{60, 0, 80, 200}, 200, 200);
    ASSERT_EQ(d.Count(), 3);
    d.ClipTo(70, 40);  // the second goes; the others are cut
    ExpectSound(d, 70, 40);
    ASSERT_EQ(d.Count(), 2);
    EXPECT_TRUE(Covers(d, 49, 39));
    EXPECT_TRUE(Covers(d, 65, 0));
    EXPECT_FALSE(Covers(d, 55, 10));
    d.ClipTo(0, 0);
    EXPECT_TRUE(d.Empty());
    d.Add(RECT{1, 1, 2, 2}, 10, 10);
    d.Clear();
    EXPECT_TRUE(d.Empty());
    EXPECT_EQ(d.Count(), 0);
}

}  // namespace

namespace {

// The Win32 rectangle functions that everything above is built on.
TEST(Rectangles, IntersectUnionSubtractAndTheSmallOnes)
{
    struct Case {
        RECT a, b;
        RECT intersection, union_, difference;
    };
    const RECT none = {0, 0, 0, 0};
    const Case cases[] = {
        // overlapping corners: the difference is not one rectangle, so a stays
        {{0, 0, 10, 10}, {5, 5, 15, 15}, {5, 5, 10, 10}, {0, 0, 15, 15}, {0, 0, 10, 10}},
        // b spans a's height on the right: a loses its right part
        {{0, 0, 10, 10}, {6, -5, 20, 20}, {6, 0, 10, 10}, {0, -5, 20, 20}, {0, 0, 6, 10}},
        // b spans a's width at the top: a loses its top part
        {{0, 0, 10, 10}, {-1, -1, 11, 4}, {0, 0, 10, 4}, {-1, -1, 11, 10}, {0, 4, 10, 10}},
        // apart: no intersection, a stays
        {{0, 0, 5, 5}, {7, 7, 9, 9}, none, {0, 0, 9, 9}, {0, 0, 5, 5}},
        // b covers a: nothing is left
        {{2, 2, 4, 4}, {0, 0, 9, 9}, {2, 2, 4, 4}, {0, 0, 9, 9}, none},
        // an empty b adds nothing to the union and takes nothing away
        {{1, 1, 3, 3}, {5, 5, 5, 9}, none, {1, 1, 3, 3}, {1, 1, 3, 3}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(Describe(c.a) + " and " + Describe(c.b));
        RECT r;
        EXPECT_EQ(IntersectRect(&r, &c.a, &c.b), !IsRectEmpty(&c.intersection));
        EXPECT_TRUE(Same(r, c.intersection)) << Describe(r);
        EXPECT_EQ(UnionRect(&r, &c.a, &c.b), TRUE);
        EXPECT_TRUE(Same(r, c.union_)) << Describe(r);
        EXPECT_EQ(SubtractRect(&r, &c.a, &c.b), !IsRectEmpty(&c.difference));
        EXPECT_TRUE(Same(r, c.difference)) << Describe(r);
        // What lies outside b, in pieces: together with the intersection it
        // is exactly a, and no piece meets b or another piece.
        RECT parts[4];
        const int n = kp::PartsOutside(c.a, c.b, parts);
        long long area = kp::Area(c.intersection);
        for (int i = 0; i < n; ++i) {
            area += kp::Area(parts[i]);
            EXPECT_TRUE(kp::Contains(c.a, parts[i]));
            EXPECT_FALSE(kp::Overlap(parts[i], c.b));
            for (int j = i + 1; j < n; ++j)
                EXPECT_FALSE(kp::Overlap(parts[i], parts[j]));
        }
        EXPECT_EQ(area, kp::Area(c.a));
    }
    RECT r = {1, 2, 3, 4};
    EXPECT_TRUE(OffsetRect(&r, -5, 10));
    EXPECT_TRUE(Same(r, RECT{-4, 12, -2, 14}));
    EXPECT_TRUE(PtInRect(&r, POINT{-4, 12}));
    EXPECT_FALSE(PtInRect(&r, POINT{-2, 12})) << "right and bottom are outside";
    EXPECT_TRUE(IsRectEmpty(&none));
    EXPECT_TRUE(IsRectEmpty(nullptr));
    EXPECT_TRUE(SetRectEmpty(&r));
    EXPECT_TRUE(EqualRect(&r, &none));
    EXPECT_FALSE(IntersectRect(nullptr, &r, &r));
    EXPECT_EQ(kp::ClampedRect(-(1ll << 40), 0, 1ll << 40, 5).right, INT32_MAX);
}

}  // namespace
