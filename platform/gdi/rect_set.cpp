#include "rect_set.h"

#include "rects.h"

namespace kp::gdi {

void RectSet::Remove(int i)
{
    rects_[i] = rects_[count_ - 1];
    --count_;
}

void RectSet::Add(const RECT &rect, int width, int height)
{
    Add(Intersection(rect, RECT{0, 0, width, height}));
}

void RectSet::Add(const RECT &rect)
{
    RECT r = rect;
    if (kp::Empty(r))
        return;
    // Merging can make the new rectangle overlap others that it did not
    // overlap before, so go round until none is left.
    for (bool merged = true; merged;) {
        merged = false;
        for (int i = 0; i < count_; ++i) {
            if (Overlap(rects_[i], r)) {
                r = BoundingBox(rects_[i], r);
                Remove(i);
                merged = true;
                break;
            }
        }
    }
    if (count_ < kCapacity) {
        rects_[count_++] = r;
        return;
    }
    int best = 0;
    long long bestGrowth = -1;
    for (int i = 0; i < count_; ++i) {
        long long growth = Area(BoundingBox(rects_[i], r)) - Area(rects_[i]);
        if (bestGrowth < 0 || growth < bestGrowth) {
            best = i;
            bestGrowth = growth;
        }
    }
    RECT joined = BoundingBox(rects_[best], r);
    Remove(best);
    Add(joined);  // the bigger rectangle may overlap others now
}

void RectSet::Clip(const RECT &area)
{
    for (int i = 0; i < count_;) {
        rects_[i] = Intersection(rects_[i], area);
        if (kp::Empty(rects_[i]))
            Remove(i);
        else
            ++i;
    }
}

void RectSet::Subtract(const RECT &rect)
{
    if (kp::Empty(rect))
        return;
    // The rectangles it touches come out whole; their parts outside go back
    // in. Those parts never overlap each other or the untouched rectangles.
    RECT touched[kCapacity];
    int n = 0;
    for (int i = 0; i < count_;) {
        if (Overlap(rects_[i], rect)) {
            touched[n++] = rects_[i];
            Remove(i);
        } else {
            ++i;
        }
    }
    for (int i = 0; i < n; ++i) {
        RECT parts[4];
        int count = PartsOutside(touched[i], rect, parts);
        for (int k = 0; k < count; ++k)
            Add(parts[k]);
    }
}

RECT RectSet::Bounds() const
{
    RECT bounds = {0, 0, 0, 0};
    for (int i = 0; i < count_; ++i)
        bounds = BoundingBox(bounds, rects_[i]);
    return bounds;
}

}  // namespace kp::gdi
