// USER's own records: window classes, windows and the per-thread message
// queue. Windows and classes live in fixed tables; a handle carries its slot
// and a generation, so a stale or made-up handle is recognised, never used.
#pragma once

#include <windows.h>

#include <string>

#include "../gdi/window_surface.h"
#include "../host/host.h"
#include "update_region.h"

namespace kp::user {

// ---- Non-client metrics: Windows 10 at 96 DPI ------------------------------
// A sizing frame of 4 px plus 4 px of padded border on each side, and a 23 px
// caption: 8 px left, right and bottom, 31 px at the top.
constexpr int kFrameWidth = 4;      // SM_CXFRAME / SM_CYFRAME
constexpr int kPaddedBorder = 4;    // SM_CXPADDEDBORDER
constexpr int kCaptionHeight = 23;  // SM_CYCAPTION
constexpr int kBorderSide = kFrameWidth + kPaddedBorder;
constexpr int kBorderTop = kCaptionHeight + kBorderSide;
constexpr int kNonClientWidth = 2 * kBorderSide;
constexpr int kNonClientHeight = kBorderTop + kBorderSide;

// Where Windows parks a minimized top-level window, and its size there.
constexpr int kMinimizedPos = -32000;
constexpr int kMinimizedWidth = 160;
constexpr int kMinimizedHeight = 28;

// ---- Classes ---------------------------------------------------------------

struct WindowClass {
    bool used = false;
    ATOM atom = 0;
    std::string name;
    UINT style = 0;
    WNDPROC wndProc = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HICON iconSmall = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
};

constexpr int kMaxClasses = 64;
WindowClass *FindClass(LPCSTR nameOrAtom);
int LiveClassCount();
void ForgetClasses();

// ---- Windows ---------------------------------------------------------------

struct MessageQueue;

enum class WindowState { Normal, Minimized, Maximized };

struct Window {
    bool used = false;
    bool destroying = false;
    WORD generation = 0;
    HWND handle = nullptr;
    WindowClass *cls = nullptr;
    MessageQueue *queue = nullptr;  // the queue of the thread that created it
    host::HostWindow *hostWindow = nullptr;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    bool visible = false;
    WindowState state = WindowState::Normal;
    RECT windowRect = {};  // screen coordinates, frame included
    RECT normalRect = {};  // the window rectangle to restore to
    int clientWidth = 0;
    int clientHeight = 0;
    gdi::WindowSurface surface;  // the client pixels, always clientWidth x clientHeight
    UpdateRegion update;
    bool erasePending = false;
};

constexpr int kMaxWindows = 256;

// The window for hwnd, or nullptr for a null, stale or made-up handle (and
// for the desktop window, which has no record).
Window *FromHandle(HWND hwnd);
HWND DesktopHandle();
int LiveWindowCount();
Window *WindowAt(int index);  // table slot, used or not (0 <= index < kMaxWindows)
void ForgetWindows();

RECT ClientRectOf(const Window &w);  // (0, 0, clientWidth, clientHeight)
void ScreenSize(int *width, int *height);

// Adds r (client coordinates, nullptr = whole client) to the update region.
void Invalidate(Window &w, const RECT *r, bool erase);
// After the client area changed from oldW x oldH to the current size: the
// newly exposed strips, or all of it for CS_HREDRAW/CS_VREDRAW, become
// invalid with erase; the update region is clipped to the new client.
void InvalidateAfterResize(Window &w, int oldWidth, int oldHeight);
// Records a new client size (the surface follows) and sends WM_SIZE with
// sizeType.
void ApplyClientSize(Window &w, int width, int height, WPARAM sizeType);

// ---- Messages --------------------------------------------------------------

// Each thread that uses USER gets its own queue, created on first use: one
// ring of posted and input messages in arrival order, plus the quit flag.
struct MessageQueue {
    static constexpr int kCapacity = 8192;

    MessageQueue();
    ~MessageQueue();
    MessageQueue(const MessageQueue &) = delete;
    MessageQueue &operator=(const MessageQueue &) = delete;

    bool Push(const MSG &msg);
    // Finds the oldest message that passes the filter; index into the ring
    // order (0 = oldest), or -1.
    int Find(HWND filter, UINT minMsg, UINT maxMsg) const;
    const MSG &At(int index) const;
    void RemoveAt(int index);
    void RemoveForWindow(HWND hwnd);
    void Clear();
    int Size() const { return count; }

    MSG *ring = nullptr;
    int head = 0;
    int count = 0;
    bool quitPending = false;
    int quitCode = 0;
    POINT cursor = {0, 0};  // last pointer position in screen coordinates
};

MessageQueue &CurrentQueue();

LRESULT CallWindowProcedure(Window &w, UINT msg, WPARAM wParam, LPARAM lParam);
DWORD MessageTime();

// Posts an input message for w on its queue (FALSE when the queue is full or
// w has no queue any more).
BOOL PostInput(Window &w, UINT message, WPARAM wParam, LPARAM lParam, POINT screenPt);

void ResetShowDefault();
void ResetDefaultPlacement();

}  // namespace kp::user
