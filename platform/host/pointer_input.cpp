#include "pointer_input.h"

#include "../user/host_events.h"

namespace kp::host {

bool DeliverMouse(HWND hwnd, const MouseMessage *messages, int count)
{
    for (int i = 0; i < count; ++i) {
        const MouseMessage &m = messages[i];
        if (m.message == WM_MOUSEMOVE)
            kp::user::HostMouseMove(hwnd, m.x, m.y, m.keys);
        else
            kp::user::HostMouseButton(hwnd, m.message, m.x, m.y, m.keys);
    }
    return count > 0;
}

bool PointerMoved(HostWindow &w, int x, int y)
{
    MouseMessage m;
    return w.pointer.Move(x, y, &m) && DeliverMouse(w.hwnd, &m, 1);
}

bool PointerButton(HostWindow &w, MouseButton button, bool down, int x, int y)
{
    MouseMessage m;
    const bool message =
        down ? w.pointer.Press(button, x, y, &m) : w.pointer.Release(button, x, y, &m);
    return message && DeliverMouse(w.hwnd, &m, 1);
}

}  // namespace kp::host
