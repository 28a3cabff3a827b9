// A window's pixels in the page: the client pixels that the layer paints
// into, and showing what was painted on the window's <canvas>. The only part
// of the browser host that touches pixels.
//
// Only painted rectangles reach the canvas, converted to the canvas's byte
// order one at a time and put there with putImageData; the whole client goes
// to it only when the canvas's backing store was made anew (a new window, a
// client larger than the backing store had room for).
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "../gdi/surface.h"
#include "damage.h"

namespace kp::host {

class CanvasPixels {
  public:
    explicit CanvasPixels(int windowId) : id_(windowId) {}

    // Room for a client of width x height, keeping the pixels; the canvas's
    // backing store grows with it.
    void Reserve(int width, int height);
    void SetClientSize(int width, int height);
    Surface ClientSurface();

    // Painting of rect (client coordinates) is finished.
    void Painted(const RECT &rect);
    bool Pending() const { return stale_ || !damage_.Empty(); }
    // Puts what was painted since the last call on the canvas.
    void Show();

  private:
    int id_;
    std::unique_ptr<uint32_t[]> pixels_;  // 0x00RRGGBB, capacityWidth_ wide
    std::unique_ptr<uint32_t[]> rgba_;    // one rectangle in the canvas's order
    int capacityWidth_ = 0;
    int capacityHeight_ = 0;
    int width_ = 0;
    int height_ = 0;
    DamageList damage_;
    bool stale_ = true;  // the canvas shows none of the pixels yet
};

}  // namespace kp::host
