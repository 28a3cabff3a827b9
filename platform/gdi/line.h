// Line rasterizers. Each sets exactly the pixels of the unclipped line that
// fall inside the clip. A one-pixel line leaves out its end point's own
// pixel; a wide pen's round cap at the end covers it.
#pragma once

#include "objects.h"

namespace kp::gdi {

// A one-pixel (cosmetic) line from (x0, y0) towards (x1, y1), end excluded,
// drawn only inside clip (which lies inside the surface).
void DrawThinLine(const Surface &s, const RECT &clip, long x0, long y0, long x1, long y1,
                  uint32_t pixel);

// A solid pen of width 2 or more: round caps at both ends joined by the
// segment's body, drawn on every clip rectangle of the target.
void DrawWideLine(const Target &t, long x0, long y0, long x1, long y1, int width, uint32_t pixel);

}  // namespace kp::gdi
