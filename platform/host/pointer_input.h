// The pointer pipeline that every host feeds: a window system's pointer
// event goes through the window's PointerState (which knows the buttons and
// keys, and drops what happens outside the client area) and comes out as the
// mouse messages Windows would post. This is the one place where mouse
// messages are handed to USER.
#pragma once

#include <windows.h>

#include "host_window.h"
#include "pointer_state.h"

namespace kp::host {

// Hands count messages to USER, in order; true if there were any.
bool DeliverMouse(HWND hwnd, const MouseMessage *messages, int count);

// The pointer at client (x, y) of w, or a button pressed or released there;
// true if that became a message.
bool PointerMoved(HostWindow &w, int x, int y);
bool PointerButton(HostWindow &w, MouseButton button, bool down, int x, int y);

}  // namespace kp::host
