#include "x11_input.h"

#include <X11/X.h>
#include <X11/keysym.h>

namespace kp::host::x11 {

WPARAM KeysFromState(unsigned int state)
{
    WPARAM keys = 0;
    if (state & Button1Mask)
        keys |= MK_LBUTTON;
    if (state & Button2Mask)
        keys |= MK_MBUTTON;
    if (state & Button3Mask)
        keys |= MK_RBUTTON;
    if (state & ShiftMask)
        keys |= MK_SHIFT;
    if (state & ControlMask)
        keys |= MK_CONTROL;
    return keys;
}

bool ButtonFromNumber(unsigned int button, MouseButton *out)
{
    switch (button) {
    case Button1:
        *out = MouseButton::Left;
        return true;
    case Button2:
        *out = MouseButton::Middle;
        return true;
    case Button3:
        *out = MouseButton::Right;
        return true;
    case 8:
        *out = MouseButton::X1;
        return true;
    case 9:
        *out = MouseButton::X2;
        return true;
    default:
        return false;
    }
}

bool IsCloseShortcut(unsigned long keysym, unsigned int state)
{
    // Alt is Mod1 on every common keyboard map. With Control also held the
    // key is no system key on Windows (Ctrl+Alt is AltGr there), and nothing
    // closes; Shift does not matter.
    return keysym == XK_F4 && (state & Mod1Mask) != 0 && (state & ControlMask) == 0;
}

}  // namespace kp::host::x11
