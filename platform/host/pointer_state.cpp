#include "pointer_state.h"

namespace kp::host {

namespace {

struct ButtonInfo {
    WPARAM flag;
    UINT down;
    UINT up;
    WORD xbutton;  // XBUTTON1/XBUTTON2 in the high word of wParam, 0 otherwise
};

ButtonInfo InfoOf(MouseButton button)
{
    switch (button) {
    case MouseButton::Left:
        return {MK_LBUTTON, WM_LBUTTONDOWN, WM_LBUTTONUP, 0};
    case MouseButton::Right:
        return {MK_RBUTTON, WM_RBUTTONDOWN, WM_RBUTTONUP, 0};
    case MouseButton::Middle:
        return {MK_MBUTTON, WM_MBUTTONDOWN, WM_MBUTTONUP, 0};
    case MouseButton::X1:
        return {MK_XBUTTON1, WM_XBUTTONDOWN, WM_XBUTTONUP, XBUTTON1};
    case MouseButton::X2:
        return {MK_XBUTTON2, WM_XBUTTONDOWN, WM_XBUTTONUP, XBUTTON2};
    }
    return {0, 0, 0, 0};
}

constexpr WPARAM kButtonFlags = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON | MK_XBUTTON1 | MK_XBUTTON2;
constexpr WPARAM kModifierFlags = MK_SHIFT | MK_CONTROL;

}  // namespace

void PointerState::SetClientSize(int width, int height)
{
    width_ = width;
    height_ = height;
}

void PointerState::SetModifiers(bool shift, bool control)
{
    modifiers_ = (shift ? MK_SHIFT : 0) | (control ? MK_CONTROL : 0);
}

void PointerState::SetReportedKeys(WPARAM keys, WPARAM reported)
{
    buttons_ = (buttons_ & ~(reported & kButtonFlags)) | (keys & reported & kButtonFlags);
    modifiers_ = (modifiers_ & ~(reported & kModifierFlags)) | (keys & reported & kModifierFlags);
}

bool PointerState::Inside(int x, int y) const
{
    return x >= 0 && y >= 0 && x < width_ && y < height_;
}

bool PointerState::Move(int x, int y, MouseMessage *out)
{
    if (!Inside(x, y)) {
        havePosition_ = false;
        return false;
    }
    // The window system may report one position twice (a crossing and then a
    // motion to the same point); Windows sends a move only when it changes.
    if (havePosition_ && x == lastX_ && y == lastY_)
        return false;
    havePosition_ = true;
    lastX_ = x;
    lastY_ = y;
    *out = MouseMessage{WM_MOUSEMOVE, x, y, Keys()};
    return true;
}

bool PointerState::Button(MouseButton button, bool down, int x, int y, MouseMessage *out)
{
    ButtonInfo info = InfoOf(button);
    if (down)
        buttons_ |= info.flag;
    else
        buttons_ &= ~info.flag;
    if (!Inside(x, y))
        return false;
    havePosition_ = true;
    lastX_ = x;
    lastY_ = y;
    *out = MouseMessage{down ? info.down : info.up, x, y,
                        Keys() | (static_cast<WPARAM>(info.xbutton) << 16)};
    return true;
}

bool PointerState::Press(MouseButton button, int x, int y, MouseMessage *out)
{
    return Button(button, true, x, y, out);
}

bool PointerState::Release(MouseButton button, int x, int y, MouseMessage *out)
{
    return Button(button, false, x, y, out);
}

void PointerState::PointerLeft()
{
    havePosition_ = false;
}

}  // namespace kp::host
