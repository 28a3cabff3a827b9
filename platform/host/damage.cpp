#include "damage.h"

#include <algorithm>

namespace kp::host {

namespace {

bool IsEmpty(const RECT &r)
{
    return r.left >= r.right || r.top >= r.bottom;
}

RECT Clip(const RECT &r, int width, int height)
{
    return RECT{std::max<LONG>(r.left, 0), std::max<LONG>(r.top, 0), std::min<LONG>(r.right, width),
                std::min<LONG>(r.bottom, height)};
}

bool Overlap(const RECT &a, const RECT &b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

RECT Union(const RECT &a, const RECT &b)
{
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

long long Area(const RECT &r)
{
    return static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
}

}  // namespace

void DamageList::Remove(int i)
{
    rects_[i] = rects_[count_ - 1];
    --count_;
}

void DamageList::Add(const RECT &rect, int width, int height)
{
    RECT r = Clip(rect, width, height);
    if (IsEmpty(r))
        return;
    // Merging can make the new rectangle overlap others that it did not
    // overlap before, so go round until none is left.
    for (bool merged = true; merged;) {
        merged = false;
        for (int i = 0; i < count_; ++i) {
            if (Overlap(rects_[i], r)) {
                r = Union(rects_[i], r);
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
        long long growth = Area(Union(rects_[i], r)) - Area(rects_[i]);
        if (bestGrowth < 0 || growth < bestGrowth) {
            best = i;
            bestGrowth = growth;
        }
    }
    RECT joined = Union(rects_[best], r);
    Remove(best);
    Add(joined, width, height);  // the bigger rectangle may overlap others now
}

void DamageList::ClipTo(int width, int height)
{
    for (int i = 0; i < count_;) {
        rects_[i] = Clip(rects_[i], width, height);
        if (IsEmpty(rects_[i]))
            Remove(i);
        else
            ++i;
    }
}

}  // namespace kp::host
