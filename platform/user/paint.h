// Invalidation: what of a window must be painted, and whether erased first.
#pragma once

#include <windows.h>

namespace kp::user {

struct Window;

// Adds r (client coordinates, nullptr = whole client) to the update region.
void Invalidate(Window &w, const RECT *r, bool erase);
// After the client area changed from oldW x oldH to the current size: the
// newly exposed strips, or all of it for CS_HREDRAW/CS_VREDRAW, become
// invalid with erase; the update region is clipped to the new client.
void InvalidateAfterResize(Window &w, int oldWidth, int oldHeight);
// Nothing left to paint.
void Validate(Window &w);

}  // namespace kp::user
