// Filling on a target, clipped to its rectangles; copying between surfaces.
#pragma once

#include <algorithm>
#include <cstring>

#include "objects.h"

namespace kp::gdi {

// Fills [left, right) x [top, bottom) of one clip rectangle's part with pixel.
inline void FillClipped(const Surface &s, const RECT &clip, long left, long top, long right,
                        long bottom, uint32_t pixel)
{
    left = std::max(left, long(clip.left));
    top = std::max(top, long(clip.top));
    right = std::min(right, long(clip.right));
    bottom = std::min(bottom, long(clip.bottom));
    if (left >= right || top >= bottom)
        return;
    for (long y = top; y < bottom; ++y) {
        uint32_t *row = s.pixels + size_t(y) * size_t(s.stride);
        std::fill(row + left, row + right, pixel);
    }
}

// Fills a rectangle on every clip rectangle of the target.
inline void FillOnTarget(const Target &t, long left, long top, long right, long bottom,
                         uint32_t pixel)
{
    for (int i = 0; i < t.clipCount; ++i)
        FillClipped(t.surface, t.clip[i], left, top, right, bottom, pixel);
}

// Copies the destination rectangle r (inside d) from the source pixels at
// r + (dx, dy) (inside s); the two are different surfaces.
inline void CopyRows(const Surface &d, const Surface &s, const RECT &r, long dx, long dy)
{
    const size_t rowBytes = size_t(r.right - r.left) * sizeof(uint32_t);
    uint32_t *to = d.pixels + size_t(r.top) * size_t(d.stride) + r.left;
    const uint32_t *from = s.pixels + size_t(r.top + dy) * size_t(s.stride) + r.left + dx;
    for (LONG k = r.top; k < r.bottom; ++k) {
        std::memcpy(to, from, rowBytes);
        to += d.stride;
        from += s.stride;
    }
}

}  // namespace kp::gdi
