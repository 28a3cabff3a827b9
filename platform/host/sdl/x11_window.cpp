// What the host sets up on X: how X errors are taken, the scale, and on each
// window its placement hints, bit gravity, input selection and the image
// that shows its pixels.
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "../../user/host_events.h"
#include "display_scale.h"
#include "sdl_host.h"
#include "x11_errors.h"
#include "x11_present.h"

namespace kp::host {

namespace {

// A protocol error is a request that failed, most often one about a window
// that another client destroyed a moment before (the window manager's frame
// of a window that was unmapped): nothing to end the program for. Xlib's
// default handler exits; this one counts it and lets the program carry on.
int AbsorbXError(Display *, XErrorEvent *)
{
    x11::CountError();
    return 0;
}

// The connection itself is gone: nothing can be shown or read any more.
// Xlib ends the process when this returns, so it ends it here, with one line.
int ConnectionLost(Display *display)
{
    char line[256];
    const char *name = DisplayString(display);
    int n = std::snprintf(line, sizeof line, "%s: lost the connection to the X server %s\n",
                          program_invocation_short_name, name ? name : "");
    if (n > 0)
        (void)!write(STDERR_FILENO, line, std::min<size_t>(n, sizeof line - 1));
    _exit(1);
}

// CW_USEDEFAULT: the window manager places the window. SDL marks its
// (centred) position as the user's, which window managers obey, and a size
// the user gave is one they do not shrink to fit a small screen; the size is
// only the program's wish.
void LeavePlacementToWindowManager(Display *display, ::Window window, SDL_Window *sdlWindow)
{
    XSizeHints *hints = XAllocSizeHints();
    if (hints == nullptr)
        return;
    long supplied = 0;
    if (!XGetWMNormalHints(display, window, hints, &supplied))
        hints->flags = 0;
    hints->flags &= ~(USPosition | PPosition | USSize);
    hints->flags |= PSize;
    SDL_GetWindowSize(sdlWindow, &hints->width, &hints->height);
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
}

}  // namespace

void SdlHost::StartX11()
{
    // Installed after SDL's: SDL puts its own back after the calls for which
    // it sets another.
    XSetErrorHandler(AbsorbXError);
    XSetIOErrorHandler(ConnectionLost);
    // The scale, from GDK_SCALE or the Xft.dpi resource that the desktop
    // sets on the server (SDL's connection is not reachable before a window
    // exists, so a short one of the host's own reads it).
    const char *resources = nullptr;
    Display *display = XOpenDisplay(nullptr);
    if (display != nullptr)
        resources = XResourceManagerString(display);
    scale_ = X11Scale(std::getenv("GDK_SCALE"), resources);
    if (display != nullptr)
        XCloseDisplay(display);
}

// Whether a window manager (one that follows the EWMH) runs on the screen.
bool SdlHost::WindowManagerRuns()
{
    const Atom check = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    const int status = XGetWindowProperty(display_, DefaultRootWindow(display_), check, 0, 1,
                                          False, XA_WINDOW, &type, &format, &count, &after, &data);
    if (data != nullptr)
        XFree(data);
    return status == Success && count > 0;
}

bool SdlHost::SetUpX11Window(SdlWindow &w)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(w.window, &info) || info.subsystem != SDL_SYSWM_X11) {
        Fail("cannot reach the X window", SDL_GetError());
        return false;
    }
    Display *display = info.info.x11.display;
    display_ = display;
    w.xwindow = info.info.x11.window;
    // Keep the window's content where it is when it changes size, so that
    // the server asks to repaint only the strips it uncovers.
    XSetWindowAttributes attributes;
    attributes.bit_gravity = NorthWestGravity;
    XChangeWindowAttributes(display, w.xwindow, CWBitGravity, &attributes);
    // SDL asks XInput 2 for the window's touch and motion events. While the
    // pointer is not grabbed the server then sends moves as XInput 2 events,
    // and the core MotionNotify that the host reads never comes. So only
    // core pointer events: touch screens still work through the pointer
    // events that the server makes from touches.
    unsigned char none[XIMaskLen(XI_LASTEVENT)] = {};
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof none), none};
    XISelectEvents(display, w.xwindow, &mask, 1);
    // Window managers keep the window within what USER lets it be.
    const SIZE most = kp::user::HostMaxClientSize(w.hwnd);
    SDL_SetWindowMaximumSize(w.window, DeviceLength(int(most.cx), scale_),
                             DeviceLength(int(most.cy), scale_));
    LeavePlacementToWindowManager(display, w.xwindow, w.window);

    char reason[512];
    auto *presenter =
        X11ImagePresenter::Make(display, w.xwindow, scale_, w.surface, reason, sizeof reason);
    if (presenter == nullptr) {
        Fail("cannot show a window on this screen", reason);
        return false;
    }
    w.presenter.reset(presenter);
    return true;
}

}  // namespace kp::host
