// One-pixel lines and LineTo.
#include "line.h"
#include "rects.h"

#include <algorithm>
#include <cstdlib>

namespace kp::gdi {

namespace {

// The Bresenham walk of a line in major/minor terms. Step i (0 <= i < dMajor)
// sets the pixel at major0 + sMajor * i, minor0 + sMinor * MinorSteps(i).
// Ties go to the smaller minor coordinate, so a line drawn either way sets the
// same pixels (apart from the excluded end): the error test is biased by one
// when the minor axis runs backwards.
struct Walk {
    long long major0, minor0;
    long long dMajor, dMinor;  // both >= 0, dMajor > 0
    int sMajor, sMinor;
    int bias;

    // Minor steps taken before step i.
    long long MinorSteps(long long i) const
    {
        __int128 num = __int128(2) * dMinor * i + dMajor + bias - 1;
        return static_cast<long long>(num / (__int128(2) * dMajor));
    }

    // First step whose minor step count is >= k (dMajor when none).
    long long FirstWithAtLeast(long long k) const
    {
        long long lo = 0, hi = dMajor;
        while (lo < hi) {
            long long mid = lo + (hi - lo) / 2;
            if (MinorSteps(mid) >= k)
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    }
};

// Steps i (half-open [*first, *last)) whose coordinate start + s * i lies in
// [lo, hi).
void StepsInside(long long start, int s, long lo, long hi, long long *first, long long *last)
{
    if (s > 0) {
        *first = lo - start;
        *last = hi - start;
    } else {
        *first = start - hi + 1;
        *last = start - lo + 1;
    }
}

}  // namespace

void DrawThinLine(const Surface &s, const RECT &clip, long x0, long y0, long x1, long y1,
                  uint32_t pixel)
{
    long long dx = (long long)x1 - x0, dy = (long long)y1 - y0;
    if (dx == 0 && dy == 0)
        return;
    // Exact diagonals count as y-major.
    const bool xMajor = std::llabs(dx) > std::llabs(dy);
    Walk w;
    w.major0 = xMajor ? x0 : y0;
    w.minor0 = xMajor ? y0 : x0;
    long long dMaj = xMajor ? dx : dy, dMin = xMajor ? dy : dx;
    w.dMajor = std::llabs(dMaj);
    w.dMinor = std::llabs(dMin);
    w.sMajor = dMaj < 0 ? -1 : 1;
    w.sMinor = dMin < 0 ? -1 : 1;
    w.bias = dMin < 0 ? 1 : 0;

    long majLo = xMajor ? clip.left : clip.top, majHi = xMajor ? clip.right : clip.bottom;
    long minLo = xMajor ? clip.top : clip.left, minHi = xMajor ? clip.bottom : clip.right;

    long long first = 0, last = w.dMajor;
    bool inside = x0 >= clip.left && x0 < clip.right && y0 >= clip.top && y0 < clip.bottom &&
                  x1 >= clip.left && x1 < clip.right && y1 >= clip.top && y1 < clip.bottom;
    if (!inside) {
        long long a, b;
        StepsInside(w.major0, w.sMajor, majLo, majHi, &a, &b);
        first = std::max(first, a);
        last = std::min(last, b);
        // The minor coordinate moves monotonically with the step count.
        long long kLo, kHi;  // allowed minor step counts [kLo, kHi)
        StepsInside(w.minor0, w.sMinor, minLo, minHi, &kLo, &kHi);
        first = std::max(first, w.FirstWithAtLeast(kLo));
        last = std::min(last, w.FirstWithAtLeast(kHi));
        if (first >= last)
            return;
    }

    long long k = w.MinorSteps(first);
    long long major = w.major0 + w.sMajor * first;
    long long minor = w.minor0 + w.sMinor * k;
    const long long twoMin = 2 * w.dMinor, twoMaj = 2 * w.dMajor;
    long long err = twoMin - w.dMajor + twoMin * first - twoMaj * k;
    const long long stride = s.stride;
    // Walk in pixel-pointer terms: one step on each axis is a fixed offset.
    const long long majStep = xMajor ? w.sMajor : w.sMajor * stride;
    const long long minStep = xMajor ? w.sMinor * stride : w.sMinor;
    uint32_t *p = s.pixels + (xMajor ? minor * stride + major : major * stride + minor);
    for (long long i = first; i < last; ++i) {
        *p = pixel;
        if (err + w.bias > 0) {
            p += minStep;
            err += twoMin - twoMaj;
        } else {
            err += twoMin;
        }
        p += majStep;
    }
}

}  // namespace kp::gdi

using namespace kp::gdi;

BOOL WINAPI LineTo(HDC hdc, int x, int y)
{
    Object *dc = Lookup(hdc, Kind::Dc);
    if (dc == nullptr)
        return FALSE;
    Object *pen = Lookup(dc->dc.pen, Kind::Pen);
    if (pen == nullptr)
        return FALSE;
    const POINT from = dc->dc.position;
    dc->dc.position = {x, y};
    Target t;
    if (pen->pen.style == PS_NULL || !TargetOf(dc->dc, &t))
        return TRUE;
    // Dashed styles are drawn solid.
    const uint32_t pixel = StoredPixel(t, pen->pen.color);
    long long reach;  // how far the pixels set may lie from the segment's ends
    if (pen->pen.width <= 1) {
        for (int i = 0; i < t.clipCount; ++i)
            DrawThinLine(t.surface, t.clip[i], from.x, from.y, x, y, pixel);
        reach = 0;
    } else {
        DrawWideLine(t, from.x, from.y, x, y, pen->pen.width, pixel);
        reach = pen->pen.width / 2 + 1;
    }
    NoteWritten(t, kp::ClampedRect(std::min<long long>(from.x, x) - reach,
                                   std::min<long long>(from.y, y) - reach,
                                   std::max<long long>(from.x, x) + reach + 1,
                                   std::max<long long>(from.y, y) + reach + 1));
    return TRUE;
}
