// Windows: the records of the process's windows in a fixed table, their
// handles, and their frame. A handle carries its slot and a generation, so a
// stale or made-up handle is recognised, never used.
#pragma once

#include <windows.h>

#include <string>

#include "../gdi/window_surface.h"
#include "host.h"
#include "../gdi/rect_set.h"

namespace kp::user {

// ---- Non-client metrics: Windows 10 at 96 DPI ------------------------------
// A sizing frame of 4 px plus 4 px of padded border on each side, and a 23 px
// caption: a WS_OVERLAPPEDWINDOW window is 8 px wider than its client area on
// the left, right and bottom, and 31 px at the top.
constexpr int kFrameWidth = 4;      // SM_CXFRAME / SM_CYFRAME
constexpr int kPaddedBorder = 4;    // SM_CXPADDEDBORDER
constexpr int kCaptionHeight = 23;  // SM_CYCAPTION

// Where Windows parks a minimized top-level window, and its size there.
constexpr int kMinimizedPos = -32000;
constexpr int kMinimizedWidth = 160;
constexpr int kMinimizedHeight = 28;

struct WindowClass;
class MessageQueue;

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
    host::ShowState state = host::ShowState::Normal;  // never Hidden: see visible
    RECT windowRect = {};                             // screen coordinates, frame included
    RECT normalRect = {};                             // the window rectangle to restore to
    int clientWidth = 0;
    int clientHeight = 0;
    // The client pixels: clientWidth x clientHeight, or less while memory for
    // them is short (shortOfPixels).
    gdi::WindowSurface surface;
    bool shortOfPixels = false;
    gdi::RectSet update;         // the update region
    bool erasePending = false;
};

constexpr int kMaxWindows = 256;

// A free slot made a new window record (nullptr when the table is full),
// and a record given back.
Window *AllocateWindow();
void FreeWindow(Window &w);

// The window for hwnd, or nullptr for a null, stale or made-up handle (and
// for the desktop window, which has no record).
Window *FromHandle(HWND hwnd);
HWND DesktopHandle();
Window *WindowAt(int index);  // table slot, used or not (0 <= index < kMaxWindows)
void ForgetWindows();

// Position for CW_USEDEFAULT: a cascade from (26, 26).
POINT DefaultPosition();
void ResetDefaultPlacement();

void ScreenSize(int *width, int *height);

// The largest a window that the user can size (WS_THICKFRAME) or an
// overlapped window can be, as on Windows (SM_CXMAXTRACK, SM_CYMAXTRACK):
// the screen and a little more. The program's own sizes are held to it, frame
// included, as Windows holds them (HeldWindowRect in window_pos.h); the
// window system's, whose frame is not the program's (it may show the client
// area alone, filling the screen), are held to it for the client area. So a
// window's pixels never cost more than the screen can show.
SIZE MaxTrackSize();
// The largest client area the window system may give w (no limit where w's
// size is not held).
SIZE MaxClientSize(const Window &w);
// A client size held to MaxClientSize, never negative.
SIZE HeldClientSize(const Window &w, int width, int height);

// The frame: the window rectangle around a client rectangle and the client
// rectangle inside a window rectangle (both in screen coordinates), for w's
// style, and the client size of a window rectangle (never negative).
RECT WindowRectAround(const Window &w, const RECT &client);
RECT ClientRectIn(const Window &w, const RECT &window);
SIZE ClientSizeOf(const Window &w, const RECT &window);

RECT ClientRectOf(const Window &w);  // (0, 0, clientWidth, clientHeight)
// A point of the client area in screen coordinates.
POINT ClientToScreenPoint(const Window &w, int x, int y);

}  // namespace kp::user
