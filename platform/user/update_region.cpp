#include "update_region.h"

#include <algorithm>

namespace kp::user {

bool RectEmpty(const RECT &r)
{
    return r.right <= r.left || r.bottom <= r.top;
}

RECT IntersectRects(const RECT &a, const RECT &b)
{
    RECT r = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
    if (RectEmpty(r))
        r = RECT{0, 0, 0, 0};
    return r;
}

RECT UnionRects(const RECT &a, const RECT &b)
{
    if (RectEmpty(a))
        return RectEmpty(b) ? RECT{0, 0, 0, 0} : b;
    if (RectEmpty(b))
        return a;
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

bool RectContains(const RECT &outer, const RECT &inner)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

RECT UpdateRegion::Bounds() const
{
    RECT bounds = {0, 0, 0, 0};
    for (int i = 0; i < count_; ++i)
        bounds = UnionRects(bounds, rects_[i]);
    return bounds;
}

void UpdateRegion::CollapseToBounds()
{
    RECT bounds = Bounds();
    count_ = RectEmpty(bounds) ? 0 : 1;
    rects_[0] = bounds;
}

void UpdateRegion::Add(const RECT &r)
{
    if (RectEmpty(r))
        return;
    // Drop what the new rectangle covers; skip it if it adds nothing.
    int kept = 0;
    for (int i = 0; i < count_; ++i) {
        if (RectContains(rects_[i], r))
            return;
        if (!RectContains(r, rects_[i]))
            rects_[kept++] = rects_[i];
    }
    count_ = kept;
    if (count_ == kCapacity) {
        CollapseToBounds();
        rects_[0] = UnionRects(rects_[0], r);
        return;
    }
    rects_[count_++] = r;
}

void UpdateRegion::Subtract(const RECT &cut)
{
    if (RectEmpty(cut) || count_ == 0)
        return;
    // Each rectangle loses the cut and leaves up to four pieces: the band
    // above, the band below, and the parts left and right of it in between.
    RECT pieces[kCapacity * 4];
    int n = 0;
    for (int i = 0; i < count_; ++i) {
        const RECT &r = rects_[i];
        RECT overlap = IntersectRects(r, cut);
        if (RectEmpty(overlap)) {
            pieces[n++] = r;
            continue;
        }
        RECT above = {r.left, r.top, r.right, overlap.top};
        RECT below = {r.left, overlap.bottom, r.right, r.bottom};
        RECT left = {r.left, overlap.top, overlap.left, overlap.bottom};
        RECT right = {overlap.right, overlap.top, r.right, overlap.bottom};
        for (const RECT &p : {above, below, left, right})
            if (!RectEmpty(p))
                pieces[n++] = p;
    }
    if (n <= kCapacity) {
        std::copy(pieces, pieces + n, rects_);
        count_ = n;
        return;
    }
    // Too many pieces: keep the bounding box of what is left, which still
    // covers every invalid pixel.
    RECT bounds = {0, 0, 0, 0};
    for (int i = 0; i < n; ++i)
        bounds = UnionRects(bounds, pieces[i]);
    rects_[0] = bounds;
    count_ = 1;
}

void UpdateRegion::Clip(const RECT &clip)
{
    int kept = 0;
    for (int i = 0; i < count_; ++i) {
        RECT r = IntersectRects(rects_[i], clip);
        if (!RectEmpty(r))
            rects_[kept++] = r;
    }
    count_ = kept;
}

}  // namespace kp::user
