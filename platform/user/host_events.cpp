// What the host reports becomes queued messages and invalidation, as Windows
// would produce them. Reports about dead windows are ignored.
#include "host_events.h"

#include "class.h"
#include "message.h"
#include "paint.h"
#include "window_pos.h"

namespace kp::user {

using host::ShowState;

namespace {

bool IsButtonMessage(UINT message)
{
    return message >= WM_LBUTTONDOWN && message <= WM_XBUTTONDBLCLK && message != WM_MOUSEWHEEL;
}

}  // namespace

int HostInputRoom()
{
    return CurrentQueue().Room();
}

void HostMouseMove(HWND hwnd, int x, int y, WPARAM keys)
{
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return;
    PostInput(*w, WM_MOUSEMOVE, keys, MAKELPARAM(x, y), ClientToScreenPoint(*w, x, y));
}

void HostMouseButton(HWND hwnd, UINT message, int x, int y, WPARAM keys)
{
    // For the X buttons keys carries the button (XBUTTON1/XBUTTON2) in its
    // high word, as the message's wParam does.
    Window *w = FromHandle(hwnd);
    if (w == nullptr || !IsButtonMessage(message))
        return;
    PostInput(*w, message, keys, MAKELPARAM(x, y), ClientToScreenPoint(*w, x, y));
}

void HostExposed(HWND hwnd, const RECT &rect)
{
    if (Window *w = FromHandle(hwnd))
        Invalidate(*w, &rect, true);
}

SIZE HostResized(HWND hwnd, int clientWidth, int clientHeight)
{
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return SIZE{0, 0};
    const SIZE size = HeldClientSize(*w, clientWidth, clientHeight);
    const int oldWidth = w->clientWidth, oldHeight = w->clientHeight;
    if (w->state == ShowState::Minimized || (size.cx == oldWidth && size.cy == oldHeight))
        return SIZE{oldWidth, oldHeight};
    const RECT client = ClientRectIn(*w, w->windowRect);
    w->windowRect = WindowRectAround(
        *w, RECT{client.left, client.top, client.left + size.cx, client.top + size.cy});
    if (w->state == ShowState::Normal)
        w->normalRect = w->windowRect;
    ApplyClientSize(*w, size.cx, size.cy, SizeTypeOf(w->state));
    if ((w = FromHandle(hwnd)) != nullptr)
        InvalidateAfterResize(*w, oldWidth, oldHeight);
    return size;
}

void HostMinimized(HWND hwnd)
{
    Window *w = FromHandle(hwnd);
    if (w && w->state != ShowState::Minimized)
        ChangeState(hwnd, ShowState::Minimized, 0, 0, false);
}

namespace {

SIZE ClientSizeAfter(HWND hwnd)
{
    const Window *w = FromHandle(hwnd);
    return w ? SIZE{w->clientWidth, w->clientHeight} : SIZE{0, 0};
}

}  // namespace

SIZE HostRestored(HWND hwnd, int clientWidth, int clientHeight)
{
    ChangeState(hwnd, ShowState::Normal, clientWidth, clientHeight, false);
    return ClientSizeAfter(hwnd);
}

SIZE HostMaximized(HWND hwnd, int clientWidth, int clientHeight)
{
    ChangeState(hwnd, ShowState::Maximized, clientWidth, clientHeight, false);
    return ClientSizeAfter(hwnd);
}

void HostCloseRequested(HWND hwnd)
{
    if (FromHandle(hwnd))
        PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

SIZE HostNormalClientSize(HWND hwnd)
{
    Window *w = FromHandle(hwnd);
    return w ? NormalClientSize(*w) : SIZE{0, 0};
}

SIZE HostMaximizedClientSize(HWND hwnd)
{
    Window *w = FromHandle(hwnd);
    return w ? MaximizedClientSize(*w) : SIZE{0, 0};
}

SIZE HostMaxClientSize(HWND hwnd)
{
    Window *w = FromHandle(hwnd);
    return w ? MaxClientSize(*w) : SIZE{0, 0};
}

RECT HostFrame(HWND hwnd)
{
    Window *w = FromHandle(hwnd);
    return w ? WindowRectAround(*w, RECT{0, 0, 0, 0}) : RECT{0, 0, 0, 0};
}

void ResetForNewProcess()
{
    // Host windows are not touched: the host they came from may be gone.
    ForgetWindows();
    ForgetClasses();
    CurrentQueue().Clear();
    ResetShowDefault();
    ResetDefaultPlacement();
}

}  // namespace kp::user
