// The window table, handles, frames, and the simple window queries.
#include "window.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

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

// The frame of a window of the given style around its client area: left,
// top, right and bottom widths.
RECT FrameOf(DWORD style, DWORD exStyle)
{
    (void)exStyle;  // no extended style changes the frame here
    // Every framed window has the sizing frame's width; a caption adds its
    // height at the top.
    const LONG side = (style & (WS_THICKFRAME | WS_CAPTION)) ? kFrameWidth + kPaddedBorder : 0;
    const LONG caption = (style & WS_CAPTION) == WS_CAPTION ? kCaptionHeight : 0;
    return RECT{side, side + caption, side, side};
}

}  // namespace

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

POINT DefaultPosition()
{
    // 26 px further down and to the right for each window placed so,
    // starting over after eight.
    int step = 26 * (1 + placementCount % 8);
    ++placementCount;
    return POINT{step, step};
}

void ResetDefaultPlacement()
{
    placementCount = 0;
}

void ScreenSize(int *width, int *height)
{
    *width = 0;
    *height = 0;
    if (host::Host *host = host::CurrentHost())
        host->ScreenSize(width, height);
}

SIZE MaxTrackSize()
{
    int width, height;
    ScreenSize(&width, &height);
    const int extra = 4 + 2 * (kFrameWidth + kPaddedBorder);
    return SIZE{width + extra, height + extra};
}

SIZE MaxClientSize(const Window &w)
{
    const bool held = (w.style & WS_THICKFRAME) || !(w.style & (WS_POPUP | WS_CHILD));
    return held ? MaxTrackSize() : SIZE{INT32_MAX, INT32_MAX};
}

SIZE HeldClientSize(const Window &w, int width, int height)
{
    const SIZE most = MaxClientSize(w);
    return SIZE{std::clamp<LONG>(width, 0, most.cx), std::clamp<LONG>(height, 0, most.cy)};
}

RECT WindowRectAround(const Window &w, const RECT &client)
{
    RECT r = client;
    AdjustWindowRectEx(&r, w.style, FALSE, w.exStyle);
    return r;
}

RECT ClientRectIn(const Window &w, const RECT &window)
{
    const RECT frame = FrameOf(w.style, w.exStyle);
    return RECT{window.left + frame.left, window.top + frame.top, window.right - frame.right,
                window.bottom - frame.bottom};
}

SIZE ClientSizeOf(const Window &w, const RECT &window)
{
    const RECT client = ClientRectIn(w, window);
    return SIZE{std::max<LONG>(client.right - client.left, 0),
                std::max<LONG>(client.bottom - client.top, 0)};
}

RECT ClientRectOf(const Window &w)
{
    return RECT{0, 0, w.clientWidth, w.clientHeight};
}

POINT ClientToScreenPoint(const Window &w, int x, int y)
{
    const RECT client = ClientRectIn(w, w.windowRect);
    return POINT{client.left + x, client.top + y};
}

}  // namespace kp::user

using namespace kp::user;

BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle)
{
    if (rect == nullptr || menu)
        return FALSE;
    const RECT frame = FrameOf(style, exStyle);
    rect->left -= frame.left;
    rect->top -= frame.top;
    rect->right += frame.right;
    rect->bottom += frame.bottom;
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
    return (w && w->state == kp::host::ShowState::Minimized) ? TRUE : FALSE;
}

BOOL WINAPI IsZoomed(HWND hwnd)
{
    Window *w = FromHandle(hwnd);
    return (w && w->state == kp::host::ShowState::Maximized) ? TRUE : FALSE;
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
    case SM_CXMAXTRACK:
        return MaxTrackSize().cx;
    case SM_CYMAXTRACK:
        return MaxTrackSize().cy;
    default:
        return 0;
    }
}
