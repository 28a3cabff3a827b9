// What a host knows about the mouse between window-system events: the MK_*
// key state in event order, and which pointer events become client-area mouse
// messages. Windows sends a window no mouse messages for positions outside its
// client area unless the window captured the mouse, which this program never
// does; window systems, though, keep reporting a pointer that was pressed in a
// window while it is dragged outside, so those reports are dropped here.
#pragma once

#include <windows.h>

namespace kp::host {

enum class MouseButton { Left, Right, Middle, X1, X2 };

struct MouseMessage {
    UINT message = 0;  // WM_MOUSEMOVE or one of the WM_xBUTTONDOWN/UP messages
    int x = 0;
    int y = 0;
    WPARAM keys = 0;  // the MK_* state after the event, as the message's wParam
};

class PointerState {
  public:
    void SetClientSize(int width, int height);

    // The modifier keys as they are after a key event.
    void SetModifiers(bool shift, bool control);

    // The state that the window system reports with a pointer event, as MK_*
    // flags, for the flags in reported (the rest keep what the host tracked).
    // A window system that reports the buttons knows about presses made
    // outside the window, which the host never sees as events.
    void SetReportedKeys(WPARAM keys, WPARAM reported);

    // Each returns true and fills *out when the event becomes a message.
    bool Move(int x, int y, MouseMessage *out);
    bool Press(MouseButton button, int x, int y, MouseMessage *out);
    bool Release(MouseButton button, int x, int y, MouseMessage *out);

    // The pointer left the client area: the next move inside is reported even
    // if it comes back to the last reported point.
    void PointerLeft();

    WPARAM Keys() const { return buttons_ | modifiers_; }

  private:
    bool Inside(int x, int y) const;
    bool Button(MouseButton button, bool down, int x, int y, MouseMessage *out);

    int width_ = 0;
    int height_ = 0;
    WPARAM buttons_ = 0;
    WPARAM modifiers_ = 0;
    bool havePosition_ = false;  // lastX_/lastY_ hold the last reported point
    int lastX_ = 0;
    int lastY_ = 0;
};

}  // namespace kp::host
