// What GDI offers the rest of the platform layer (USER), beyond Win32.
#pragma once

#include "rect_set.h"
#include "surface.h"
#include "window_surface.h"

namespace kp::gdi {

// How many clip rectangles a window DC keeps.
constexpr int kMaxClipRects = RectSet::kCapacity;

// A DC that draws onto a window's client pixels, clipped to the union of the
// clip rectangles (client coordinates; the array is copied) and to the
// surface's size at the time of each operation. With a null surface (the
// screen) it draws nowhere. Returns NULL when no DC can be made, or for more
// than kMaxClipRects rectangles.
HDC CreateWindowDC(WindowSurface *surface, const RECT *clip, int clipCount);

// Gives back a DC made by CreateWindowDC; FALSE for any other handle.
BOOL ReleaseWindowDC(HDC hdc);

// The colour of a brush handle (stock or created); FALSE if it is not a brush
// or a null brush.
BOOL BrushColor(HBRUSH brush, COLORREF *color);

}  // namespace kp::gdi
