// The window table, creation and destruction, and the simple window queries.
#include <windows.h>

#include <algorithm>

#include "user_internal.h"

namespace kp::user {

namespace {

Window windows[kMaxWindows];
int nextSlot = 0;  // slots are handed out round robin, so a freed one rests a while
int placementCount = 0;

// A handle is (generation << 16) | (slot + 1); the desktop uses slot field 0,
// which no window has.
constexpr uintptr_t kDesktopHandle = 0x00010000;

HWND EncodeHandle(int slot, WORD generation)
{
    return reinterpret_cast<HWND>((static_cast<uintptr_t>(generation) << 16) |
                                  static_cast<uintptr_t>(slot + 1));
}

Window *AllocateWindow()
{
    for (int i = 0; i < kMaxWindows; ++i) {
        int slot = (nextSlot + i) % kMaxWindows;
        Window &w = windows[slot];
        if (w.used)
            continue;
        WORD generation = static_cast<WORD>(w.generation + 1);
        if (generation == 0)
            generation = 1;
        w = Window{};
        w.used = true;
        w.generation = generation;
        w.handle = EncodeHandle(slot, generation);
        nextSlot = (slot + 1) % kMaxWindows;
        return &w;
    }
    return nullptr;
}

void FreeWindow(Window &w)
{
    WORD generation = w.generation;
    w = Window{};
    w.generation = generation;  // kept, so the old handle stays dead
}

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

// Position for CW_USEDEFAULT: a cascade from (26, 26), 26 px further down and
// to the right for each window placed so, starting over after eight.
POINT DefaultPosition()
{
    int step = 26 * (1 + placementCount % 8);
    ++placementCount;
    return POINT{step, step};
}

}  // namespace

Window *FromHandle(HWND hwnd)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(hwnd);
    uintptr_t slotField = value & 0xFFFF;
    uintptr_t generation = value >> 16;
    if (slotField == 0 || slotField > kMaxWindows || generation == 0 || generation > 0xFFFF)
        return nullptr;
    Window &w = windows[slotField - 1];
    if (!w.used || w.generation != generation)
        return nullptr;
    return &w;
}

HWND DesktopHandle()
{
    return reinterpret_cast<HWND>(kDesktopHandle);
}

int LiveWindowCount()
{
    int n = 0;
    for (const Window &w : windows)
        n += w.used ? 1 : 0;
    return n;
}

Window *WindowAt(int index)
{
    return &windows[index];
}

void ForgetWindows()
{
    for (Window &w : windows)
        if (w.used)
            FreeWindow(w);
}

void ResetDefaultPlacement()
{
    placementCount = 0;
}

RECT ClientRectOf(const Window &w)
{
    return RECT{0, 0, w.clientWidth, w.clientHeight};
}

void ScreenSize(int *width, int *height)
{
    *width = 0;
    *height = 0;
    if (host::Host *host = host::CurrentHost())
        host->ScreenSize(width, height);
}

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

    int screenW, screenH;
    ScreenSize(&screenW, &screenH);
    if (width == CW_USEDEFAULT) {
        width = screenW * 3 / 4;
        height = screenH * 3 / 4;
    }
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (x == CW_USEDEFAULT) {
        POINT p = DefaultPosition();
        x = p.x;
        y = p.y;
    }

    Window *w = AllocateWindow();
    if (w == nullptr)
        return nullptr;
    w->cls = cls;
    w->queue = &CurrentQueue();
    w->style = style & ~static_cast<DWORD>(WS_VISIBLE);
    w->exStyle = exStyle;
    w->windowRect = RECT{x, y, x + width, y + height};
    w->normalRect = w->windowRect;
    w->clientWidth = std::max(width - kNonClientWidth, 0);
    w->clientHeight = std::max(height - kNonClientHeight, 0);
    HWND hwnd = w->handle;

    const char *title = (windowName && !IS_INTRESOURCE(windowName)) ? windowName : "";
    w->hostWindow =
        host->CreateHostWindow(hwnd, title, &w->surface, w->clientWidth, w->clientHeight);
    if (w->hostWindow == nullptr) {
        FreeWindow(*w);
        return nullptr;
    }
    w->surface.Resize(w->clientWidth, w->clientHeight);

    CREATESTRUCTA cs;
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cx = width;
    cs.cy = height;
    cs.x = x;
    cs.y = y;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;

    // A procedure that refuses the creation (FALSE from WM_NCCREATE, -1 from
    // WM_CREATE) gets WM_NCDESTROY but no WM_DESTROY, as on Windows: the
    // window never finished being created.
    LPARAM csParam = reinterpret_cast<LPARAM>(&cs);
    if (!SendMessageA(hwnd, WM_NCCREATE, 0, csParam) ||
        SendMessageA(hwnd, WM_CREATE, 0, csParam) == -1) {
        if ((w = FromHandle(hwnd)) != nullptr && !w->destroying)
            FinishDestroy(*w);
        return nullptr;
    }
    // The first size and position, as Windows reports them after creation.
    w = FromHandle(hwnd);
    if (w == nullptr)
        return nullptr;  // the window destroyed itself while being created
    SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->clientWidth, w->clientHeight));
    if ((w = FromHandle(hwnd)) == nullptr)
        return nullptr;
    SendMessageA(hwnd, WM_MOVE, 0,
                 MAKELPARAM(w->windowRect.left + kBorderSide, w->windowRect.top + kBorderTop));
    if (FromHandle(hwnd) == nullptr)
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
        w->update.Clear();
        if (host && w->hostWindow)
            host->SetShowState(w->hostWindow, kp::host::ShowState::Hidden);
    }
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    FinishDestroy(*w);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd)
{
    return (hwnd == DesktopHandle() || FromHandle(hwnd) != nullptr) ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND hwnd)
{
    if (hwnd == DesktopHandle())
        return TRUE;
    Window *w = FromHandle(hwnd);
    return (w && w->visible) ? TRUE : FALSE;
}

BOOL WINAPI IsIconic(HWND hwnd)
{
    Window *w = FromHandle(hwnd);
    return (w && w->state == WindowState::Minimized) ? TRUE : FALSE;
}

BOOL WINAPI IsZoomed(HWND hwnd)
{
    Window *w = FromHandle(hwnd);
    return (w && w->state == WindowState::Maximized) ? TRUE : FALSE;
}

int WINAPI GetWindowTextA(HWND hwnd, LPSTR buffer, int maxCount)
{
    if (buffer == nullptr || maxCount <= 0 || FromHandle(hwnd) == nullptr)
        return 0;
    return static_cast<int>(SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount),
                                         reinterpret_cast<LPARAM>(buffer)));
}

HWND WINAPI GetDesktopWindow(void)
{
    return DesktopHandle();
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect)
{
    if (rect == nullptr)
        return FALSE;
    if (hwnd == DesktopHandle()) {
        int width, height;
        ScreenSize(&width, &height);
        *rect = RECT{0, 0, width, height};
        return TRUE;
    }
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return FALSE;
    *rect = w->windowRect;
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect)
{
    if (rect == nullptr)
        return FALSE;
    if (hwnd == DesktopHandle())
        return GetWindowRect(hwnd, rect);
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return FALSE;
    *rect = ClientRectOf(*w);
    return TRUE;
}

int WINAPI GetSystemMetrics(int index)
{
    int width, height;
    switch (index) {
    case SM_CXSCREEN:
        ScreenSize(&width, &height);
        return width;
    case SM_CYSCREEN:
        ScreenSize(&width, &height);
        return height;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return kFrameWidth;
    case SM_CXPADDEDBORDER:
        return kPaddedBorder;
    case SM_CYCAPTION:
        return kCaptionHeight;
    default:
        return 0;
    }
}
