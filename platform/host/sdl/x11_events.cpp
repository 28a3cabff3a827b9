// X11 input straight from the X events that SDL passes on (SDL_SYSWMEVENT),
// in order with everything else: one message per X event, never merged,
// with the server's button and modifier state of that moment, including
// buttons that went down over another window. The window never captures the
// pointer (SDL's automatic capture is turned off); while a button pressed in
// the window is held the server still reports positions outside it, which
// the window's pointer state drops, as Windows sends nothing there to a
// window without capture. Exposures and Alt+F4 come from the X events too,
// the exposures with their rectangles.
#include <poll.h>

#include <algorithm>

#include "../../user/host_events.h"
#include "../end_signals.h"
#include "../pointer_input.h"
#include "display_scale.h"
#include "sdl_host.h"
#include "x11_input.h"

namespace kp::host {

SdlWindow *SdlHost::FindX11Window(uint32_t xwindow) const
{
    if (xwindow == 0)
        return nullptr;
    return windows_.Find<SdlWindow>([xwindow](const SdlWindow &w) { return w.xwindow == xwindow; });
}

// What the host needs of an X event of one of its windows (the event itself
// lives only while SDL hands it over); false for the others.
bool SdlHost::RecordX11(const SDL_SysWMmsg &msg, HostEvent *out)
{
    if (msg.subsystem != SDL_SYSWM_X11)
        return false;
    const XEvent &x = msg.msg.x11.event;
    HostEvent r;
    r.type = static_cast<uint32_t>(x.type);
    r.window = static_cast<uint32_t>(x.xany.window);
    if (FindX11Window(r.window) == nullptr)
        return false;
    switch (x.type) {
    case MotionNotify:
        r = HostEvent{r.type, r.window, x.xmotion.x, x.xmotion.y, 0, 0, x.xmotion.state, 0};
        break;
    case EnterNotify:
    case LeaveNotify:
        r = HostEvent{r.type, r.window, x.xcrossing.x,     x.xcrossing.y,
                      0,      0,        x.xcrossing.state, static_cast<uint32_t>(x.xcrossing.mode)};
        break;
    case ButtonPress:
    case ButtonRelease:
        r = HostEvent{r.type, r.window, x.xbutton.x,     x.xbutton.y,
                      0,      0,        x.xbutton.state, x.xbutton.button};
        break;
    case KeyPress: {
        XKeyEvent key = x.xkey;
        r.state = key.state;
        r.detail = static_cast<uint32_t>(XLookupKeysym(&key, 0));
        break;
    }
    case Expose:
        r = HostEvent{r.type,          r.window,         x.xexpose.x, x.xexpose.y,
                      x.xexpose.width, x.xexpose.height, 0,           0};
        break;
    default:
        return false;
    }
    *out = r;
    return true;
}

// Positions come in device pixels; the program's are logical.
bool SdlHost::HandleX11Pointer(SdlWindow &w, const HostEvent &x)
{
    const int px = FloorDiv(x.x, scale_), py = FloorDiv(x.y, scale_);
    w.pointer.SetReportedKeys(x11::KeysFromState(x.state), x11::kReportedKeys);
    switch (x.type) {
    case EnterNotify:
        // Moving into the window reports only the crossing, at the point
        // where the pointer now is: for Windows that is a move.
        return static_cast<int>(x.detail) == NotifyNormal && PointerMoved(w, px, py);
    case LeaveNotify:
        w.pointer.PointerLeft();
        return false;
    case ButtonPress:
    case ButtonRelease: {
        // The state is the one before this button changed.
        MouseButton button;
        return x11::ButtonFromNumber(x.detail, &button) &&
               PointerButton(w, button, x.type == ButtonPress, px, py);
    }
    default:  // MotionNotify
        return PointerMoved(w, px, py);
    }
}

bool SdlHost::HandleX11(const HostEvent &x)
{
    SdlWindow *w = FindX11Window(x.window);
    if (w == nullptr)
        return false;
    if (x.type == KeyPress) {
        if (!x11::IsCloseShortcut(x.detail, x.state))
            return false;
        kp::user::HostCloseRequested(w->hwnd);
        return true;
    }
    if (x.type != Expose)
        return HandleX11Pointer(*w, x);
    if (w->state == ShowState::Minimized)
        return false;
    RECT r = LogicalCover(RECT{x.x, x.y, x.x + x.a, x.y + x.b}, scale_);
    r.right = std::min<LONG>(r.right, w->width);
    r.bottom = std::min<LONG>(r.bottom, w->height);
    if (r.left >= r.right || r.top >= r.bottom)
        return false;
    kp::user::HostExposed(w->hwnd, r);
    return true;
}

bool SdlHost::XlibHasQueued()
{
    return display_ == nullptr || XEventsQueued(display_, QueuedAlready) > 0;
}

// Waits until the X connection has something to read, or SIGINT or SIGTERM
// arrives. Xlib may hold events it read already: then there is no wait.
void SdlHost::WaitForDisplay()
{
    const int signals = EndSignalDescriptor();
    if (display_ == nullptr) {
        // No window yet: nothing but a signal can come.
        pollfd fd = {signals, POLLIN, 0};
        poll(&fd, signals >= 0 ? 1 : 0, 100);
        return;
    }
    XFlush(display_);
    // Not only Xlib's queue: events that came in with the reply to an
    // earlier request (the present's sync) wait in XCB's buffer, where
    // neither Xlib's queue nor the connection shows them; reading takes
    // them in. Only then may the wait rest on the connection alone.
    if (XEventsQueued(display_, QueuedAfterReading) > 0)
        return;
    pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {signals, POLLIN, 0}};
    poll(fds, signals >= 0 ? 2 : 1, -1);
}

}  // namespace kp::host
