// Whole-program tests: the real WinMain and PaintWndProc on the headless host,
// driven by injected input and judged by the window's pixels against a model
// of the canvas kept by the test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "draw/pen.h"
#include "gdi/surface.h"
#include "host/headless/headless.h"
#include "kp_diagnostics.h"

namespace kptest {

constexpr uint32_t kWhite = 0x00FFFFFF;
constexpr uint32_t kBlack = 0x00000000;

struct Pen {
    COLORREF colour = RGB(0, 0, 0);
    int width = 1;
};

inline Pen PenForSeed(DWORD seed)
{
    Pen pen;
    RandomPenParameters(seed, &pen.colour, &pen.width);
    return pen;
}

// What the canvas should hold: W x H pixels, white at first, with the
// program's current position. One-pixel segments are drawn here by a
// Bresenham walk of the test's own; wide segments are drawn by GDI into a
// scratch bitmap and copied in, since their exact shape is GDI's business
// (and its own tests' concern), not the program's.
class CanvasModel {
  public:
    CanvasModel(int width, int height)
        : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, kWhite)
    {
    }

    int width() const { return width_; }
    int height() const { return height_; }
    uint32_t At(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    bool Inside(long x, long y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    void MoveTo(int x, int y)
    {
        x_ = x;
        y_ = y;
    }
    void LineTo(int x, int y, const Pen &pen)
    {
        uint32_t pixel = kp::PixelFromColorref(pen.colour);
        if (pen.width <= 1)
            ThinLine(x_, y_, x, y, pixel);
        else
            WideLine(x_, y_, x, y, pen);
        x_ = x;
        y_ = y;
    }

  private:
    void Plot(long x, long y, uint32_t pixel)
    {
        if (Inside(x, y))
            pixels_[static_cast<size_t>(y) * width_ + x] = pixel;
    }

    // One-pixel line from (x0, y0) to (x1, y1), the end left out. The major
    // axis is x when |dx| > |dy| (diagonals are y-major); ties of the error
    // term go towards the smaller minor coordinate.
    void ThinLine(long x0, long y0, long x1, long y1, uint32_t pixel)
    {
        long dx = x1 - x0, dy = y1 - y0;
        bool xMajor = std::labs(dx) > std::labs(dy);
        long dMajor = std::labs(xMajor ? dx : dy), dMinor = std::labs(xMajor ? dy : dx);
        int sMajor = (xMajor ? dx : dy) < 0 ? -1 : 1;
        int sMinor = (xMajor ? dy : dx) < 0 ? -1 : 1;
        int bias = sMinor < 0 ? 1 : 0;
        long major = xMajor ? x0 : y0, minor = xMajor ? y0 : x0;
        long err = 2 * dMinor - dMajor;
        for (long i = 0; i < dMajor; ++i) {
            if (xMajor)
                Plot(major, minor, pixel);
            else
                Plot(minor, major, pixel);
            if (err + bias > 0) {
                minor += sMinor;
                err += 2 * dMinor - 2 * dMajor;
            } else {
                err += 2 * dMinor;
            }
            major += sMajor;
        }
    }

    void WideLine(long x0, long y0, long x1, long y1, const Pen &pen)
    {
        const long margin = pen.width + 2;
        const long left = std::min(x0, x1) - margin, top = std::min(y0, y1) - margin;
        const int w = static_cast<int>(std::labs(x1 - x0) + 2 * margin);
        const int h = static_cast<int>(std::labs(y1 - y0) + 2 * margin);
        HDC screen = GetDC(NULL);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
        ReleaseDC(NULL, screen);
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        // A background that cannot be the pen's colour.
        const COLORREF background = pen.colour ^ 0x00FFFFFF;
        HBRUSH brush = CreateSolidBrush(background);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        PatBlt(dc, 0, 0, w, h, PATCOPY);
        HPEN gdiPen = CreatePen(PS_SOLID, pen.width, pen.colour);
        HGDIOBJ oldPen = SelectObject(dc, gdiPen);
        ::MoveToEx(dc, x0 - left, y0 - top, NULL);
        ::LineTo(dc, x1 - left, y1 - top);
        const uint32_t pixel = kp::PixelFromColorref(pen.colour);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (GetPixel(dc, x, y) == pen.colour)
                    Plot(left + x, top + y, pixel);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldBitmap);
        DeleteObject(gdiPen);
        DeleteObject(brush);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }

    int width_, height_;
    std::vector<uint32_t> pixels_;
    long x_ = 0, y_ = 0;  // a new DC's current position
};

// The window shows the canvas: every client pixel inside the canvas equals
// the model, and every one beyond it is the class's white background (the
// program copies nothing there). An empty client area shows nothing, rightly.
inline testing::AssertionResult ShowsCanvas(const kp::host::Image &image, const CanvasModel &model)
{
    long wrong = 0;
    std::string first;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            uint32_t want = model.Inside(x, y) ? model.At(x, y) : kWhite;
            uint32_t got = image.At(x, y);
            if (got == want)
                continue;
            if (wrong++ == 0) {
                char text[96];
                std::snprintf(text, sizeof(text), "first at (%d, %d): 0x%08X, expected 0x%08X", x,
                              y, got, want);
                first = text;
            }
        }
    }
    if (wrong == 0)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << wrong << " pixels differ from the canvas; " << first;
}

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override { KpGetGdiCounts(&before_); }

    void TearDown() override
    {
        if (!host.Exited() && hwnd)
            host.RequestClose(hwnd);
        host.Join();
    }

    // Starts the program on a screen of the given size and finds its window.
    void Launch(int screenWidth = 1920, int screenHeight = 1080, int showCommand = SW_SHOWNORMAL)
    {
        host.SetScreenSize(screenWidth, screenHeight);
        host.SetStartupShowCommand(showCommand);
        ASSERT_TRUE(host.Start(WinMain));
        ASSERT_FALSE(host.Exited()) << "the program ended at once";
        hwnd = host.MainWindow();
        ASSERT_NE(hwnd, nullptr);
    }

    // Input as the user gives it; each waits until the program has dealt with it.
    void Press(int x, int y, WPARAM keys = MK_LBUTTON)
    {
        host.MouseButton(hwnd, WM_LBUTTONDOWN, x, y, keys);
        ASSERT_TRUE(host.WaitIdle());
    }
    void Release(int x, int y, WPARAM keys = 0)
    {
        host.MouseButton(hwnd, WM_LBUTTONUP, x, y, keys);
        ASSERT_TRUE(host.WaitIdle());
    }
    void Move(int x, int y, WPARAM keys = MK_LBUTTON)
    {
        host.MouseMove(hwnd, x, y, keys);
        ASSERT_TRUE(host.WaitIdle());
    }
    // A right click; the pen it must give is one of those for the seconds
    // read just before and just after it.
    std::vector<Pen> RightClick(int x, int y, WPARAM otherKeys = 0)
    {
        time_t before = time(NULL);
        host.MouseButton(hwnd, WM_RBUTTONDOWN, x, y, otherKeys | MK_RBUTTON);
        host.MouseButton(hwnd, WM_RBUTTONUP, x, y, otherKeys);
        EXPECT_TRUE(host.WaitIdle());
        time_t after = time(NULL);
        std::vector<Pen> pens;
        for (time_t t = before; t <= after; ++t)
            pens.push_back(PenForSeed(static_cast<DWORD>(t)));
        return pens;
    }

    kp::host::Image Pixels() { return host.Pixels(hwnd); }

    // Closes the window; the program must end with 0 and give back every GDI
    // object that it made, without misusing any on the way.
    void CloseAndCheck()
    {
        host.RequestClose(hwnd);
        EXPECT_EQ(host.Join(), 0);
        KpGdiCounts after;
        KpGetGdiCounts(&after);
        EXPECT_EQ(after.dcs, before_.dcs) << "window DCs";
        EXPECT_EQ(after.memoryDcs, before_.memoryDcs) << "memory DCs";
        EXPECT_EQ(after.bitmaps, before_.bitmaps) << "bitmaps";
        EXPECT_EQ(after.pens, before_.pens) << "pens";
        EXPECT_EQ(after.brushes, before_.brushes) << "brushes";
        EXPECT_EQ(after.total, before_.total);
        // The two misuse counters are process-wide; only this run's share counts.
        EXPECT_EQ(after.deletedWhileSelected - before_.deletedWhileSelected, 0);
        EXPECT_EQ(after.invalidHandleUses - before_.invalidHandleUses, 0);
    }

    KpGdiCounts GdiCounts()
    {
        KpGdiCounts now;
        EXPECT_TRUE(host.WaitIdle());
        KpGetGdiCounts(&now);
        return now;
    }
    const KpGdiCounts &CountsBefore() const { return before_; }

    kp::host::HeadlessHost host;
    HWND hwnd = nullptr;

  private:
    KpGdiCounts before_ = {};
};

}  // namespace kptest
