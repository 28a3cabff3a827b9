// X11: input straight from the X events that SDL passes on
// (SDL_SYSWMEVENT), in order with everything else: one message per X event,
// never merged, with the server's button and modifier state of that moment,
// including buttons that went down over another window. The window never
// captures the pointer (SDL's automatic capture is turned off); while a
// button pressed in the window is held the server still reports positions
// outside it, which are dropped, as Windows sends nothing there to a window
// without capture. Only core pointer events are selected: SDL's XInput 2
// selection on the window would divert moves away from them. Exposures and
// Alt+F4 come from the X events too, the exposures with their rectangles.
//
// Also here: the scale (X has none of its own; display_scale.h), placement
// by the window manager, X errors, and the window's own image where SDL
// cannot make a window surface for the screen's visual.
#include "sdl_host.h"

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#endif

#include <windows.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "../../user/host_events.h"
#include "../display_scale.h"
#include "../x11_input.h"

namespace kp::host {

#if defined(SDL_VIDEO_DRIVER_X11)
namespace {

// A protocol error is a request that failed, most often one about a window
// that another client destroyed a moment before (the window manager's frame
// of a window that was unmapped): nothing to end the program for. Xlib's
// default handler exits; this one lets the program carry on.
int AbsorbXError(Display *, XErrorEvent *)
{
    return 0;
}

// The connection itself is gone: nothing can be shown or read any more.
// Xlib ends the process when this returns, so it ends it here, with one line.
[[noreturn]] void EndOnLostConnection(const char *display)
{
    char line[256];
    int n = std::snprintf(line, sizeof line, "%s: lost the connection to the X server %s\n",
                          program_invocation_short_name, display ? display : "");
    if (n > 0)
        (void)!write(STDERR_FILENO, line, std::min<size_t>(n, sizeof line - 1));
    _exit(1);
}

int ConnectionLost(Display *display)
{
    EndOnLostConnection(DisplayString(display));
}

// SIGINT and SIGTERM close the windows, as SDL_QUIT does elsewhere. SDL's
// own handler only marks the signal for its next look at the queue, which a
// host waiting on the X connection (poll) would not take until the next X
// event; this one also writes to a pipe that the wait watches.
volatile sig_atomic_t signalled = 0;
int signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const int saved = errno;
    signalled = 1;
    const char byte = 0;
    (void)!write(signalPipe[1], &byte, 1);
    errno = saved;
}

void CatchSignals()
{
    if (signalPipe[0] < 0 && pipe2(signalPipe, O_NONBLOCK | O_CLOEXEC) != 0)
        signalPipe[0] = signalPipe[1] = -1;
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

const char *VisualName(const Visual *visual, int depth, char *buffer, size_t size)
{
    static constexpr const char *kClasses[] = {"StaticGray",  "GrayScale", "StaticColor",
                                               "PseudoColor", "TrueColor", "DirectColor"};
    const int c = visual != nullptr ? visual->c_class : -1;
    std::snprintf(buffer, size, "%d-bit %s", depth, c >= 0 && c < 6 ? kClasses[c] : "unknown");
    return buffer;
}

}  // namespace

void SdlHost::StartX11()
{
    // Installed after SDL's: SDL puts its own back after the calls for which
    // it sets another.
    XSetErrorHandler(AbsorbXError);
    XSetIOErrorHandler(ConnectionLost);
    CatchSignals();
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

void SdlHost::SetUpX11Window(HostWindow *w)
{
    if (!x11_)
        return;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(w->window, &info) || info.subsystem != SDL_SYSWM_X11)
        return;
    Display *display = info.info.x11.display;
    w->display = display;
    w->xwindow = info.info.x11.window;
    display_ = display;
    XWindowAttributes window;
    if (XGetWindowAttributes(display, w->xwindow, &window)) {
        w->visual = window.visual;
        w->depth = window.depth;
    }
    // Keep the window's content where it is when it changes size, so that
    // the server asks to repaint only the strips it uncovers.
    XSetWindowAttributes attributes;
    attributes.bit_gravity = NorthWestGravity;
    XChangeWindowAttributes(display, w->xwindow, CWBitGravity, &attributes);
    // SDL asks XInput 2 for the window's touch and motion events. While the
    // pointer is not grabbed the server then sends moves as XInput 2 events,
    // which SDL turns into motion events of its own, and the core
    // MotionNotify that the host reads never comes. So only core pointer
    // events: touch screens still work through the pointer events that the
    // server makes from touches.
    unsigned char none[XIMaskLen(XI_LASTEVENT)] = {};
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof none), none};
    XISelectEvents(display, w->xwindow, &mask, 1);
    // CW_USEDEFAULT: the window manager places the window. SDL marks its
    // (centred) position as the user's, which window managers obey, and a
    // size the user gave is one they do not shrink to fit a small screen;
    // the size is only the program's wish.
    if (XSizeHints *hints = XAllocSizeHints()) {
        long supplied = 0;
        if (!XGetWMNormalHints(display, w->xwindow, hints, &supplied))
            hints->flags = 0;
        hints->flags &= ~(USPosition | PPosition | USSize);
        hints->flags |= PSize;
        SDL_GetWindowSize(w->window, &hints->width, &hints->height);
        XSetWMNormalHints(display, w->xwindow, hints);
        XFree(hints);
    }
}

void SdlHost::ReleaseX11Window(HostWindow *w)
{
    if (w->image != nullptr) {
        XDestroyImage(w->image);  // frees its pixels too
        w->image = nullptr;
    }
    if (w->gc != nullptr) {
        XFreeGC(w->display, w->gc);
        w->gc = nullptr;
    }
}

HostWindow *SdlHost::FindX11Window(uint32_t xwindow)
{
    for (HostWindow *w : windows_)
        if (w->xwindow == xwindow && xwindow != 0)
            return w;
    return nullptr;
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
        r.x = x.xmotion.x;
        r.y = x.xmotion.y;
        r.state = x.xmotion.state;
        break;
    case EnterNotify:
    case LeaveNotify:
        r.x = x.xcrossing.x;
        r.y = x.xcrossing.y;
        r.state = x.xcrossing.state;
        r.detail = static_cast<uint32_t>(x.xcrossing.mode);
        break;
    case ButtonPress:
    case ButtonRelease:
        r.x = x.xbutton.x;
        r.y = x.xbutton.y;
        r.state = x.xbutton.state;
        r.detail = x.xbutton.button;
        break;
    case KeyPress: {
        XKeyEvent key = x.xkey;
        r.state = key.state;
        r.detail = static_cast<uint32_t>(XLookupKeysym(&key, 0));
        break;
    }
    case Expose:
        r.x = x.xexpose.x;
        r.y = x.xexpose.y;
        r.a = x.xexpose.width;
        r.b = x.xexpose.height;
        break;
    default:
        return false;
    }
    *out = r;
    return true;
}

// Positions come in device pixels; the program's are logical.
bool SdlHost::HandleX11(const HostEvent &x)
{
    HostWindow *w = FindX11Window(x.window);
    if (w == nullptr)
        return false;
    const int px = FloorDiv(x.x, scale_), py = FloorDiv(x.y, scale_);
    MouseMessage m;
    bool message = false;
    switch (x.type) {
    case MotionNotify:
        w->pointer.SetReportedKeys(x11::KeysFromState(x.state), x11::kReportedKeys);
        message = w->pointer.Move(px, py, &m);
        break;
    case EnterNotify:
        // Moving into the window reports only the crossing, at the point
        // where the pointer now is: for Windows that is a move.
        if (static_cast<int>(x.detail) != NotifyNormal)
            return false;
        w->pointer.SetReportedKeys(x11::KeysFromState(x.state), x11::kReportedKeys);
        message = w->pointer.Move(px, py, &m);
        break;
    case LeaveNotify:
        w->pointer.PointerLeft();
        return false;
    case ButtonPress:
    case ButtonRelease: {
        MouseButton button;
        if (!x11::ButtonFromNumber(x.detail, &button))
            return false;
        // The state is the one before this button changed.
        w->pointer.SetReportedKeys(x11::KeysFromState(x.state), x11::kReportedKeys);
        message = x.type == ButtonPress ? w->pointer.Press(button, px, py, &m)
                                        : w->pointer.Release(button, px, py, &m);
        break;
    }
    case KeyPress:
        if (!x11::IsCloseShortcut(x.detail, x.state))
            return false;
        kp::user::HostCloseRequested(w->hwnd);
        return true;
    case Expose: {
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
    default:
        return false;
    }
    if (message)
        Deliver(w->hwnd, m);
    return message;
}

// Waits until the X connection has something to read, or SIGINT or SIGTERM
// arrives. Xlib may hold events it read already: then there is no wait.
void SdlHost::WaitX11()
{
    XFlush(display_);
    // Not only Xlib's queue: events that came in with the reply to an
    // earlier request (the present's sync) wait in XCB's buffer, where
    // neither Xlib's queue nor the connection shows them; reading takes
    // them in. Only then may the wait rest on the connection alone.
    if (XEventsQueued(display_, QueuedAfterReading) > 0 || signalled != 0)
        return;
    pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {signalPipe[0], POLLIN, 0}};
    poll(fds, signalPipe[0] >= 0 ? 2 : 1, -1);
}

// Whether SIGINT or SIGTERM arrived since the last call.
bool SdlHost::TakeX11Signal()
{
    if (signalled == 0)
        return false;
    signalled = 0;
    char drain[64];
    while (read(signalPipe[0], drain, sizeof drain) > 0) {
    }
    return true;
}

// SDL has no window surface for this screen (it knows no 30-bit format):
// the host shows the window through an X image of its own, in the format of
// the window's visual, if that visual has colour channels of at least 5 bits
// that the host can write (TrueColor, or DirectColor, whose colour map SDL
// fills with straight ramps). False, with the reason, where it has not: an
// 8-bit PseudoColor screen has no colours to draw with but a palette's.
bool SdlHost::UseOwnImage(HostWindow *w, const char *sdlReason)
{
    char screen[64] = "of an unknown kind";
    if (w->display != nullptr && w->visual != nullptr) {
        const int number = DefaultScreen(w->display);
        VisualName(DefaultVisual(w->display, number), DefaultDepth(w->display, number), screen,
                   sizeof screen);
        int bits = 0, count = 0;
        if (XPixmapFormatValues *formats = XListPixmapFormats(w->display, &count)) {
            for (int i = 0; i < count; ++i)
                if (formats[i].depth == w->depth)
                    bits = formats[i].bits_per_pixel;
            XFree(formats);
        }
        PixelLayout layout;
        layout.bytesPerPixel = bits / 8;
        layout.redMask = static_cast<uint32_t>(w->visual->red_mask);
        layout.greenMask = static_cast<uint32_t>(w->visual->green_mask);
        layout.blueMask = static_cast<uint32_t>(w->visual->blue_mask);
        const int kind = w->visual->c_class;
        const bool enough = std::popcount(layout.redMask) >= 5 &&
                            std::popcount(layout.greenMask) >= 5 &&
                            std::popcount(layout.blueMask) >= 5;
        if ((kind == TrueColor || kind == DirectColor) && bits % 8 == 0 && enough &&
            PixelConverter::Supports(layout)) {
            w->ownImage = true;
            return true;
        }
    }
    char reason[512];
    std::snprintf(reason, sizeof reason, "the screen is %s, which SDL cannot show a window on (%s)",
                  screen, sdlReason);
    Fail("cannot show a window on this screen", reason);
    return false;
}

bool SdlHost::OwnImage(HostWindow *w, uint8_t **pixels, int *pitch, int *width, int *height,
                       PixelLayout *layout)
{
    int deviceWidth, deviceHeight;
    SDL_GetWindowSize(w->window, &deviceWidth, &deviceHeight);
    if (w->image == nullptr || w->image->width != deviceWidth || w->image->height != deviceHeight) {
        ReleaseX11Window(w);
        w->gc = XCreateGC(w->display, w->xwindow, 0, nullptr);
        if (w->gc == nullptr || deviceWidth <= 0 || deviceHeight <= 0)
            return false;
        XImage *image = XCreateImage(w->display, w->visual, static_cast<unsigned>(w->depth),
                                     ZPixmap, 0, nullptr, static_cast<unsigned>(deviceWidth),
                                     static_cast<unsigned>(deviceHeight), 32, 0);
        if (image == nullptr)
            return false;
        // Pixels in this machine's byte order; Xlib swaps them for a server
        // of the other one.
        image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
        // Memory that cannot be had leaves the window unpainted, nothing more.
        image->data = static_cast<char *>(
            std::calloc(static_cast<size_t>(image->bytes_per_line), deviceHeight));
        if (image->data == nullptr) {
            XDestroyImage(image);
            return false;
        }
        w->image = image;
    }
    *pixels = reinterpret_cast<uint8_t *>(w->image->data);
    *pitch = w->image->bytes_per_line;
    *width = w->image->width;
    *height = w->image->height;
    layout->bytesPerPixel = w->image->bits_per_pixel / 8;
    layout->redMask = static_cast<uint32_t>(w->image->red_mask);
    layout->greenMask = static_cast<uint32_t>(w->image->green_mask);
    layout->blueMask = static_cast<uint32_t>(w->image->blue_mask);
    layout->alphaMask = 0;
    return true;
}

void SdlHost::PutOwnImage(HostWindow *w, const SDL_Rect *rects, int count)
{
    for (int i = 0; i < count; ++i) {
        const SDL_Rect &r = rects[i];
        XPutImage(w->display, w->xwindow, w->gc, w->image, r.x, r.y, r.x, r.y,
                  static_cast<unsigned>(r.w), static_cast<unsigned>(r.h));
    }
    XFlush(w->display);
}
#else
void SdlHost::WaitX11() {}
bool SdlHost::TakeX11Signal()
{
    return false;
}
void SdlHost::StartX11() {}
void SdlHost::SetUpX11Window(HostWindow *) {}
void SdlHost::ReleaseX11Window(HostWindow *) {}
bool SdlHost::RecordX11(const SDL_SysWMmsg &, HostEvent *)
{
    return false;
}
bool SdlHost::HandleX11(const HostEvent &)
{
    return false;
}
bool SdlHost::UseOwnImage(HostWindow *, const char *sdlReason)
{
    Fail("cannot show a window on this screen", sdlReason);
    return false;
}
bool SdlHost::OwnImage(HostWindow *, uint8_t **, int *, int *, int *, PixelLayout *)
{
    return false;
}
void SdlHost::PutOwnImage(HostWindow *, const SDL_Rect *, int) {}
#endif

}  // namespace kp::host
