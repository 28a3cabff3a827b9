// Showing what the windows' surfaces changed.
//
// When SDL's window surface has the layer's own pixel format (32-bit
// 0x00RRGGBB), the client area's size and nothing is scaled, the layer's
// surface lives in it: painting writes into the memory that the display
// reads, and showing a change is only SDL_UpdateWindowSurfaceRects for its
// rectangles (on X11 a shared-memory put of each). Otherwise the changed
// rectangles, and only those, are written into SDL's surface first, in its
// format and at the host's scale (device_pixels.h), and their device
// rectangles are shown. Where SDL has no window surface for the screen
// (X11 at 30 bits) the same goes into an X image of the host's own.
//
// SDL throws its window surface away when the window changes size and makes
// a new, blank one at the next SDL_GetWindowSurface, freeing the old memory
// in that call: the pixels move out of it before. On X11 the server keeps
// the window's content through a size change (bit gravity), so only the
// changed rectangles go out even then; elsewhere a new surface is shown whole.
#include <windows.h>

#include <algorithm>

#include "../../gdi/rects.h"
#include "../display_scale.h"
#include "sdl_host.h"

namespace kp::host {

namespace {

PixelLayout LayoutOf(const SDL_PixelFormat &format)
{
    PixelLayout layout;
    layout.bytesPerPixel = format.BytesPerPixel;
    layout.redMask = format.Rmask;
    layout.greenMask = format.Gmask;
    layout.blueMask = format.Bmask;
    layout.alphaMask = format.Amask;
    return layout;
}

bool SameLayout(const PixelLayout &a, const PixelLayout &b)
{
    return a.bytesPerPixel == b.bytesPerPixel && a.redMask == b.redMask &&
           a.greenMask == b.greenMask && a.blueMask == b.blueMask && a.alphaMask == b.alphaMask;
}

}  // namespace

const PixelConverter &SdlHost::ConverterFor(const PixelLayout &layout)
{
    if (!SameLayout(layout, converterLayout_)) {
        converter_ = PixelConverter(layout);
        converterLayout_ = layout;
    }
    return converter_;
}

// Whether the window's pixels can be shown at all: SDL's window surface,
// or else (X11) an image of the host's own. Says why not when neither.
bool SdlHost::PrepareSurface(HostWindow *w)
{
    SDL_Surface *display = SDL_GetWindowSurface(w->window);
    if (display != nullptr && PixelConverter::Supports(LayoutOf(*display->format)))
        return true;
    char reason[256];
    SDL_strlcpy(reason,
                display != nullptr ? "a window surface in a format that cannot be written"
                                   : SDL_GetError(),
                sizeof reason);
    if (x11_)
        return UseOwnImage(w, reason);
    Fail("cannot show a window on this screen", reason);
    return false;
}

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

    // Where the device pixels go: SDL's window surface, or the own image.
    SDL_Surface *display = nullptr;
    uint8_t *pixels = nullptr;
    int pitch = 0, deviceWidth = 0, deviceHeight = 0;
    PixelLayout layout;
    if (w->ownImage) {
        if (!OwnImage(w, &pixels, &pitch, &deviceWidth, &deviceHeight, &layout))
            return;
    } else {
        display = SDL_GetWindowSurface(w->window);
        if (display == nullptr)
            return;
        layout = LayoutOf(*display->format);
        if (!PixelConverter::Supports(layout))
            return;
        pixels = static_cast<uint8_t *>(display->pixels);
        pitch = display->pitch;
        deviceWidth = display->w;
        deviceHeight = display->h;
    }
    const PixelConverter &converter = ConverterFor(layout);
    const bool direct = display != nullptr && scale_ == 1 && converter.Native() &&
                        !SDL_MUSTLOCK(display) && pitch % 4 == 0 &&
                        deviceWidth == surface.Width() && deviceHeight == surface.Height();
    if (direct) {
        surface.UseDisplayMemory(reinterpret_cast<uint32_t *>(pixels), pitch / 4);
    } else if (!surface.LeaveDisplayMemory()) {
        return;  // no memory for the pixels: nothing to show
    }

    const RECT shown = {0, 0, std::min(surface.Width(), CeilDiv(deviceWidth, scale_)),
                        std::min(surface.Height(), CeilDiv(deviceHeight, scale_))};
    gdi::RectSet rects = surface.Damage();
    surface.ClearDamage();
    if (fresh && !x11_)
        rects.Add(shown, shown.right, shown.bottom);
    rects.ClipTo(shown.right, shown.bottom);
    if (rects.Empty())
        return;

    const bool lock = !direct && display != nullptr && SDL_MUSTLOCK(display);
    if (lock) {
        if (SDL_LockSurface(display) != 0)
            return;
        pixels = static_cast<uint8_t *>(display->pixels);
    }
    int count = 0;
    for (int i = 0; i < rects.Count(); ++i) {
        const RECT d = direct ? rects[i]
                              : converter.CopyScaled(surface.Pixels(), rects[i], scale_, pixels,
                                                     pitch, deviceWidth, deviceHeight);
        if (d.left < d.right && d.top < d.bottom)
            w->updateRects[count++] = SDL_Rect{d.left, d.top, d.right - d.left, d.bottom - d.top};
    }
    if (lock)
        SDL_UnlockSurface(display);
    if (count == 0)
        return;
    if (w->ownImage)
        PutOwnImage(w, w->updateRects, count);
    else if (SDL_UpdateWindowSurfaceRects(w->window, w->updateRects, count) != 0)
        w->surfaceStale = true;  // SDL dropped the surface meanwhile: show all again
}

void SdlHost::FlushAll()
{
    for (HostWindow *w : windows_)
        Flush(w);
}

}  // namespace kp::host
