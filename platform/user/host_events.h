// How a host hands input and window changes to USER. Each call queues the
// messages Windows would produce, in order; nothing is dispatched inside.
#pragma once

#include <windows.h>

namespace kp::user {

// USER's queue holds kInputCapacity messages. A host hands it an event only
// while HostInputRoom() (the free places in the calling thread's queue)
// leaves room for every message that event can make; the rest waits in the
// host, in order, for the next call. So no input is ever dropped.
constexpr int kInputCapacity = 8192;
int HostInputRoom();

// Pointer at client (x, y) with the key state keys (MK_* flags, after the
// event). Moves become WM_MOUSEMOVE; button changes become WM_xBUTTONDOWN/UP
// (message is one of those).
void HostMouseMove(HWND hwnd, int x, int y, WPARAM keys);
void HostMouseButton(HWND hwnd, UINT message, int x, int y, WPARAM keys);

// Part of the client area lost its pixels (uncovered): invalidate with erase.
void HostExposed(HWND hwnd, const RECT &rect);

// The user resized the window to a client size; newly exposed strips are
// invalidated with erase. USER holds the size to what a window can be
// (MaxClientSize in window.h) and returns the client size the window took,
// which the host shows; (0, 0) for a dead window.
SIZE HostResized(HWND hwnd, int clientWidth, int clientHeight);

void HostMinimized(HWND hwnd);
// Restored or maximized, with the client size it now has; returns the size
// the window took, as HostResized does.
SIZE HostRestored(HWND hwnd, int clientWidth, int clientHeight);
SIZE HostMaximized(HWND hwnd, int clientWidth, int clientHeight);

// The window manager asked the window to close (close button, Alt+F4).
void HostCloseRequested(HWND hwnd);

// ---- What a host asks USER: the geometry is USER's alone --------------------
// The client size hwnd has when restored, and when maximized on the host's
// work area; (0, 0) for a dead window.
SIZE HostNormalClientSize(HWND hwnd);
SIZE HostMaximizedClientSize(HWND hwnd);
// The largest client area hwnd can have (for the window system's limits).
SIZE HostMaxClientSize(HWND hwnd);
// The frame around hwnd's client area: the window rectangle of an empty
// client area at the origin (left and top negative).
RECT HostFrame(HWND hwnd);

// Forgets every class and window, as at process end (for tests that run
// WinMain more than once in one process).
void ResetForNewProcess();

}  // namespace kp::user
