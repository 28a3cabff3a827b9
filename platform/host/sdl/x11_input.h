// What the X server says about the pointer and the keyboard, in the terms of
// the mouse messages: the MK_* flags of an event's state, the mouse button of
// a button number, and the window-closing shortcut. Only constants of the X
// protocol are used here, no connection, so that the mapping can be tested
// on its own.
#pragma once

#include <windows.h>

#include "../pointer_state.h"

namespace kp::host::x11 {

// The flags that an X event's state reports: the first three buttons, Shift
// and Control. The server has no state bits for the X buttons (8 and 9), so
// the host tracks those from their press and release events.
constexpr WPARAM kReportedKeys = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON | MK_SHIFT | MK_CONTROL;

// MK_* flags of a core event's state field (the state before the event).
WPARAM KeysFromState(unsigned int state);

// Button numbers: 1 left, 2 middle, 3 right, 4 to 7 the wheels, 8 back (X1)
// and 9 forward (X2). False for the wheels and anything else.
bool ButtonFromNumber(unsigned int button, MouseButton *out);

// Alt+F4 (not with Control), the key that closes a window, given a key
// press's unshifted keysym and state. A window manager usually takes it first and sends
// WM_DELETE_WINDOW instead; without one the window sees the key itself.
bool IsCloseShortcut(unsigned long keysym, unsigned int state);

}  // namespace kp::host::x11
