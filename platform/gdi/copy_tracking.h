// Copy tracking: a copy of a bitmap onto a window copies only what the
// window does not hold already.
//
// The program copies its whole client area from its canvas on every
// WM_PAINT, though a mouse move changes a few pixels. So a window remembers
// what it holds of one bitmap, and the bitmap what was drawn on it since;
// the rules this keeps:
//  1. A window mirrors at most one bitmap, at one offset (dx, dy): inside
//     area, each window pixel (x, y) equals the bitmap's pixel
//     (x + dx, y + dy), except in the window's holes and in the bitmap's
//     changes (shifted back by the offset).
//  2. A token pairs the two sides. A window that starts mirroring a bitmap
//     (or the same bitmap at another offset) takes a new token and gives it
//     to the bitmap, which ends whatever the bitmap or the window mirrored
//     before: tokens that no longer match mean nothing.
//  3. Whatever writes on the window, other than such a copy, adds a hole;
//     whatever draws on a bitmap that a window mirrors adds a change.
//  4. A plain copy (SRCCOPY, same format) of a piece copies what of it lies
//     outside area, in a hole or in a change; then the holes and changes
//     lose the piece, and area grows by it where the two still make one
//     rectangle. Any other copy only writes on the window (rule 3).
//  5. A window that changes size keeps what of area and its holes is still
//     inside it; a window that loses its pixels, or has tracking turned off,
//     mirrors nothing.
#pragma once

#include <windows.h>

#include <cstdint>

#include "rect_set.h"

namespace kp::gdi {

struct Target;
class WindowSurface;

// A bitmap's side: the token of the window that mirrors it (0: none), and
// what was drawn on it since that window last copied it.
struct BitmapCopies {
    uint32_t token;
    RectSet changes;
};

// A window's side: what it holds of which bitmap.
class WindowCopies {
  public:
    // The window was written on inside rect (rule 3).
    void Written(const RECT &rect, int width, int height);
    // The window is now width x height (rule 5).
    void Clip(int width, int height);
    void Forget() { *this = WindowCopies{}; }

  private:
    friend void CopyBitmapToWindow(const Target &dst, const Target &src, const RECT *pieces,
                                   int count, long dx, long dy);
    friend bool CopiesHold(const WindowSurface &window);

    uint32_t token_ = 0;  // 0: the window mirrors nothing
    HBITMAP bitmap_ = nullptr;
    long dx_ = 0;
    long dy_ = 0;
    RECT area_ = {0, 0, 0, 0};
    RectSet holes_;
};

// A bitmap was drawn on inside rect (rule 3).
void BitmapWritten(BitmapCopies &copies, const RECT &rect, int width, int height);

// A plain copy of the destination pieces (inside both targets) from the
// source bitmap at (x + dx, y + dy) onto the window (rule 4); the window's
// damage gets what was copied.
void CopyBitmapToWindow(const Target &dst, const Target &src, const RECT *pieces, int count,
                        long dx, long dy);

// Whether what the window takes to be a copy of a bitmap (rule 1) really is
// one, pixel for pixel: a check of the whole layer, for the fuzzer.
bool CopiesHold(const WindowSurface &window);

}  // namespace kp::gdi
