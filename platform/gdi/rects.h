// Rectangle arithmetic for the layer's own use, on top of the Win32
// functions (IntersectRect, UnionRect, ...) that gdi/rect.cpp implements.
#pragma once

#include <windows.h>

#include <cstdint>

namespace kp {

inline bool Empty(const RECT &r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

// The common part of a and b; (0, 0, 0, 0) when they do not meet.
inline RECT Intersection(const RECT &a, const RECT &b)
{
    RECT r;
    IntersectRect(&r, &a, &b);
    return r;
}

// The smallest rectangle holding both; an empty one adds nothing.
inline RECT BoundingBox(const RECT &a, const RECT &b)
{
    RECT r;
    UnionRect(&r, &a, &b);
    return r;
}

inline bool Contains(const RECT &outer, const RECT &inner)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

inline bool Overlap(const RECT &a, const RECT &b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

inline long long Area(const RECT &r)
{
    return Empty(r) ? 0 : static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
}

// A rectangle from 64-bit sides, each clamped to what a RECT can hold.
inline RECT ClampedRect(long long left, long long top, long long right, long long bottom)
{
    auto clamp = [](long long v) {
        return static_cast<LONG>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
    };
    return RECT{clamp(left), clamp(top), clamp(right), clamp(bottom)};
}

// r moved by (dx, dy), its sides clamped as above.
inline RECT Offset(const RECT &r, long long dx, long long dy)
{
    return ClampedRect(r.left + dx, r.top + dy, r.right + dx, r.bottom + dy);
}

// What of a lies outside b, as at most four disjoint rectangles (the bands
// above and below b across a's width, and left and right of b between them);
// returns how many were written to out.
int PartsOutside(const RECT &a, const RECT &b, RECT out[4]);

}  // namespace kp
