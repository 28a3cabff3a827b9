// How a host hands input and window changes to USER. Each call queues the
// messages Windows would produce, in order; nothing is dispatched inside.
#pragma once

#include <windows.h>

namespace kp::user {

// Pointer at client (x, y) with the key state keys (MK_* flags, after the
// event). Moves become WM_MOUSEMOVE; button changes become WM_xBUTTONDOWN/UP
// (message is one of those).
void HostMouseMove(HWND hwnd, int x, int y, WPARAM keys);
void HostMouseButton(HWND hwnd, UINT message, int x, int y, WPARAM keys);

// Part of the client area lost its pixels (uncovered): invalidate with erase.
void HostExposed(HWND hwnd, const RECT &rect);

// The user resized the window to a client size (the host's surface already
// has that size); newly exposed strips are invalidated with erase.
void HostResized(HWND hwnd, int clientWidth, int clientHeight);

void HostMinimized(HWND hwnd);
// Restored or maximized, with the client size it now has.
void HostRestored(HWND hwnd, int clientWidth, int clientHeight);
void HostMaximized(HWND hwnd, int clientWidth, int clientHeight);

// The window manager asked the window to close (close button, Alt+F4).
void HostCloseRequested(HWND hwnd);

// Forgets every class and window, as at process end (for tests that run
// WinMain more than once in one process).
void ResetForNewProcess();

}  // namespace kp::user
