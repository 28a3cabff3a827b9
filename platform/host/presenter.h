// How a host shows a window's pixels: one presenter a window, behind this
// interface, whatever the window system takes (an X image, Wayland buffers,
// a page's canvas, memory of the headless host's own).
#pragma once

#include "../gdi/rect_set.h"
#include "../gdi/window_surface.h"

namespace kp::host {

class Presenter {
  public:
    virtual ~Presenter() = default;
    // Shows what the window's surface changed since the last call (its
    // damage, which it takes), or keeps it for a later call where the
    // display cannot take it yet.
    virtual void Present() = 0;
};

// The surface's damage inside (0, 0, width, height); the surface's own list
// is cleared.
gdi::RectSet TakeDamage(gdi::WindowSurface &surface, int width, int height);

}  // namespace kp::host
