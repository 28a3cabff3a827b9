// Creating and destroying windows.
#include <windows.h>

#include <algorithm>

#include "../gdi/rects.h"
#include "class.h"
#include "message.h"
#include "paint.h"
#include "window.h"
#include "window_pos.h"

namespace kp::user {

namespace {

// The last step of destruction: WM_NCDESTROY, then the window's queued
// messages, its host window and its slot go.
void FinishDestroy(Window &w)
{
    w.destroying = true;
    HWND hwnd = w.handle;
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
    if (w.queue)
        w.queue->RemoveForWindow(hwnd);
    host::Host *host = host::CurrentHost();
    if (host && w.hostWindow)
        host->DestroyHostWindow(w.hostWindow);
    FreeWindow(w);
}

// A new window record of the class, style and placement asked for:
// CW_USEDEFAULT placement, the caption every overlapped window has, and a
// size held to what the window can be. Null when the table is full.
Window *NewWindow(WindowClass *cls, DWORD exStyle, DWORD style, int x, int y, int width, int height)
{
    int screenW, screenH;
    ScreenSize(&screenW, &screenH);
    if (width == CW_USEDEFAULT) {
        width = screenW * 3 / 4;
        height = screenH * 3 / 4;
    }
    if (x == CW_USEDEFAULT) {
        const POINT p = DefaultPosition();
        x = p.x;
        y = p.y;
    }
    Window *w = AllocateWindow();
    if (w == nullptr)
        return nullptr;
    w->cls = cls;
    w->queue = &CurrentQueue();
    // As on Windows, an overlapped window always has a caption.
    w->style = style & ~static_cast<DWORD>(WS_VISIBLE);
    if (!(style & (WS_POPUP | WS_CHILD)))
        w->style |= WS_CAPTION | WS_CLIPSIBLINGS;
    w->exStyle = exStyle;
    w->windowRect = HeldWindowRect(
        *w, kp::ClampedRect(x, y, 1ll * x + std::max(width, 0), 1ll * y + std::max(height, 0)));
    w->normalRect = w->windowRect;
    const SIZE client = ClientSizeOf(*w, w->windowRect);
    w->clientWidth = client.cx;
    w->clientHeight = client.cy;
    return w;
}

// WM_NCCREATE and WM_CREATE; false when the procedure refused the creation
// (FALSE from WM_NCCREATE, -1 from WM_CREATE), which gets WM_NCDESTROY but
// no WM_DESTROY, as on Windows: the window never finished being created.
bool SendCreation(HWND hwnd, const CREATESTRUCTA &cs)
{
    const LPARAM param = reinterpret_cast<LPARAM>(&cs);
    if (SendMessageA(hwnd, WM_NCCREATE, 0, param) && SendMessageA(hwnd, WM_CREATE, 0, param) != -1)
        return true;
    Window *w = FromHandle(hwnd);
    if (w != nullptr && !w->destroying)
        FinishDestroy(*w);
    return false;
}

// The first size and position, as Windows reports them after creation;
// false if the window destroyed itself meanwhile.
bool SendFirstPlacement(HWND hwnd)
{
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return false;
    SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->clientWidth, w->clientHeight));
    if ((w = FromHandle(hwnd)) == nullptr)
        return false;
    const POINT origin = ClientToScreenPoint(*w, 0, 0);
    SendMessageA(hwnd, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
    return FromHandle(hwnd) != nullptr;
}

}  // namespace

}  // namespace kp::user

using namespace kp::user;
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param)
{
    WindowClass *cls = FindClass(className);
    kp::host::Host *host = kp::host::CurrentHost();
    if (cls == nullptr || host == nullptr)
        return nullptr;
    if (parent != nullptr && parent != DesktopHandle() && FromHandle(parent) == nullptr)
        return nullptr;  // only top-level windows exist here; a bad parent fails
    Window *w = NewWindow(cls, exStyle, style, x, y, width, height);
    if (w == nullptr)
        return nullptr;
    const HWND hwnd = w->handle;
    const char *title = (windowName && !IS_INTRESOURCE(windowName)) ? windowName : "";
    w->hostWindow =
        host->CreateHostWindow(hwnd, title, &w->surface, w->clientWidth, w->clientHeight);
    if (w->hostWindow == nullptr) {
        FreeWindow(*w);
        return nullptr;
    }
    w->surface.Resize(w->clientWidth, w->clientHeight);

    const RECT &r = w->windowRect;
    CREATESTRUCTA cs = {param,      instance,         menu,
                        parent,     r.bottom - r.top, r.right - r.left,
                        r.top,      r.left,           static_cast<LONG>(style),
                        windowName, className,        exStyle};
    if (!SendCreation(hwnd, cs) || !SendFirstPlacement(hwnd))
        return nullptr;
    if (style & WS_VISIBLE)
        ShowWindow(hwnd, SW_SHOW);
    return FromHandle(hwnd) ? hwnd : nullptr;
}

BOOL WINAPI DestroyWindow(HWND hwnd)
{
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return FALSE;
    if (w->destroying)
        return TRUE;  // already on its way out (DestroyWindow from WM_DESTROY)
    w->destroying = true;
    kp::host::Host *host = kp::host::CurrentHost();
    if (w->visible) {
        w->visible = false;
        Validate(*w);
        if (host && w->hostWindow)
            host->SetShowState(w->hostWindow, kp::host::ShowState::Hidden);
    }
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    FinishDestroy(*w);
    return TRUE;
}
