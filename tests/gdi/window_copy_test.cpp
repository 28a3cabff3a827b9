// Copies from a bitmap onto a window's surface: only what may differ is
// copied and reported as changed, and the result is always exactly what a
// plain full copy gives, on the surface and on a display that only ever
// receives the reported changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "gdi/gdi_internal.h"
#include "gdi/rects.h"
#include "gdi_fixture.h"

using kp::gdi::WindowSurface;
using kptest::Canvas;

namespace {

constexpr uint32_t kLost = 0xFFFF00FFu;

// A DC on the whole of a surface (clip rectangles in client coordinates).
class WindowDc {
  public:
    explicit WindowDc(WindowSurface &s, std::vector<RECT> clip = {{0, 0, 1 << 20, 1 << 20}})
        : dc_(kp::gdi::CreateWindowDC(&s, clip.data(), static_cast<int>(clip.size())))
    {
    }
    ~WindowDc() { kp::gdi::ReleaseWindowDC(dc_); }
    WindowDc(const WindowDc &) = delete;
    WindowDc &operator=(const WindowDc &) = delete;
    HDC dc() const { return dc_; }

  private:
    HDC dc_;
};

std::vector<uint32_t> PixelsOf(const WindowSurface &s)
{
    const kp::Surface p = s.Pixels();
    std::vector<uint32_t> out;
    for (int y = 0; y < p.height; ++y)
        out.insert(out.end(), p.pixels + size_t(y) * p.stride,
                   p.pixels + size_t(y) * p.stride + p.width);
    return out;
}

RECT DamageBounds(const WindowSurface &s)
{
    return s.Damage().Bounds();
}

bool Same(const RECT &a, const RECT &b)
{
    return EqualRect(&a, &b) != FALSE;
}

std::string Describe(const RECT &r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

void Gradient(const Canvas &c)
{
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x)
            SetPixel(c.dc(), x, y, RGB(x * 5, y * 7, 99));
}

// The pixels a window of w x h shows when it holds the canvas at (0, 0).
std::vector<uint32_t> CanvasPart(const Canvas &c, int w, int h)
{
    std::vector<uint32_t> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out.push_back(kp::PixelFromColorref(GetPixel(c.dc(), x, y)));
    return out;
}

TEST(WindowCopy, CopiesOnlyWhatTheWindowDoesNotHoldAlready)
{
    struct Case {
        const char *what;
        void (*between)(Canvas &canvas, Canvas &other, WindowSurface &window);
        RECT changed;  // bounds of what the second copy reports as changed
    };
    const RECT all = {0, 0, 30, 20};
    const Case cases[] = {
        {"nothing drawn since: nothing copied",
         [](Canvas &, Canvas &, WindowSurface &) {},
         {0, 0, 0, 0}},
        {"a segment drawn on the bitmap: its bounds",
         [](Canvas &c, Canvas &, WindowSurface &) {
             MoveToEx(c.dc(), 5, 5, NULL);
             LineTo(c.dc(), 10, 7);
         },
         {5, 5, 11, 8}},
        {"a wide segment: its bounds with the pen's reach",
         [](Canvas &c, Canvas &, WindowSurface &) {
             HPEN pen = CreatePen(PS_SOLID, 5, RGB(1, 2, 3));
             HGDIOBJ old = SelectObject(c.dc(), pen);
             MoveToEx(c.dc(), 10, 10, NULL);
             LineTo(c.dc(), 12, 10);
             SelectObject(c.dc(), old);
             DeleteObject(pen);
         },
         {7, 7, 16, 14}},
        {"drawing outside the window's part of the bitmap: nothing",
         [](Canvas &c, Canvas &, WindowSurface &) { SetPixel(c.dc(), 35, 25, RGB(1, 1, 1)); },
         {0, 0, 0, 0}},
        {"drawing on the window: that part again",
         [](Canvas &, Canvas &, WindowSurface &w) {
             WindowDc dc(w);
             RECT r = {2, 3, 6, 9};
             FillRect(dc.dc(), &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
             w.ClearDamage();
         },
         {2, 3, 6, 9}},
        {"pixels lost by the window system: that part again",
         [](Canvas &, Canvas &, WindowSurface &w) {
             w.Replace(RECT{20, 0, 25, 20}, kLost);
         },
         {20, 0, 25, 20}},
        {"the bitmap copied to another window in between: everything",
         [](Canvas &c, Canvas &, WindowSurface &) {
             WindowSurface second;
             second.Resize(10, 10);
             WindowDc dc(second);
             BitBlt(dc.dc(), 0, 0, 10, 10, c.dc(), 0, 0, SRCCOPY);
         },
         all},
        {"another bitmap copied onto the window in between: everything",
         [](Canvas &, Canvas &other, WindowSurface &w) {
             WindowDc dc(w);
             BitBlt(dc.dc(), 0, 0, 30, 20, other.dc(), 0, 0, SRCCOPY);
             w.ClearDamage();
         },
         all},
        {"shrunk and grown again: only the strip that came back",
         [](Canvas &, Canvas &, WindowSurface &w) {
             w.Resize(30, 12);
             w.Resize(30, 20);
         },
         {0, 12, 30, 20}},
        {"copy tracking off: everything, every time",
         [](Canvas &, Canvas &, WindowSurface &w) { w.SetCopyTracking(false); }, all},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        Canvas canvas(40, 30), other(30, 20);
        Gradient(canvas);
        WindowSurface window;
        window.SetLostPixel(kLost);
        ASSERT_TRUE(window.Resize(30, 20));
        {
            WindowDc dc(window);
            BitBlt(dc.dc(), 0, 0, 30, 20, canvas.dc(), 0, 0, SRCCOPY);
        }
        EXPECT_TRUE(Same(all, DamageBounds(window)))
            << "the first copy: " << Describe(DamageBounds(window));
        window.ClearDamage();
        k.between(canvas, other, window);
        {
            WindowDc dc(window);
            BitBlt(dc.dc(), 0, 0, 30, 20, canvas.dc(), 0, 0, SRCCOPY);
        }
        RECT got = DamageBounds(window);
        EXPECT_TRUE(Same(got, k.changed)) << Describe(got) << " instead of " << Describe(k.changed);
        EXPECT_EQ(PixelsOf(window), CanvasPart(canvas, 30, 20));
    }
}

TEST(WindowCopy, ADifferentOffsetOrClipCopiesWhatItCovers)
{
    Canvas canvas(40, 30);
    Gradient(canvas);
    WindowSurface window;
    ASSERT_TRUE(window.Resize(30, 20));
    WindowDc whole(window);
    BitBlt(whole.dc(), 0, 0, 30, 20, canvas.dc(), 0, 0, SRCCOPY);
    window.ClearDamage();
    MoveToEx(canvas.dc(), 0, 0, NULL);
    LineTo(canvas.dc(), 29, 19);
    // The same bitmap one column further on holds other pixels everywhere.
    BitBlt(whole.dc(), 0, 0, 30, 20, canvas.dc(), 1, 0, SRCCOPY);
    RECT all = {0, 0, 30, 20};
    EXPECT_TRUE(Same(all, DamageBounds(window)));
    window.ClearDamage();
    // Back at the old offset, through a DC clipped to two pieces: a new copy
    // of those pieces, and the window's pixels are the bitmap's there.
    WindowDc clipped(window, {{0, 0, 10, 20}, {20, 0, 30, 20}});
    BitBlt(clipped.dc(), 0, 0, 30, 20, canvas.dc(), 0, 0, SRCCOPY);
    const kp::Surface p = window.Pixels();
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 30; ++x) {
            COLORREF want = GetPixel(canvas.dc(), x + ((x >= 10 && x < 20) ? 1 : 0), y);
            ASSERT_EQ(kp::ColorrefFromPixel(p.pixels[y * p.stride + x]), want) << x << "," << y;
        }
    }
}

// ---- Random sequences against a plain copy ---------------------------------

// What a display shows of a window that is only ever sent what the surface
// reports as changed (and loses what the window system loses).
struct Display {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;

    void Follow(const WindowSurface &s)
    {
        std::vector<uint32_t> next(size_t(s.Width()) * s.Height(), kLost);
        for (int y = 0; y < std::min(height, s.Height()); ++y)
            for (int x = 0; x < std::min(width, s.Width()); ++x)
                next[size_t(y) * s.Width() + x] = pixels[size_t(y) * width + x];
        width = s.Width();
        height = s.Height();
        pixels = std::move(next);
    }
    void Show(WindowSurface &s)
    {
        Follow(s);
        const kp::Surface p = s.Pixels();
        for (int i = 0; i < s.Damage().Count(); ++i) {
            const RECT &r = s.Damage()[i];
            for (LONG y = r.top; y < r.bottom; ++y)
                for (LONG x = r.left; x < r.right; ++x)
                    pixels[size_t(y) * width + x] = p.pixels[size_t(y) * p.stride + x];
        }
        s.ClearDamage();
    }
    void Lose(const RECT &rect)
    {
        const RECT r = kp::Intersection(rect, RECT{0, 0, width, height});
        for (LONG y = r.top; y < r.bottom; ++y)
            std::fill_n(pixels.begin() + y * width + r.left, r.right - r.left, kLost);
    }
};

TEST(WindowCopy, RandomSequencesMatchAPlainCopyAndTheDisplayMatchesTheSurface)
{
    std::mt19937 random(20261207);
    auto pick = [&](int lo, int hi) { return lo + int(random() % unsigned(hi - lo + 1)); };
    auto randomRect = [&](int w, int h) {
        int x = pick(-8, w + 4), y = pick(-8, h + 4);
        return RECT{x, y, x + pick(0, w), y + pick(0, h)};
    };
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        Canvas canvas(72, 56), other(20, 20);
        Gradient(canvas);
        Gradient(other);
        WindowSurface tracked, plain;
        tracked.SetLostPixel(kLost);
        plain.SetLostPixel(kLost);
        plain.SetCopyTracking(false);
        Display display;
        int w = 48, h = 36;
        tracked.Resize(w, h);
        plain.Resize(w, h);
        for (int step = 0; step < 150; ++step) {
            const int op = pick(0, 9);
            if (op <= 2) {  // a stroke on the canvas, any pen
                HPEN pen = CreatePen(PS_SOLID, pick(0, 9), RGB(pick(0, 255), pick(0, 255), 0));
                HGDIOBJ old = SelectObject(canvas.dc(), pen);
                MoveToEx(canvas.dc(), pick(-10, 80), pick(-10, 60), NULL);
                for (int i = pick(1, 4); i > 0; --i)
                    LineTo(canvas.dc(), pick(-10, 80), pick(-10, 60));
                SelectObject(canvas.dc(), old);
                DeleteObject(pen);
            } else if (op == 3) {  // a fill or a pixel on the canvas
                RECT r = randomRect(72, 56);
                FillRect(canvas.dc(), &r, static_cast<HBRUSH>(GetStockObject(pick(0, 4))));
                SetPixel(canvas.dc(), pick(0, 71), pick(0, 55), RGB(9, 9, 9));
            } else if (op <= 6) {  // the program's repaint: a copy, maybe clipped
                std::vector<RECT> clip;
                for (int i = pick(1, 3); i > 0; --i)
                    clip.push_back(randomRect(w, h));
                if (pick(0, 1))
                    clip = {{0, 0, w, h}};
                RECT d = pick(0, 2) ? RECT{0, 0, w, h} : randomRect(w, h);
                const int offset = pick(0, 4) == 0 ? pick(-3, 3) : 0;
                HDC from = pick(0, 5) == 0 ? other.dc() : canvas.dc();
                for (WindowSurface *s : {&tracked, &plain}) {
                    WindowDc dc(*s, clip);
                    BitBlt(dc.dc(), d.left, d.top, d.right - d.left, d.bottom - d.top, from,
                           d.left + offset, d.top, SRCCOPY);
                }
            } else if (op == 7) {  // drawing on the window itself
                RECT r = randomRect(w, h);
                for (WindowSurface *s : {&tracked, &plain}) {
                    WindowDc dc(*s);
                    FillRect(dc.dc(), &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
                }
            } else if (op == 8) {  // a new size
                w = pick(0, 70);
                h = pick(0, 60);
                tracked.Resize(w, h);
                plain.Resize(w, h);
                display.Follow(tracked);  // the window system keeps what stays inside
            } else {                      // the window system loses some pixels
                RECT r = randomRect(w, h);
                tracked.Replace(r, kLost);
                plain.Replace(r, kLost);
                display.Follow(tracked);
                display.Lose(r);
            }
            ASSERT_EQ(PixelsOf(tracked), PixelsOf(plain)) << "step " << step << ", op " << op;
            if (pick(0, 2) == 0) {
                display.Show(tracked);
                plain.ClearDamage();
                ASSERT_EQ(display.pixels, PixelsOf(tracked))
                    << "step " << step << ": the display missed a change";
            }
        }
    }
}

}  // namespace
