// Showing what the windows' surfaces changed.
//
// When SDL's window surface has the layer's own pixel format (32-bit
// 0x00RRGGBB) and the client area's size, the layer's surface lives in it:
// painting writes into the memory that the display reads, and showing a
// change is only SDL_UpdateWindowSurfaceRects for its rectangles (on X11 a
// shared-memory put of each). Otherwise the changed rectangles, and only
// those, are converted into SDL's surface first.
//
// SDL throws its window surface away when the window changes size and makes
// a new, blank one at the next SDL_GetWindowSurface, freeing the old memory
// in that call: the pixels move out of it before. On X11 the server keeps
// the window's content through a size change (bit gravity), so only the
// changed rectangles go out even then; elsewhere a new surface is shown whole.
#include <windows.h>

#include <algorithm>

#include "../../gdi/rects.h"
#include "sdl_host.h"

namespace kp::host {

namespace {

// Copies rows of 0x00RRGGBB pixels into a surface of another 32-bit format.
void ConvertRow(const uint32_t *from, uint32_t *to, int count, const SDL_PixelFormat *format)
{
    for (int i = 0; i < count; ++i) {
        uint32_t p = from[i];
        to[i] = (((p >> 16) & 0xFFu) << format->Rshift) | (((p >> 8) & 0xFFu) << format->Gshift) |
                ((p & 0xFFu) << format->Bshift) | format->Amask;
    }
}

// Converts rectangle r of the layer's pixels into SDL's surface.
void Convert(const Surface &from, SDL_Surface *to, const RECT &r)
{
    const uint32_t *source = from.pixels + static_cast<size_t>(r.top) * from.stride + r.left;
    auto *target = static_cast<uint8_t *>(to->pixels) + static_cast<size_t>(r.top) * to->pitch +
                   static_cast<size_t>(r.left) * to->format->BytesPerPixel;
    const int count = r.right - r.left;
    if (to->format->BytesPerPixel == 4) {
        for (LONG y = r.top; y < r.bottom; ++y, source += from.stride, target += to->pitch)
            ConvertRow(source, reinterpret_cast<uint32_t *>(target), count, to->format);
    } else {
        SDL_ConvertPixels(count, r.bottom - r.top, SDL_PIXELFORMAT_RGB888, source,
                          from.stride * static_cast<int>(sizeof(uint32_t)), to->format->format,
                          target, to->pitch);
    }
}

}  // namespace

void SdlHost::Flush(HostWindow *w)
{
    gdi::WindowSurface &surface = *w->surface;
    if (surface.Damage().Empty() && !w->surfaceStale)
        return;
    if (SDL_GetWindowFlags(w->window) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED))
        return;  // nothing shows; the damage waits
    const bool fresh = w->surfaceStale;
    if (fresh) {
        surface.LeaveDisplayMemory();
        w->surfaceStale = false;
    }
    SDL_Surface *display = SDL_GetWindowSurface(w->window);
    if (display == nullptr)
        return;
    const bool direct = display->format->format == SDL_PIXELFORMAT_RGB888 &&
                        !SDL_MUSTLOCK(display) && display->pitch % 4 == 0 &&
                        display->w == surface.Width() && display->h == surface.Height();
    if (direct)
        surface.UseDisplayMemory(static_cast<uint32_t *>(display->pixels), display->pitch / 4);
    else
        surface.LeaveDisplayMemory();

    const RECT shown = {0, 0, std::min(surface.Width(), display->w),
                        std::min(surface.Height(), display->h)};
    gdi::DamageList rects = surface.Damage();
    surface.ClearDamage();
    if (fresh && !x11_)
        rects.Add(shown, shown.right, shown.bottom);
    rects.ClipTo(shown.right, shown.bottom);
    if (rects.Empty())
        return;

    if (!direct && SDL_MUSTLOCK(display) && SDL_LockSurface(display) != 0)
        return;
    int count = 0;
    for (int i = 0; i < rects.Count(); ++i) {
        const RECT &r = rects[i];
        if (!direct)
            Convert(surface.Pixels(), display, r);
        w->updateRects[count++] = SDL_Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    if (!direct && SDL_MUSTLOCK(display))
        SDL_UnlockSurface(display);
    if (SDL_UpdateWindowSurfaceRects(w->window, w->updateRects, count) != 0)
        w->surfaceStale = true;  // SDL dropped the surface meanwhile: show all again
}

void SdlHost::FlushAll()
{
    for (HostWindow *w : windows_)
        Flush(w);
}

}  // namespace kp::host
