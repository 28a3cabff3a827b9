#include "update_region.h"

#include "../gdi/rects.h"

#include <algorithm>

namespace kp::user {

RECT UpdateRegion::Bounds() const
{
    RECT bounds = {0, 0, 0, 0};
    for (int i = 0; i < count_; ++i)
        bounds = BoundingBox(bounds, rects_[i]);
    return bounds;
}

void UpdateRegion::CollapseToBounds()
{
    RECT bounds = Bounds();
    count_ = kp::Empty(bounds) ? 0 : 1;
    rects_[0] = bounds;
}

void UpdateRegion::Add(const RECT &r)
{
    if (kp::Empty(r))
        return;
    // Drop what the new rectangle covers; skip it if it adds nothing.
    int kept = 0;
    for (int i = 0; i < count_; ++i) {
        if (Contains(rects_[i], r))
            return;
        if (!Contains(r, rects_[i]))
            rects_[kept++] = rects_[i];
    }
    count_ = kept;
    if (count_ == kCapacity) {
        CollapseToBounds();
        rects_[0] = BoundingBox(rects_[0], r);
        return;
    }
    rects_[count_++] = r;
}

void UpdateRegion::Subtract(const RECT &cut)
{
    if (kp::Empty(cut) || count_ == 0)
        return;
    // Each rectangle loses the cut and leaves up to four pieces.
    RECT pieces[kCapacity * 4];
    int n = 0;
    for (int i = 0; i < count_; ++i)
        n += PartsOutside(rects_[i], cut, pieces + n);
    if (n <= kCapacity) {
        std::copy(pieces, pieces + n, rects_);
        count_ = n;
        return;
    }
    // Too many pieces: keep the bounding box of what is left, which still
    // covers every invalid pixel.
    RECT bounds = {0, 0, 0, 0};
    for (int i = 0; i < n; ++i)
        bounds = BoundingBox(bounds, pieces[i]);
    rects_[0] = bounds;
    count_ = 1;
}

void UpdateRegion::Clip(const RECT &clip)
{
    int kept = 0;
    for (int i = 0; i < count_; ++i) {
        RECT r = Intersection(rects_[i], clip);
        if (!kp::Empty(r))
            rects_[kept++] = r;
    }
    count_ = kept;
}

}  // namespace kp::user
