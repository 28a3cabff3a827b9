// A short list of rectangles whose pixels may have changed: what a window
// has to show again, or what a bitmap has had drawn on it since a window
// last copied it. A fixed number of slots, so that gathering never
// allocates: rectangles that overlap are merged, and when every slot is
// taken the new rectangle joins the one that grows least by it. The list
// only ever covers more than what changed, never less.
#pragma once

#include <windows.h>

namespace kp::gdi {

class DamageList {
  public:
    static constexpr int kCapacity = 16;

    // Adds rect, clipped to the area (0, 0, width, height).
    void Add(const RECT &rect, int width, int height);
    // Drops what lies outside an area that became smaller.
    void ClipTo(int width, int height);
    // Takes rect out of the list: what is left of each rectangle outside it
    // stays (cut into pieces; merged again if the slots run out).
    void Subtract(const RECT &rect);
    void Clear() { count_ = 0; }

    int Count() const { return count_; }
    bool Empty() const { return count_ == 0; }
    const RECT &operator[](int i) const { return rects_[i]; }
    RECT Bounds() const;

  private:
    void Remove(int i);
    void Insert(RECT r);

    RECT rects_[kCapacity] = {};
    int count_ = 0;
};

}  // namespace kp::gdi
