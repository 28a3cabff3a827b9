// Window placement and size changes, shared by the program's calls
// (ShowWindow, SetWindowPos) and the host's reports (host_events.h).
#pragma once

#include "window.h"

namespace kp::user {

// WM_SIZE's wParam for a placement.
WPARAM SizeTypeOf(host::ShowState state);

// The surface takes the client's size; where memory for it is short it keeps
// what it has and the host is told. False while short. After a shortage the
// part that was left out is invalidated.
bool FitSurface(Window &w);

// Records a new client size (the surface follows) and sends WM_SIZE with
// sizeType.
void ApplyClientSize(Window &w, int width, int height, WPARAM sizeType);

// Moves hwnd to state with the given client size (ignored for Minimized):
// rectangles, WM_SIZE and the invalidation Windows does. With tellHost the
// host is told the new show state and client size (the program asked); a host
// report passes false. False if hwnd died on the way.
bool ChangeState(HWND hwnd, host::ShowState state, int clientWidth, int clientHeight,
                 bool tellHost);

// A window rectangle (frame included) held to the largest a window can be,
// as Windows holds the program's sizes (SM_CXMAXTRACK), its top left kept.
RECT HeldWindowRect(const Window &w, const RECT &rect);

// The client size the window has when restored, and when maximized.
SIZE NormalClientSize(const Window &w);
SIZE MaximizedClientSize(const Window &w);

// True if SW_SHOWDEFAULT was used before in this process; marks it used.
bool ConsumeShowDefault();
void ResetShowDefault();

}  // namespace kp::user
