// The X11 event state and button numbers in the terms of mouse messages.
#include <gtest/gtest.h>

#include <X11/X.h>
#include <X11/keysym.h>

#include <vector>

#include "x11_input.h"

namespace {

using kp::host::MouseButton;
namespace x11 = kp::host::x11;

TEST(X11Input, StateBitsBecomeKeyFlags)
{
    struct Case {
        unsigned int state;
        WPARAM keys;
    };
    const std::vector<Case> cases = {
        {0, 0},
        {Button1Mask, MK_LBUTTON},
        {Button2Mask, MK_MBUTTON},  // X's second button is the middle one
        {Button3Mask, MK_RBUTTON},
        {ShiftMask, MK_SHIFT},
        {ControlMask, MK_CONTROL},
        {Button1Mask | ShiftMask | ControlMask, MK_LBUTTON | MK_SHIFT | MK_CONTROL},
        {Button1Mask | Button2Mask | Button3Mask, MK_LBUTTON | MK_MBUTTON | MK_RBUTTON},
        // Caps Lock, Alt, Num Lock, the wheels' buttons: no key flag.
        {LockMask | Mod1Mask | Mod2Mask | Mod4Mask | Button4Mask | Button5Mask, 0},
        {Button1Mask | LockMask | Mod2Mask, MK_LBUTTON},
    };
    for (const Case &c : cases)
        EXPECT_EQ(x11::KeysFromState(c.state), c.keys) << "state 0x" << std::hex << c.state;
    // Everything that KeysFromState can produce is a flag the state reports.
    EXPECT_EQ(x11::KeysFromState(0xFFFFu), x11::kReportedKeys);
    EXPECT_EQ(x11::kReportedKeys & (MK_XBUTTON1 | MK_XBUTTON2), 0u)
        << "the server has no state bits for the X buttons";
}

TEST(X11Input, ButtonNumbers)
{
    struct Case {
        unsigned int number;
        bool known;
        MouseButton button;
    };
    const std::vector<Case> cases = {
        {1, true, MouseButton::Left},   {2, true, MouseButton::Middle},
        {3, true, MouseButton::Right},  {8, true, MouseButton::X1},
        {9, true, MouseButton::X2},     {0, false, MouseButton::Left},
        {4, false, MouseButton::Left},  {5, false, MouseButton::Left},
        {6, false, MouseButton::Left},  {7, false, MouseButton::Left},
        {10, false, MouseButton::Left},
    };
    for (const Case &c : cases) {
        MouseButton b = MouseButton::Left;
        EXPECT_EQ(x11::ButtonFromNumber(c.number, &b), c.known) << "button " << c.number;
        if (c.known) {
            EXPECT_EQ(b, c.button) << "button " << c.number;
        }
    }
}

TEST(X11Input, AltF4Closes)
{
    struct Case {
        unsigned long keysym;
        unsigned int state;
        bool closes;
    };
    const std::vector<Case> cases = {
        {XK_F4, Mod1Mask, true},
        {XK_F4, Mod1Mask | ShiftMask, true},
        {XK_F4, Mod1Mask | Mod2Mask | LockMask, true},  // with Num Lock and Caps Lock on
        {XK_F4, Mod1Mask | Button1Mask, true},
        {XK_F4, Mod1Mask | ControlMask, false},
        {XK_F4, 0, false},
        {XK_F4, ControlMask, false},
        {XK_F4, ShiftMask, false},
        {XK_F3, Mod1Mask, false},
        {XK_F5, Mod1Mask, false},
        {XK_4, Mod1Mask, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(x11::IsCloseShortcut(c.keysym, c.state), c.closes)
            << "keysym 0x" << std::hex << c.keysym << " state 0x" << c.state;
}

}  // namespace
