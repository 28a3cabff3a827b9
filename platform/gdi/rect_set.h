// A short set of rectangles that covers some pixels: what a window has to
// show again (its surface's damage), what it has to repaint (USER's update
// region), or what a bitmap has had drawn on it since a window last copied
// it. A fixed number of slots, so that gathering never allocates: rectangles
// that overlap are merged, and when every slot is taken the new rectangle
// joins the one that grows least by it. The set only ever covers more than
// what was added, never less, and its rectangles never overlap.
#pragma once

#include <windows.h>

namespace kp::gdi {

class RectSet {
  public:
    static constexpr int kCapacity = 16;

    // Adds rect; empty rectangles add nothing.
    void Add(const RECT &rect);
    // Adds rect clipped to the area (0, 0, width, height).
    void Add(const RECT &rect, int width, int height);
    // Keeps only what lies inside clip; ClipTo keeps (0, 0, width, height).
    void Clip(const RECT &clip);
    void ClipTo(int width, int height) { Clip(RECT{0, 0, width, height}); }
    // Takes rect out of the set: what is left of each rectangle outside it
    // stays (cut into pieces; merged again if the slots run out).
    void Subtract(const RECT &rect);
    void Clear() { count_ = 0; }

    int Count() const { return count_; }
    bool Empty() const { return count_ == 0; }
    const RECT &operator[](int i) const { return rects_[i]; }
    const RECT *Rects() const { return rects_; }
    RECT Bounds() const;

  private:
    void Remove(int i);

    RECT rects_[kCapacity] = {};
    int count_ = 0;
};

}  // namespace kp::gdi
