// The rectangles of a window that were painted but not yet shown. A fixed
// number of slots, so that gathering them never allocates: rectangles that
// overlap are merged, and when every slot is taken the new rectangle joins
// the one that grows least by it.
#pragma once

#include <windows.h>

namespace kp::host {

class DamageList {
  public:
    static constexpr int kCapacity = 16;

    // Adds rect, clipped to the client area (0, 0, width, height).
    void Add(const RECT &rect, int width, int height);
    // Drops what lies outside a client area that became smaller.
    void ClipTo(int width, int height);
    void Clear() { count_ = 0; }

    int Count() const { return count_; }
    bool Empty() const { return count_ == 0; }
    const RECT &operator[](int i) const { return rects_[i]; }

  private:
    void Remove(int i);

    RECT rects_[kCapacity] = {};
    int count_ = 0;
};

}  // namespace kp::host
