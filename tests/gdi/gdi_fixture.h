// Helpers for GDI tests: a 32-bit bitmap in a memory DC, read back as a set
// of coloured pixels.
#pragma once

#include <windows.h>

#include <set>
#include <utility>

namespace kptest {

using PixelSet = std::set<std::pair<int, int>>;

// A memory DC with a white 32-bit bitmap of the given size selected.
class Canvas {
  public:
    Canvas(int width, int height) : width_(width), height_(height)
    {
        HDC screen = GetDC(NULL);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(NULL, screen);
        old_ = SelectObject(dc_, bitmap_);
        PatBlt(dc_, 0, 0, width, height, WHITENESS);
    }
    ~Canvas()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Canvas(const Canvas &) = delete;
    Canvas &operator=(const Canvas &) = delete;

    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Every pixel that is not white.
    PixelSet Inked() const
    {
        PixelSet set;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (GetPixel(dc_, x, y) != RGB(255, 255, 255))
                    set.insert({x, y});
        return set;
    }

  private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

}  // namespace kptest
