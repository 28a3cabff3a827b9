// A window's client pixels: the one place they live, whatever shows them.
// GDI's window DCs draw straight into it, USER gives it the client area's
// size, and the host shows it: from memory of the surface's own, or from
// display memory that the host lends it (the window system's shared image,
// so that painting writes where the display reads). Alongside the pixels it
// keeps what changed since the host last showed them, and what of it is an
// exact copy of a bitmap, so that copying that bitmap again copies only what
// was drawn on it since.
#pragma once

#include <windows.h>

#include <cstdint>

#include "copy_tracking.h"
#include "rect_set.h"
#include "surface.h"

namespace kp::gdi {

class WindowSurface {
  public:
    WindowSurface() = default;
    ~WindowSurface();
    WindowSurface(WindowSurface &&other) noexcept;
    WindowSurface &operator=(WindowSurface &&other) noexcept;
    WindowSurface(const WindowSurface &) = delete;
    WindowSurface &operator=(const WindowSurface &) = delete;

    Surface Pixels() const { return Surface{pixels_, width_, height_, stride_}; }
    int Width() const { return width_; }
    int Height() const { return height_; }

    // What the surface holds where nothing was drawn yet (a new surface, the
    // area a larger size adds). White unless the host says otherwise.
    void SetLostPixel(uint32_t pixel) { lostPixel_ = pixel; }

    // Gives the surface a new size (negative sizes count as 0), keeping the
    // pixels inside both the old and the new size; the rest holds the lost
    // pixel. The surface then lives in memory of its own. False when that
    // memory cannot be had: the surface then keeps the pixels it has, as
    // much of them as the new size holds (smaller than asked for), and a
    // later call can try again.
    bool Resize(int width, int height);

    // Display memory: width x height pixels of 0x00RRGGBB (the top byte
    // ignored) at the given stride, lent by the host; the surface's pixels
    // move into it and it is drawn on from then on.
    void UseDisplayMemory(uint32_t *memory, int stride);
    // Before the host takes its memory back: the pixels move into memory of
    // the surface's own. False if that memory cannot be had (the surface is
    // then empty).
    bool LeaveDisplayMemory();
    // The host's display memory is gone with its window: the surface is
    // left empty, its pixels not kept.
    void DropDisplayMemory();
    bool OnDisplayMemory() const { return pixels_ != nullptr && pixels_ != own_; }

    // Something other than GDI (the host standing in for a window system
    // that lost them) set the pixels of rect: they are no copy of anything.
    void Replace(const RECT &rect, uint32_t pixel);

    // GDI wrote somewhere inside bounds (surface coordinates, inside it).
    void Written(const RECT &bounds);
    // GDI copied the mirrored bitmap into rect: changed, but still a copy.
    void Copied(const RECT &rect) { damage_.Add(rect, width_, height_); }

    // The rectangles changed since the host last took them.
    const RectSet &Damage() const { return damage_; }
    void ClearDamage() { damage_.Clear(); }

    // With copy tracking off, every copy from a bitmap copies all of its
    // rectangle (the plain behaviour that tests compare with).
    void SetCopyTracking(bool on);
    bool CopyTracking() const { return copyTracking_; }

  private:
    friend void CopyBitmapToWindow(const Target &dst, const Target &src, const RECT *pieces,
                                   int count, long dx, long dy);
    friend bool CopiesHold(const WindowSurface &window);

    void FreeOwn();
    // The pixels are gone: nothing is left to show or to mirror.
    void LosePixels();
    // Own memory of width x height, the kept part copied from the current
    // pixels; false if it cannot be had.
    bool MoveToOwn(int width, int height);

    uint32_t *pixels_ = nullptr;  // own_ or the host's display memory
    uint32_t *own_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    uint32_t lostPixel_ = 0x00FFFFFFu;
    RectSet damage_;
    WindowCopies copies_;
    bool copyTracking_ = true;
};

}  // namespace kp::gdi
