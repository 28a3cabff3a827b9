// Fills and copies: PatBlt, BitBlt and FillRect, clipped.
#include <gtest/gtest.h>

#include "gdi_fixture.h"

using kptest::Canvas;
using kptest::PixelSet;

namespace {

PixelSet RectPixels(int left, int top, int right, int bottom)
{
    PixelSet set;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            set.insert({x, y});
    return set;
}

TEST(PatBlt, FillsTheRectangleClippedToTheBitmap)
{
    struct Case {
        int x, y, w, h;
        DWORD rop;
        PixelSet expected;
    };
    const Case cases[] = {
        {2, 3, 4, 2, BLACKNESS, RectPixels(2, 3, 6, 5)},
        {-3, -3, 5, 5, BLACKNESS, RectPixels(0, 0, 2, 2)},
        {8, 8, 10, 10, BLACKNESS, RectPixels(8, 8, 10, 10)},
        {6, 5, -4, -2, BLACKNESS, RectPixels(3, 4, 7, 6)},  // extents reaching back
        {0, 0, -1, 3, BLACKNESS, RectPixels(0, 0, 1, 3)},
        {2, 2, 0, 5, BLACKNESS, {}},
        {20, 20, 5, 5, BLACKNESS, {}},
        {0, 0, 10, 10, WHITENESS, {}},
        {1, 1, 3, 3, PATCOPY, RectPixels(1, 1, 4, 4)},  // with a black brush
    };
    for (const Case &k : cases) {
        Canvas c(10, 10);
        SelectObject(c.dc(), GetStockObject(BLACK_BRUSH));
        EXPECT_TRUE(PatBlt(c.dc(), k.x, k.y, k.w, k.h, k.rop));
        EXPECT_EQ(c.Inked(), k.expected) << k.x << "," << k.y << " " << k.w << "x" << k.h;
        SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
    }
    Canvas c(4, 4);
    EXPECT_FALSE(PatBlt(c.dc(), 0, 0, 4, 4, SRCCOPY)) << "a source operation needs a source";
}

TEST(PatBlt, NullBrushPaintsNothingAndSolidBrushItsColour)
{
    Canvas c(6, 6);
    SelectObject(c.dc(), GetStockObject(NULL_BRUSH));
    EXPECT_TRUE(PatBlt(c.dc(), 0, 0, 6, 6, PATCOPY));
    EXPECT_TRUE(c.Inked().empty());
    HBRUSH b = CreateSolidBrush(RGB(10, 120, 240));
    SelectObject(c.dc(), b);
    PatBlt(c.dc(), 1, 1, 2, 2, PATCOPY);
    EXPECT_EQ(GetPixel(c.dc(), 2, 2), RGB(10, 120, 240));
    EXPECT_EQ(GetPixel(c.dc(), 3, 3), RGB(255, 255, 255));
    PatBlt(c.dc(), 0, 0, 6, 6, DSTINVERT);
    EXPECT_EQ(GetPixel(c.dc(), 2, 2), RGB(245, 135, 15));
    EXPECT_EQ(GetPixel(c.dc(), 3, 3), RGB(0, 0, 0));
    SelectObject(c.dc(), GetStockObject(WHITE_BRUSH));
    DeleteObject(b);
}

// Source: an 8 x 8 bitmap whose pixel (x, y) has colour RGB(x * 16, y * 16, 7).
void FillGradient(const Canvas &src)
{
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x)
            SetPixel(src.dc(), x, y, RGB(x * 16, y * 16, 7));
}

TEST(BitBlt, CopiesOnlyWhereBothRectanglesOverlapTheirBitmaps)
{
    struct Case {
        int x, y, cx, cy, sx, sy;
    };
    const Case cases[] = {
        {0, 0, 8, 8, 0, 0},
        {2, 3, 4, 4, 1, 1},
        {-2, -2, 6, 6, 0, 0},
        {7, 7, 6, 6, 0, 0},
        {0, 0, 6, 6, -3, -2},
        {1, 1, 8, 8, 4, 5},
        {3, 3, 20, 20, -10, -10},
        {0, 0, 0, 5, 0, 0},
        {-20, 0, 5, 5, 0, 0},
        // Negative extents reach back from the start on both sides alike,
        // keeping the start's own pixel, as Wine draws them: the first copies
        // source columns 2..5 to destination columns 4..7.
        {7, 2, -4, 3, 5, 1},
        {2, 6, 3, -4, 0, 7},
        {9, 9, -3, -3, 7, 7},
    };
    for (const Case &k : cases) {
        Canvas src(8, 8), dst(10, 10);
        FillGradient(src);
        EXPECT_TRUE(BitBlt(dst.dc(), k.x, k.y, k.cx, k.cy, src.dc(), k.sx, k.sy, SRCCOPY));
        // The rectangle the copy covers, extents made positive.
        const int left = k.cx < 0 ? k.x + k.cx + 1 : k.x, width = k.cx < 0 ? -k.cx : k.cx;
        const int top = k.cy < 0 ? k.y + k.cy + 1 : k.y, height = k.cy < 0 ? -k.cy : k.cy;
        const int srcLeft = k.sx + (left - k.x), srcTop = k.sy + (top - k.y);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 10; ++x) {
                int sx = x - left + srcLeft, sy = y - top + srcTop;
                bool copied = x >= left && x < left + width && y >= top && y < top + height &&
                              sx >= 0 && sx < 8 && sy >= 0 && sy < 8;
                COLORREF want = copied ? RGB(sx * 16, sy * 16, 7) : RGB(255, 255, 255);
                ASSERT_EQ(GetPixel(dst.dc(), x, y), want)
                    << "pixel " << x << "," << y << " of blit " << k.x << "," << k.y << " " << k.cx
                    << "x" << k.cy << " from " << k.sx << "," << k.sy;
            }
        }
    }
}

TEST(BitBlt, OverlappingCopyWithinOneBitmap)
{
    for (int dy : {-2, 0, 2}) {
        for (int dx : {-3, 0, 3}) {
            Canvas c(12, 12), ref(12, 12);
            FillGradient(c);
            FillGradient(ref);
            BitBlt(c.dc(), 4 + dx, 4 + dy, 4, 4, c.dc(), 4, 4, SRCCOPY);
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x)
                    ASSERT_EQ(GetPixel(c.dc(), 4 + dx + x, 4 + dy + y),
                              GetPixel(ref.dc(), 4 + x, 4 + y))
                        << dx << "," << dy << " at " << x << "," << y;
        }
    }
}

TEST(BitBlt, RasterOperations)
{
    Canvas src(2, 1), dst(2, 1);
    SetPixel(src.dc(), 0, 0, RGB(0xF0, 0x0F, 0x33));
    SetPixel(src.dc(), 1, 0, RGB(0, 0, 0));
    const struct {
        DWORD rop;
        COLORREF dst0, want0;
    } cases[] = {
        {SRCCOPY, RGB(1, 2, 3), RGB(0xF0, 0x0F, 0x33)},
        {NOTSRCCOPY, RGB(1, 2, 3), RGB(0x0F, 0xF0, 0xCC)},
        {SRCAND, RGB(0xFF, 0x0E, 0x0F), RGB(0xF0, 0x0E, 0x03)},
        {SRCPAINT, RGB(0x0F, 0x10, 0x00), RGB(0xFF, 0x1F, 0x33)},
        {SRCINVERT, RGB(0xFF, 0xFF, 0xFF), RGB(0x0F, 0xF0, 0xCC)},
        {BLACKNESS, RGB(1, 2, 3), RGB(0, 0, 0)},
        {WHITENESS, RGB(1, 2, 3), RGB(255, 255, 255)},
    };
    for (const auto &k : cases) {
        SetPixel(dst.dc(), 0, 0, k.dst0);
        EXPECT_TRUE(BitBlt(dst.dc(), 0, 0, 1, 1, src.dc(), 0, 0, k.rop)) << std::hex << k.rop;
        EXPECT_EQ(GetPixel(dst.dc(), 0, 0), k.want0) << std::hex << k.rop;
    }
    EXPECT_FALSE(BitBlt(dst.dc(), 0, 0, 1, 1, NULL, 0, 0, SRCCOPY));
    EXPECT_TRUE(BitBlt(dst.dc(), 0, 0, 1, 1, NULL, 0, 0, BLACKNESS)) << "no source needed";
}

TEST(BitBlt, ColourOntoMonochromeKeepsOnlyTheBackgroundWhite)
{
    Canvas src(3, 1);
    SetPixel(src.dc(), 0, 0, RGB(255, 255, 255));
    SetPixel(src.dc(), 1, 0, RGB(250, 250, 250));
    SetPixel(src.dc(), 2, 0, RGB(0, 0, 0));
    HDC mono = CreateCompatibleDC(NULL);
    HBITMAP bm = CreateCompatibleBitmap(mono, 3, 1);
    HGDIOBJ old = SelectObject(mono, bm);
    BitBlt(mono, 0, 0, 3, 1, src.dc(), 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(mono, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(mono, 1, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(mono, 2, 0), RGB(0, 0, 0));
    SelectObject(mono, old);
    DeleteObject(bm);
    DeleteDC(mono);
}

TEST(FillRect, FillsWithTheBrushOrASystemColour)
{
    Canvas c(6, 6);
    RECT r = {1, 1, 3, 4};
    EXPECT_NE(FillRect(c.dc(), &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))), 0);
    EXPECT_EQ(c.Inked(), RectPixels(1, 1, 3, 4));
    RECT all = {-5, -5, 50, 50};
    EXPECT_NE(FillRect(c.dc(), &all, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)), 0);
    EXPECT_TRUE(c.Inked().empty());
    EXPECT_EQ(FillRect(c.dc(), &r, reinterpret_cast<HBRUSH>(uintptr_t(0x7777777))), 0);
    // An inverted rectangle fills like negative extents: back from its
    // left/top, keeping their own pixels.
    RECT inverted = {4, 3, 1, 1};
    FillRect(c.dc(), &inverted, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(c.Inked(), RectPixels(2, 2, 5, 4));
}

}  // namespace
