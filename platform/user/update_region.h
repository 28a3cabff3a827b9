// A window's update region: a small fixed set of rectangles that collapses to
// its bounding box when it runs out of room, so that invalidating never
// allocates. It only ever over-approximates what must be repainted.
#pragma once

#include <windows.h>

namespace kp::user {

class UpdateRegion {
  public:
    static constexpr int kCapacity = 8;

    bool Empty() const { return count_ == 0; }
    int Count() const { return count_; }
    const RECT *Rects() const { return rects_; }
    RECT Bounds() const;

    // Adds r (already clipped by the caller); empty rectangles add nothing.
    void Add(const RECT &r);
    // Removes r from the region.
    void Subtract(const RECT &r);
    // Keeps only what lies inside clip.
    void Clip(const RECT &clip);
    void Clear() { count_ = 0; }

  private:
    void CollapseToBounds();

    RECT rects_[kCapacity] = {};
    int count_ = 0;
};

}  // namespace kp::user
