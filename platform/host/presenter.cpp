#include "presenter.h"

namespace kp::host {

gdi::RectSet TakeDamage(gdi::WindowSurface &surface, int width, int height)
{
    gdi::RectSet rects = surface.Damage();
    surface.ClearDamage();
    rects.ClipTo(width, height);
    return rects;
}

}  // namespace kp::host
