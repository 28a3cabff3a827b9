// Window state changes shared by the program's calls (ShowWindow) and the
// host's reports (host_events.h).
#pragma once

#include "user_internal.h"

namespace kp::user {

host::ShowState HostStateOf(WindowState state);
WPARAM SizeTypeOf(WindowState state);

// Moves hwnd to state with the given client size (ignored for Minimized):
// rectangles, WM_SIZE and the invalidation Windows does. With tellHost the
// host is told the new show state and client size (the program asked); a host
// report passes false. False if hwnd died on the way.
bool ChangeState(HWND hwnd, WindowState state, int clientWidth, int clientHeight, bool tellHost);

// The client size the window has when restored, and when maximized.
void NormalClientSize(const Window &w, int *width, int *height);
void MaximizedClientSize(int *width, int *height);

// True if SW_SHOWDEFAULT was used before in this process; marks it used.
bool ConsumeShowDefault();

}  // namespace kp::user
