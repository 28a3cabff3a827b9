// Input on X11 straight from the X events that SDL passes on
// (SDL_SYSWMEVENT), in order with everything else: one message per X event,
// never merged, with the server's button and modifier state of that moment,
// including buttons that went down over another window. The window never
// captures the pointer (SDL's automatic capture is turned off); while a
// button pressed in the window is held the server still reports positions
// outside it, which are dropped, as Windows sends nothing there to a window
// without capture. Only core pointer events are selected: SDL's XInput 2
// selection on the window would divert moves away from them. Exposures and
// Alt+F4 come from the X events too, the exposures with their rectangles.
#include "sdl_host.h"

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/extensions/XInput2.h>
#endif

#include <windows.h>

#include <algorithm>

#include "../../user/host_events.h"
#include "../x11_input.h"

namespace kp::host {

#if defined(SDL_VIDEO_DRIVER_X11)
void SdlHost::SetUpX11Window(HostWindow *w)
{
    if (!x11_)
        return;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(w->window, &info) || info.subsystem != SDL_SYSWM_X11)
        return;
    w->xwindow = info.info.x11.window;
    display_ = info.info.x11.display;
    // Keep the window's content where it is when it changes size, so that
    // the server asks to repaint only the strips it uncovers.
    XSetWindowAttributes attributes;
    attributes.bit_gravity = NorthWestGravity;
    XChangeWindowAttributes(info.info.x11.display, w->xwindow, CWBitGravity, &attributes);
    // SDL asks XInput 2 for the window's touch and motion events. While the
    // pointer is not grabbed the server then sends moves as XInput 2 events,
    // which SDL turns into motion events of its own, and the core
    // MotionNotify that the host reads never comes. So only core pointer
    // events: touch screens still work through the pointer events that the
    // server makes from touches.
    unsigned char none[XIMaskLen(XI_LASTEVENT)] = {};
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof none), none};
    XISelectEvents(info.info.x11.display, w->xwindow, &mask, 1);
}

HostWindow *SdlHost::FindX11Window(::Window xwindow)
{
    for (HostWindow *w : windows_)
        if (w->xwindow == xwindow && xwindow != 0)
            return w;
    return nullptr;
}

bool SdlHost::HandleX11(const XEvent &x)
{
    HostWindow *w = FindX11Window(x.xany.window);
    if (w == nullptr)
        return false;
    MouseMessage m;
    bool message = false;
    switch (x.type) {
    case MotionNotify:
        w->pointer.SetReportedKeys(x11::KeysFromState(x.xmotion.state), x11::kReportedKeys);
        message = w->pointer.Move(x.xmotion.x, x.xmotion.y, &m);
        break;
    case EnterNotify:
        // Moving into the window reports only the crossing, at the point
        // where the pointer now is: for Windows that is a move.
        if (x.xcrossing.mode != NotifyNormal)
            return false;
        w->pointer.SetReportedKeys(x11::KeysFromState(x.xcrossing.state), x11::kReportedKeys);
        message = w->pointer.Move(x.xcrossing.x, x.xcrossing.y, &m);
        break;
    case LeaveNotify:
        w->pointer.PointerLeft();
        return false;
    case ButtonPress:
    case ButtonRelease: {
        MouseButton button;
        if (!x11::ButtonFromNumber(x.xbutton.button, &button))
            return false;
        // The state is the one before this button changed.
        w->pointer.SetReportedKeys(x11::KeysFromState(x.xbutton.state), x11::kReportedKeys);
        message = x.type == ButtonPress ? w->pointer.Press(button, x.xbutton.x, x.xbutton.y, &m)
                                        : w->pointer.Release(button, x.xbutton.x, x.xbutton.y, &m);
        break;
    }
    case KeyPress: {
        XKeyEvent key = x.xkey;
        if (!x11::IsCloseShortcut(XLookupKeysym(&key, 0), key.state))
            return false;
        kp::user::HostCloseRequested(w->hwnd);
        return true;
    }
    case Expose: {
        if (w->state == ShowState::Minimized)
            return false;
        RECT r{x.xexpose.x, x.xexpose.y, x.xexpose.x + x.xexpose.width,
               x.xexpose.y + x.xexpose.height};
        r.right = std::min<LONG>(r.right, w->width);
        r.bottom = std::min<LONG>(r.bottom, w->height);
        if (r.left >= r.right || r.top >= r.bottom)
            return false;
        kp::user::HostExposed(w->hwnd, r);
        return true;
    }
    default:
        return false;
    }
    if (message)
        Deliver(w->hwnd, m);
    return message;
}
#else
void SdlHost::SetUpX11Window(HostWindow *) {}
#endif

}  // namespace kp::host
