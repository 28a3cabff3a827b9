// What GDI offers the rest of the platform layer (USER), beyond Win32.
#pragma once

#include "surface.h"

namespace kp::gdi {

// A DC that draws onto a window's client pixels. Every operation is clipped
// to the surface and, when clipCount > 0, to the union of the clip rectangles
// (surface coordinates; the array is copied). Returns NULL when no DC can be
// made.
HDC CreateWindowDC(const Surface &surface, const RECT *clip, int clipCount);

// Gives back a DC made by CreateWindowDC; FALSE for any other handle.
BOOL ReleaseWindowDC(HDC hdc);

// The colour of a brush handle (stock or created); FALSE if it is not a brush
// or a null brush.
BOOL BrushColor(HBRUSH brush, COLORREF *color);

}  // namespace kp::gdi
