// Filling on a target, clipped to its rectangles.
#pragma once

#include <algorithm>

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

}  // namespace kp::gdi
