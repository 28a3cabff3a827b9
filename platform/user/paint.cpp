// Invalidation, painting and window DCs.
#include <windows.h>

#include <cstring>

#include "paint.h"

#include <algorithm>

#include "../gdi/gdi_internal.h"
#include "../gdi/rects.h"
#include "class.h"
#include "window.h"
#include "window_pos.h"

namespace kp::user {

void Invalidate(Window &w, const RECT *r, bool erase)
{
    // Hidden windows keep no update region: showing one invalidates it whole.
    if (!w.visible)
        return;
    // A window short of pixels tries again whenever it is to be painted.
    if (w.shortOfPixels)
        FitSurface(w);
    RECT client = ClientRectOf(w);
    RECT area = r ? Intersection(*r, client) : client;
    if (Empty(area))
        return;
    w.update.Add(area);
    if (erase)
        w.erasePending = true;
}

void InvalidateAfterResize(Window &w, int oldWidth, int oldHeight)
{
    w.update.Clip(ClientRectOf(w));
    if (w.update.Empty())
        w.erasePending = false;
    int newWidth = w.clientWidth, newHeight = w.clientHeight;
    bool widthChanged = newWidth != oldWidth, heightChanged = newHeight != oldHeight;
    if (((w.cls->style & CS_HREDRAW) && widthChanged) ||
        ((w.cls->style & CS_VREDRAW) && heightChanged)) {
        Invalidate(w, nullptr, true);
        return;
    }
    // Only what was not part of the client before needs painting: a strip on
    // the right over the full new height, and one at the bottom left of it.
    if (newWidth > oldWidth) {
        RECT right = {oldWidth, 0, newWidth, newHeight};
        Invalidate(w, &right, true);
    }
    if (newHeight > oldHeight) {
        RECT bottom = {0, oldHeight, std::min(oldWidth, newWidth), newHeight};
        Invalidate(w, &bottom, true);
    }
}

void Validate(Window &w)
{
    w.update.Clear();
    w.erasePending = false;
}

// A paint DC clips to the update region's rectangles: GDI must keep them all.
static_assert(gdi::RectSet::kCapacity <= gdi::kMaxClipRects);

namespace {

// A DC on w's client pixels clipped to the given rectangles; an empty list
// (nothing to paint, or a minimized window) clips everything away.
HDC MakeClientDC(Window &w, const RECT *clip, int clipCount)
{
    if (w.hostWindow == nullptr)
        return nullptr;
    if (Empty(ClientRectOf(w)))
        clipCount = 0;
    return gdi::CreateWindowDC(&w.surface, clip, clipCount);
}

void InvalidateAll(bool erase)
{
    for (int i = 0; i < kMaxWindows; ++i) {
        Window *w = WindowAt(i);
        if (w->used)
            Invalidate(*w, nullptr, erase);
    }
}

}  // namespace

}  // namespace kp::user

using namespace kp::user;

BOOL WINAPI InvalidateRect(HWND hwnd, const RECT *rect, BOOL erase)
{
    if (hwnd == nullptr) {
        // As on Windows: a null window means every window.
        InvalidateAll(erase != FALSE);
        return TRUE;
    }
    if (hwnd == DesktopHandle())
        return TRUE;
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return FALSE;
    Invalidate(*w, rect, erase != FALSE);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND hwnd, const RECT *rect)
{
    if (hwnd == nullptr) {
        // Windows documents a null window here as invalidating (and erasing)
        // every window.
        InvalidateAll(true);
        return TRUE;
    }
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return FALSE;
    if (rect == nullptr)
        Validate(*w);
    else
        w->update.Subtract(*rect);
    if (w->update.Empty())
        w->erasePending = false;
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase)
{
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return FALSE;
    RECT bounds = w->update.Bounds();
    if (rect)
        *rect = bounds;
    if (w->update.Empty())
        return FALSE;
    if (erase && w->erasePending) {
        HDC hdc = MakeClientDC(*w, w->update.Rects(), w->update.Count());
        LRESULT erased = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
        if (hdc)
            kp::gdi::ReleaseWindowDC(hdc);
        if ((w = FromHandle(hwnd)) != nullptr && erased)
            w->erasePending = false;
    }
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND hwnd)
{
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return FALSE;
    // Sent straight to the procedure, not through the queue.
    if (w->visible && !w->update.Empty())
        SendMessageA(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

HDC WINAPI BeginPaint(HWND hwnd, LPPAINTSTRUCT ps)
{
    Window *w = FromHandle(hwnd);
    if (w == nullptr || ps == nullptr)
        return nullptr;

    // Take the update region: from here on the window is valid.
    kp::gdi::RectSet region = w->update;
    bool erase = w->erasePending;
    Validate(*w);

    std::memset(ps, 0, sizeof(*ps));
    ps->rcPaint = region.Bounds();
    ps->hdc = MakeClientDC(*w, region.Rects(), region.Count());
    if (erase && !region.Empty()) {
        LRESULT erased = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(ps->hdc), 0);
        // fErase tells the painter the background still needs erasing.
        ps->fErase = erased ? FALSE : TRUE;
    }
    return ps->hdc;
}

BOOL WINAPI EndPaint(HWND hwnd, const PAINTSTRUCT *ps)
{
    if (ps == nullptr)
        return FALSE;
    // What the painting changed is in the window's surface; the host shows
    // it once the queue has run dry.
    (void)hwnd;
    if (ps->hdc)
        kp::gdi::ReleaseWindowDC(ps->hdc);
    return TRUE;
}

HDC WINAPI GetDC(HWND hwnd)
{
    // The screen DC has no pixels of its own here (only windows of this layer
    // have pixels), but it has the display's format for compatible bitmaps.
    if (hwnd == nullptr)
        return kp::gdi::CreateWindowDC(nullptr, nullptr, 0);
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return nullptr;
    RECT client = ClientRectOf(*w);
    return MakeClientDC(*w, &client, 1);
}

int WINAPI ReleaseDC(HWND hwnd, HDC hdc)
{
    (void)hwnd;
    return kp::gdi::ReleaseWindowDC(hdc) ? 1 : 0;
}
