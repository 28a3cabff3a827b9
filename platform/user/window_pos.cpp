// Showing, minimizing, maximizing, moving and resizing windows, whether the
// program asks (ShowWindow, SetWindowPos) or the host reports it.
#include "window_pos.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "../gdi/rects.h"
#include "paint.h"

namespace kp::user {

using host::ShowState;

namespace {

bool showDefaultUsed = false;  // SW_SHOWDEFAULT means the start-up command once

// How far a maximized window's client area lies below the screen's top: its
// sizing border is off the screen on every side, as on Windows, so only the
// caption remains above the client area.
LONG MaximizedClientTop(const Window &w)
{
    const RECT frame = WindowRectAround(w, RECT{0, 0, 0, 0});
    return frame.left - frame.top;  // the frame's top width less the border's
}

RECT MaximizedRectFor(const Window &w, int clientWidth, int clientHeight)
{
    const LONG top = MaximizedClientTop(w);
    return WindowRectAround(w, RECT{0, top, clientWidth, top + clientHeight});
}

}  // namespace

WPARAM SizeTypeOf(ShowState state)
{
    switch (state) {
    case ShowState::Minimized:
        return SIZE_MINIMIZED;
    case ShowState::Maximized:
        return SIZE_MAXIMIZED;
    default:
        return SIZE_RESTORED;
    }
}

void ResetShowDefault()
{
    showDefaultUsed = false;
}

bool ConsumeShowDefault()
{
    bool used = showDefaultUsed;
    showDefaultUsed = true;
    return used;
}

bool FitSurface(Window &w)
{
    const int width = w.surface.Width(), height = w.surface.Height();
    if (width == w.clientWidth && height == w.clientHeight)
        return true;
    if (!w.surface.Resize(w.clientWidth, w.clientHeight)) {
        w.shortOfPixels = true;
        if (host::Host *host = host::CurrentHost())
            host->PixelShortage(w.clientWidth, w.clientHeight);
        return false;
    }
    if (w.shortOfPixels) {
        // What had to be left out is there now, and is painted.
        w.shortOfPixels = false;
        InvalidateAfterResize(w, width, height);
    }
    return true;
}

void ApplyClientSize(Window &w, int width, int height, WPARAM sizeType)
{
    w.clientWidth = std::max(width, 0);
    w.clientHeight = std::max(height, 0);
    FitSurface(w);
    SendMessageA(w.handle, WM_SIZE, sizeType, MAKELPARAM(w.clientWidth, w.clientHeight));
}

bool ChangeState(HWND hwnd, ShowState state, int clientWidth, int clientHeight, bool tellHost)
{
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return false;
    ShowState old = w->state;
    int oldWidth = w->clientWidth, oldHeight = w->clientHeight;
    if (old == ShowState::Normal)
        w->normalRect = w->windowRect;
    const SIZE held = HeldClientSize(*w, clientWidth, clientHeight);
    clientWidth = held.cx;
    clientHeight = held.cy;

    switch (state) {
    case ShowState::Minimized:
        w->windowRect = RECT{kMinimizedPos, kMinimizedPos, kMinimizedPos + kMinimizedWidth,
                             kMinimizedPos + kMinimizedHeight};
        clientWidth = clientHeight = 0;
        break;
    case ShowState::Maximized:
        w->windowRect = MaximizedRectFor(*w, clientWidth, clientHeight);
        break;
    default: {
        const RECT client = ClientRectIn(*w, w->normalRect);
        w->windowRect =
            WindowRectAround(*w, RECT{client.left, client.top, client.left + clientWidth,
                                      client.top + clientHeight});
        w->normalRect = w->windowRect;
        break;
    }
    }
    w->state = state;

    host::Host *host = host::CurrentHost();
    if (tellHost && host && w->hostWindow) {
        // A hidden window is shown in its new state later, by SetVisible.
        if (w->visible)
            host->SetShowState(w->hostWindow, state);
        if (state != ShowState::Minimized && (clientWidth != oldWidth || clientHeight != oldHeight))
            host->ResizeHostWindow(w->hostWindow, clientWidth, clientHeight);
    }

    ApplyClientSize(*w, clientWidth, clientHeight, SizeTypeOf(state));
    if ((w = FromHandle(hwnd)) == nullptr)
        return false;
    if (state == ShowState::Minimized) {
        Validate(*w);
    } else if (old == ShowState::Minimized) {
        // Nothing of a minimized window's picture is kept.
        Invalidate(*w, nullptr, true);
    } else {
        InvalidateAfterResize(*w, oldWidth, oldHeight);
    }
    return true;
}

RECT HeldWindowRect(const Window &w, const RECT &rect)
{
    const SIZE most = MaxClientSize(w);
    return kp::ClampedRect(rect.left, rect.top,
                           rect.left + std::min<long long>(rect.right - 1ll * rect.left, most.cx),
                           rect.top + std::min<long long>(rect.bottom - 1ll * rect.top, most.cy));
}

SIZE NormalClientSize(const Window &w)
{
    return ClientSizeOf(w, w.normalRect);
}

SIZE MaximizedClientSize(const Window &w)
{
    int width = 0, height = 0;
    if (host::Host *host = host::CurrentHost())
        host->WorkAreaSize(&width, &height);
    return SIZE{width, std::max<LONG>(height - MaximizedClientTop(w), 0)};
}

}  // namespace kp::user

using namespace kp::user;
using kp::host::ShowState;

namespace {

void SetVisible(HWND hwnd, bool visible)
{
    Window *w = FromHandle(hwnd);
    if (w == nullptr || w->visible == visible)
        return;
    SendMessageA(hwnd, WM_SHOWWINDOW, visible ? TRUE : FALSE, 0);
    if ((w = FromHandle(hwnd)) == nullptr)
        return;
    w->visible = visible;
    kp::host::Host *host = kp::host::CurrentHost();
    if (host && w->hostWindow)
        host->SetShowState(w->hostWindow, visible ? w->state : ShowState::Hidden);
    if (visible)
        Invalidate(*w, nullptr, true);
    else
        Validate(*w);
}

}  // namespace

BOOL WINAPI ShowWindow(HWND hwnd, int cmdShow)
{
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return FALSE;
    BOOL wasVisible = w->visible ? TRUE : FALSE;

    if (cmdShow == SW_SHOWDEFAULT) {
        kp::host::Host *host = kp::host::CurrentHost();
        cmdShow = SW_SHOWNORMAL;
        if (!ConsumeShowDefault() && host)
            cmdShow = host->StartupShowCommand();
        if (cmdShow == SW_SHOWDEFAULT)
            cmdShow = SW_SHOWNORMAL;
    }

    SIZE size;
    switch (cmdShow) {
    case SW_HIDE:
        SetVisible(hwnd, false);
        break;
    case SW_SHOWNORMAL:
    case SW_SHOWNOACTIVATE:
    case SW_RESTORE:
        if (w->state != ShowState::Normal) {
            size = NormalClientSize(*w);
            ChangeState(hwnd, ShowState::Normal, size.cx, size.cy, true);
        }
        SetVisible(hwnd, true);
        break;
    case SW_SHOW:
    case SW_SHOWNA:
        SetVisible(hwnd, true);
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        if (w->state != ShowState::Minimized)
            ChangeState(hwnd, ShowState::Minimized, 0, 0, true);
        SetVisible(hwnd, true);
        break;
    case SW_MAXIMIZE:
        if (w->state != ShowState::Maximized) {
            size = MaximizedClientSize(*w);
            ChangeState(hwnd, ShowState::Maximized, size.cx, size.cy, true);
        }
        SetVisible(hwnd, true);
        break;
    default:
        break;
    }
    return wasVisible;
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    (void)insertAfter;  // one top-level window at a time: there is no z-order to change
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return FALSE;
    cx = std::max(cx, 0);
    cy = std::max(cy, 0);

    RECT &target = w->state == ShowState::Minimized ? w->normalRect : w->windowRect;
    RECT old = target;
    RECT next = old;
    if (!(flags & SWP_NOMOVE)) {
        next.right += x - next.left;
        next.bottom += y - next.top;
        next.left = x;
        next.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        next = HeldWindowRect(
            *w, kp::ClampedRect(next.left, next.top, 1ll * next.left + cx, 1ll * next.top + cy));
    }
    target = next;

    // A minimized window only remembers where it will be restored to.
    if (w->state != ShowState::Minimized) {
        if (w->state == ShowState::Normal)
            w->normalRect = next;
        int oldWidth = w->clientWidth, oldHeight = w->clientHeight;
        const SIZE size = ClientSizeOf(*w, next);
        if (size.cx != oldWidth || size.cy != oldHeight) {
            kp::host::Host *host = kp::host::CurrentHost();
            if (host && w->hostWindow)
                host->ResizeHostWindow(w->hostWindow, size.cx, size.cy);
            ApplyClientSize(*w, size.cx, size.cy, SizeTypeOf(w->state));
            if ((w = FromHandle(hwnd)) == nullptr)
                return TRUE;
            if (!(flags & SWP_NOREDRAW))
                InvalidateAfterResize(*w, oldWidth, oldHeight);
        }
        if (next.left != old.left || next.top != old.top) {
            const POINT origin = ClientToScreenPoint(*w, 0, 0);
            SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
        }
    }
    if (flags & SWP_SHOWWINDOW)
        SetVisible(hwnd, true);
    else if (flags & SWP_HIDEWINDOW)
        SetVisible(hwnd, false);
    return TRUE;
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW);
    return SetWindowPos(hwnd, nullptr, x, y, width, height, flags);
}
