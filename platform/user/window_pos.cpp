// Showing, minimizing, maximizing, moving and resizing windows, whether the
// program asks (ShowWindow, SetWindowPos) or the host reports it.
#include <windows.h>

#include <algorithm>

#include "window_state.h"

namespace kp::user {

namespace {

bool showDefaultUsed = false;  // SW_SHOWDEFAULT means the start-up command once

}  // namespace

host::ShowState HostStateOf(WindowState state)
{
    switch (state) {
    case WindowState::Minimized:
        return host::ShowState::Minimized;
    case WindowState::Maximized:
        return host::ShowState::Maximized;
    default:
        return host::ShowState::Normal;
    }
}

WPARAM SizeTypeOf(WindowState state)
{
    switch (state) {
    case WindowState::Minimized:
        return SIZE_MINIMIZED;
    case WindowState::Maximized:
        return SIZE_MAXIMIZED;
    default:
        return SIZE_RESTORED;
    }
}

namespace {

// A maximized window's frame lies just outside the screen, as on Windows:
// the client area is the screen's full width below the caption.
RECT MaximizedRectFor(int clientWidth, int clientHeight)
{
    return RECT{-kBorderSide, -kBorderSide, -kBorderSide + clientWidth + kNonClientWidth,
                -kBorderSide + clientHeight + kNonClientHeight};
}

}  // namespace

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

void Invalidate(Window &w, const RECT *r, bool erase)
{
    // Hidden windows keep no update region: showing one invalidates it whole.
    if (!w.visible)
        return;
    RECT client = ClientRectOf(w);
    RECT area = r ? IntersectRects(*r, client) : client;
    if (RectEmpty(area))
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

void ApplyClientSize(Window &w, int width, int height, WPARAM sizeType)
{
    w.clientWidth = std::max(width, 0);
    w.clientHeight = std::max(height, 0);
    w.surface.Resize(w.clientWidth, w.clientHeight);
    SendMessageA(w.handle, WM_SIZE, sizeType, MAKELPARAM(w.clientWidth, w.clientHeight));
}

bool ChangeState(HWND hwnd, WindowState state, int clientWidth, int clientHeight, bool tellHost)
{
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return false;
    WindowState old = w->state;
    int oldWidth = w->clientWidth, oldHeight = w->clientHeight;
    if (old == WindowState::Normal)
        w->normalRect = w->windowRect;

    switch (state) {
    case WindowState::Minimized:
        w->windowRect = RECT{kMinimizedPos, kMinimizedPos, kMinimizedPos + kMinimizedWidth,
                             kMinimizedPos + kMinimizedHeight};
        clientWidth = clientHeight = 0;
        break;
    case WindowState::Maximized:
        w->windowRect = MaximizedRectFor(clientWidth, clientHeight);
        break;
    case WindowState::Normal:
        w->windowRect = w->normalRect;
        w->windowRect.right = w->windowRect.left + clientWidth + kNonClientWidth;
        w->windowRect.bottom = w->windowRect.top + clientHeight + kNonClientHeight;
        w->normalRect = w->windowRect;
        break;
    }
    w->state = state;

    host::Host *host = host::CurrentHost();
    if (tellHost && host && w->hostWindow) {
        // A hidden window is shown in its new state later, by SetVisible.
        if (w->visible)
            host->SetShowState(w->hostWindow, HostStateOf(state));
        if (state != WindowState::Minimized &&
            (clientWidth != oldWidth || clientHeight != oldHeight))
            host->ResizeHostWindow(w->hostWindow, clientWidth, clientHeight);
    }

    ApplyClientSize(*w, clientWidth, clientHeight, SizeTypeOf(state));
    if ((w = FromHandle(hwnd)) == nullptr)
        return false;
    if (state == WindowState::Minimized) {
        w->update.Clear();
        w->erasePending = false;
    } else if (old == WindowState::Minimized) {
        // Nothing of a minimized window's picture is kept.
        Invalidate(*w, nullptr, true);
    } else {
        InvalidateAfterResize(*w, oldWidth, oldHeight);
    }
    return true;
}

void NormalClientSize(const Window &w, int *width, int *height)
{
    *width = std::max<int>(w.normalRect.right - w.normalRect.left - kNonClientWidth, 0);
    *height = std::max<int>(w.normalRect.bottom - w.normalRect.top - kNonClientHeight, 0);
}

void MaximizedClientSize(int *width, int *height)
{
    int screenW, screenH;
    ScreenSize(&screenW, &screenH);
    *width = screenW;
    *height = std::max(screenH - kCaptionHeight, 0);
}

}  // namespace kp::user

using namespace kp::user;

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
        host->SetShowState(w->hostWindow,
                           visible ? HostStateOf(w->state) : kp::host::ShowState::Hidden);
    if (visible) {
        Invalidate(*w, nullptr, true);
    } else {
        w->update.Clear();
        w->erasePending = false;
    }
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

    int width, height;
    switch (cmdShow) {
    case SW_HIDE:
        SetVisible(hwnd, false);
        break;
    case SW_SHOWNORMAL:
    case SW_SHOWNOACTIVATE:
    case SW_RESTORE:
        if (w->state != WindowState::Normal) {
            NormalClientSize(*w, &width, &height);
            ChangeState(hwnd, WindowState::Normal, width, height, true);
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
        if (w->state != WindowState::Minimized)
            ChangeState(hwnd, WindowState::Minimized, 0, 0, true);
        SetVisible(hwnd, true);
        break;
    case SW_MAXIMIZE:
        if (w->state != WindowState::Maximized) {
            MaximizedClientSize(&width, &height);
            ChangeState(hwnd, WindowState::Maximized, width, height, true);
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

    RECT &target = w->state == WindowState::Minimized ? w->normalRect : w->windowRect;
    RECT old = target;
    RECT next = old;
    if (!(flags & SWP_NOMOVE)) {
        next.right += x - next.left;
        next.bottom += y - next.top;
        next.left = x;
        next.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        next.right = next.left + cx;
        next.bottom = next.top + cy;
    }
    target = next;

    // A minimized window only remembers where it will be restored to.
    if (w->state != WindowState::Minimized) {
        if (w->state == WindowState::Normal)
            w->normalRect = next;
        int oldWidth = w->clientWidth, oldHeight = w->clientHeight;
        int width = std::max<int>(next.right - next.left - kNonClientWidth, 0);
        int height = std::max<int>(next.bottom - next.top - kNonClientHeight, 0);
        if (width != oldWidth || height != oldHeight) {
            kp::host::Host *host = kp::host::CurrentHost();
            if (host && w->hostWindow)
                host->ResizeHostWindow(w->hostWindow, width, height);
            ApplyClientSize(*w, width, height,
                            w->state == WindowState::Maximized ? SIZE_MAXIMIZED : SIZE_RESTORED);
            if ((w = FromHandle(hwnd)) == nullptr)
                return TRUE;
            if (!(flags & SWP_NOREDRAW))
                InvalidateAfterResize(*w, oldWidth, oldHeight);
        }
        if (next.left != old.left || next.top != old.top) {
            SendMessageA(hwnd, WM_MOVE, 0,
                         MAKELPARAM(next.left + kBorderSide, next.top + kBorderTop));
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
