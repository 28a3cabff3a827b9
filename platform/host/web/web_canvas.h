// Showing a window's surface on its <canvas> in the page: the only part of
// the browser host that touches pixels.
//
// The surface (USER's) holds the client pixels and knows which rectangles
// changed since they were last shown; only those reach the canvas, converted
// to the canvas's byte order one at a time and put there with putImageData.
// The canvas's backing store is as large as the largest client so far (the
// screen, from the start); it only grows, and growing clears it, so then the
// whole client is put on it once.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "../../gdi/window_surface.h"
#include "../presenter.h"

namespace kp::host {

class CanvasPresenter final : public Presenter {
  public:
    CanvasPresenter(int windowId, gdi::WindowSurface *surface) : id_(windowId), surface_(surface) {}

    // Room on the canvas for a client of width x height.
    void Reserve(int width, int height);
    // Puts what the surface changed since the last call on the canvas.
    void Present() override;

  private:
    int id_;
    gdi::WindowSurface *surface_;
    std::unique_ptr<uint32_t[]> rgba_;  // one rectangle in the canvas's order
    size_t rgbaCapacity_ = 0;           // pixels
    int capacityWidth_ = 0;
    int capacityHeight_ = 0;
    bool stale_ = true;  // the canvas shows none of the pixels yet
};

}  // namespace kp::host
