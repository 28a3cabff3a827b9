// Starting SDL, the host's windows and its event loop.
//
// Pixels. A window's client pixels live in its surface (USER's); whenever
// the formats agree and nothing is scaled, that surface is SDL's own window
// surface, the memory the display reads (on X11 an image shared with the
// server), so painting writes straight into it and showing a change is one
// request for its rectangle (sdl_present.cpp).
//
// Presenting happens at the start of each PumpEvents, that is once the layer
// has dealt with everything it was given and painted, so a burst of input
// costs one update of the window, not one per event.
//
// Events. Every event SDL would queue goes into the host's own queue as SDL
// produces it (sdl_queue.cpp), so that none is lost however many arrive at
// once; the host hands them to USER from there, at most kMaxEventsPerPump a
// call.
//
// Failure. Where nothing can be shown (no display, no window, no window
// surface for the screen) the host says why through Failure(), and start-up
// ends the process with exit code 1.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "../../user/host_events.h"
#include "../display_scale.h"
#include "sdl_host.h"
#include "x11_queue_memory.h"

namespace kp::host {

namespace {

constexpr const char *kAppId = "kelvane-paint";  // WM_CLASS, app id, desktop entry name
// At most this many events reach the layer per PumpEvents; the rest stay
// queued, in order, for the next call. USER asks again as soon as it has
// dealt with them, and its queue never overflows.
constexpr int kMaxEventsPerPump = 1024;
// After a backlog of at least this many events (a program that was stopped
// while the user went on) the memory that reading it took is given back.
constexpr size_t kLargeBacklog = 16384;
// The desktop drivers, in the order they are tried: on a Wayland session
// natively (crisp at any scale) rather than through Xwayland.
constexpr const char *kDesktopDrivers[] = {"wayland", "x11"};

void DiscardLog(void *, int, SDL_LogPriority, const char *) {}

bool HasEnv(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Whether a desktop video driver has a display to talk to. Only desktop
// drivers are tried on their own: a console driver (KMSDRM) would take over
// the screen, and trying Wayland without a compositor makes libwayland print
// an error. A driver named in SDL_VIDEODRIVER is used as it is.
bool DesktopDriverUsable(const char *driver)
{
    if (std::strcmp(driver, "x11") == 0)
        return HasEnv("DISPLAY");
    if (std::strcmp(driver, "wayland") == 0) {
        // A display name that is not a path is a socket in XDG_RUNTIME_DIR.
        const char *name = std::getenv("WAYLAND_DISPLAY");
        if (HasEnv("WAYLAND_SOCKET") || (name != nullptr && name[0] == '/'))
            return true;
        return HasEnv("WAYLAND_DISPLAY") && HasEnv("XDG_RUNTIME_DIR");
    }
    return false;
}

bool SdlHasDriver(const char *driver)
{
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const char *name = SDL_GetVideoDriver(i);
        if (name != nullptr && std::strcmp(name, driver) == 0)
            return true;
    }
    return false;
}

}  // namespace

void Deliver(HWND hwnd, const MouseMessage &m)
{
    if (m.message == WM_MOUSEMOVE)
        kp::user::HostMouseMove(hwnd, m.x, m.y, m.keys);
    else
        kp::user::HostMouseButton(hwnd, m.message, m.x, m.y, m.keys);
}

SdlHost::~SdlHost()
{
    for (HostWindow *w : windows_) {
        ReleaseX11Window(w);
        SDL_DestroyWindow(w->window);
        delete w;
    }
    windows_.clear();
    if (video_ == Video::Running) {
        SDL_SetEventFilter(nullptr, nullptr);
        SDL_Quit();
    }
}

void SdlHost::Fail(const char *what, const char *reason)
{
    if (failure_[0] != '\0')
        return;  // the first failure is the one that matters
    if (reason != nullptr && reason[0] != '\0')
        std::snprintf(failure_, sizeof failure_, "%s: %s", what, reason);
    else
        std::snprintf(failure_, sizeof failure_, "%s", what);
}

// Says which display could not be opened, and SDL's reason.
void SdlHost::FailToOpen(const char *driver, const char *reason)
{
    char what[256];
    const char *x = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    if (std::strcmp(driver, "x11") == 0)
        std::snprintf(what, sizeof what, "cannot open the X display \"%s\"", x ? x : "");
    else if (std::strcmp(driver, "wayland") == 0)
        std::snprintf(what, sizeof what, "cannot open the Wayland display \"%s\"",
                      wayland ? wayland : "");
    else
        std::snprintf(what, sizeof what, "cannot start SDL's video driver \"%s\"", driver);
    Fail(what, reason);
}

// SDL_Init with the first desktop driver that starts; on failure, says why.
bool SdlHost::InitVideo()
{
    const char *chosen = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (chosen != nullptr && chosen[0] != '\0') {
        if (SDL_Init(SDL_INIT_VIDEO) == 0)
            return true;
        FailToOpen(chosen, SDL_GetError());
        return false;
    }
    bool tried = false;
    for (const char *driver : kDesktopDrivers) {
        if (!SdlHasDriver(driver) || !DesktopDriverUsable(driver))
            continue;
        // Over an SDL_VIDEODRIVER that is set but empty, too.
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, driver, SDL_HINT_OVERRIDE);
        if (SDL_Init(SDL_INIT_VIDEO) == 0) {
            failure_[0] = '\0';  // an earlier driver's failure is no failure
            return true;
        }
        // The last driver's reason is the one reported.
        failure_[0] = '\0';
        FailToOpen(driver, SDL_GetError());
        tried = true;
    }
    if (!tried)
        Fail("no display to show a window on",
             HasEnv("WAYLAND_DISPLAY") ? "DISPLAY is not set, and WAYLAND_DISPLAY names a socket "
                                         "in XDG_RUNTIME_DIR, which is not set"
                                       : "neither DISPLAY nor WAYLAND_DISPLAY is set");
    return false;
}

bool SdlHost::StartVideo()
{
    if (video_ != Video::Untried)
        return video_ == Video::Running;
    video_ = Video::Failed;

    // The program prints nothing; SDL's own messages are dropped too.
    SDL_LogSetOutputFunction(DiscardLog, nullptr);
    // The window's class (X11 WM_CLASS, Wayland app id) names the desktop
    // entry, whatever the executable is called.
    setenv("SDL_VIDEO_X11_WMCLASS", kAppId, 1);
    setenv("SDL_VIDEO_WAYLAND_WMCLASS", kAppId, 1);
    SDL_SetHint(SDL_HINT_APP_NAME, "Kelvane Paint");
    // A desktop program: the screensaver keeps working, the compositor stays.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // Windows sends the click that activates a window, and does not capture
    // the mouse for a window that does not ask for it.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
    // Closing the window is the layer's business (WM_CLOSE), not a quit.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // Where SDL scales the window surface up to the display (Wayland at a
    // scale above 1), every pixel becomes a block, never a blend.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");

    if (!InitVideo())
        return false;
    SDL_StopTextInput();  // no text input: the program reads no keys

    const char *driver = SDL_GetCurrentVideoDriver();
#if defined(SDL_VIDEO_DRIVER_X11)
    x11_ = driver != nullptr && std::strcmp(driver, "x11") == 0;
#else
    (void)driver;
#endif
    if (x11_) {
        // X11 has a window framebuffer of its own, an image shared with the
        // server: use it rather than a texture of some renderer.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
        SDL_EventState(SDL_MOUSEMOTION, SDL_IGNORE);
        SDL_EventState(SDL_MOUSEBUTTONDOWN, SDL_IGNORE);
        SDL_EventState(SDL_MOUSEBUTTONUP, SDL_IGNORE);
        StartX11();
    }
    SDL_EventState(SDL_TEXTINPUT, SDL_IGNORE);
    SDL_EventState(SDL_TEXTEDITING, SDL_IGNORE);
    SDL_EventState(SDL_MOUSEWHEEL, SDL_IGNORE);
    SDL_EventState(SDL_POLLSENTINEL, SDL_IGNORE);
    wakeEvent_ = SDL_RegisterEvents(1);
    if (wakeEvent_ == static_cast<Uint32>(-1))
        wakeEvent_ = SDL_USEREVENT;
    SDL_SetEventFilter(Filter, this);
    video_ = Video::Running;
    return true;
}

void SdlHost::ScreenSize(int *width, int *height)
{
    *width = 0;
    *height = 0;
    if (!StartVideo())
        return;
    // In SDL's units: device pixels on X11 (scaled here), the output's
    // logical size on Wayland.
    SDL_DisplayMode mode;
    SDL_Rect bounds;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
        *width = mode.w / scale_;
        *height = mode.h / scale_;
    } else if (SDL_GetDisplayBounds(0, &bounds) == 0) {
        *width = bounds.w / scale_;
        *height = bounds.h / scale_;
    }
}

HostWindow *SdlHost::FindWindow(Uint32 id)
{
    for (HostWindow *w : windows_)
        if (w->id == id)
            return w;
    return nullptr;
}

// Takes on the size that the window really has now; true if it changed. SDL
// gives it in its units: device pixels where the host scales, logical ones
// where SDL does. A device size that is no multiple of the scale shows the
// last logical row and column in part.
bool SdlHost::FollowSize(HostWindow *w)
{
    int width, height;
    SDL_GetWindowSize(w->window, &width, &height);
    width = CeilDiv(width, scale_);
    height = CeilDiv(height, scale_);
    if (width == w->width && height == w->height)
        return false;
    w->width = width;
    w->height = height;
    w->pointer.SetClientSize(width, height);
    return true;
}

HostWindow *SdlHost::CreateHostWindow(HWND hwnd, const char *title, gdi::WindowSurface *surface,
                                      int clientWidth, int clientHeight)
{
    if (!StartVideo())
        return nullptr;
    clientWidth = std::max(clientWidth, 1);
    clientHeight = std::max(clientHeight, 1);
    SDL_Window *window =
        SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                         DeviceLength(clientWidth, scale_), DeviceLength(clientHeight, scale_),
                         SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (window == nullptr) {
        Fail("cannot create a window", SDL_GetError());
        return nullptr;
    }
    auto *w = new (std::nothrow) HostWindow;
    if (w == nullptr) {
        SDL_DestroyWindow(window);
        return nullptr;
    }
    w->hwnd = hwnd;
    w->window = window;
    w->id = SDL_GetWindowID(window);
    w->surface = surface;
    w->width = clientWidth;
    w->height = clientHeight;
    w->pointer.SetClientSize(clientWidth, clientHeight);
    try {
        windows_.push_back(w);
    } catch (const std::bad_alloc &) {
        SDL_DestroyWindow(window);
        delete w;
        return nullptr;
    }
    SetUpX11Window(w);
    // A window whose pixels can never be shown is no window: say why.
    if (!PrepareSurface(w)) {
        ForgetWindow(w);
        return nullptr;
    }
    return w;
}

// Takes a window out of the host's list and destroys it.
void SdlHost::ForgetWindow(HostWindow *w)
{
    windows_.erase(std::remove(windows_.begin(), windows_.end(), w), windows_.end());
    ReleaseX11Window(w);
    SDL_DestroyWindow(w->window);
    delete w;
}

void SdlHost::DestroyHostWindow(HostWindow *w)
{
    if (w == nullptr)
        return;
    // SDL's window surface goes with the window; the pixels are not needed
    // any more.
    w->surface->DropDisplayMemory();
    ForgetWindow(w);
}

void SdlHost::Show(HostWindow *w)
{
    if (SDL_GetWindowFlags(w->window) & SDL_WINDOW_HIDDEN)
        SDL_ShowWindow(w->window);
}

void SdlHost::SetShowState(HostWindow *w, ShowState state)
{
    ShowState old = w->state;
    w->state = state;
    switch (state) {
    case ShowState::Hidden:
        SDL_HideWindow(w->window);
        break;
    case ShowState::Normal:
        Show(w);
        if (old == ShowState::Minimized || old == ShowState::Maximized ||
            (SDL_GetWindowFlags(w->window) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_MAXIMIZED)))
            SDL_RestoreWindow(w->window);
        w->maximizeRequested = false;
        break;
    case ShowState::Minimized:
        Show(w);
        SDL_MinimizeWindow(w->window);
        break;
    case ShowState::Maximized:
        Show(w);
        SDL_MaximizeWindow(w->window);
        w->maximizeRequested = true;
        break;
    }
}

void SdlHost::ResizeHostWindow(HostWindow *w, int clientWidth, int clientHeight)
{
    clientWidth = std::max(clientWidth, 0);
    clientHeight = std::max(clientHeight, 0);
    w->width = clientWidth;
    w->height = clientHeight;
    w->pointer.SetClientSize(clientWidth, clientHeight);
    // A maximized window gets its size from the window manager; the size it
    // really gets comes back as a size change.
    if (w->maximizeRequested || clientWidth == 0 || clientHeight == 0)
        return;
    int width, height;
    SDL_GetWindowSize(w->window, &width, &height);
    if (CeilDiv(width, scale_) == clientWidth && CeilDiv(height, scale_) == clientHeight)
        return;
    SDL_SetWindowSize(w->window, DeviceLength(clientWidth, scale_),
                      DeviceLength(clientHeight, scale_));
}

// A signal asked the process to end (SDL turns SIGINT and SIGTERM into
// SDL_QUIT): close every window as the window manager would.
bool SdlHost::CloseAll()
{
    bool any = !windows_.empty();
    for (HostWindow *w : windows_)
        kp::user::HostCloseRequested(w->hwnd);
    return any;
}

bool SdlHost::Handle(const HostEvent &e)
{
    switch (e.type) {
    case SDL_WINDOWEVENT:
        return HandleWindowEvent(e);
    case SDL_MOUSEMOTION:
        return HandleMotion(e);
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        return HandleButton(e);
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        return HandleKey(e);
    case SDL_QUIT:
        return CloseAll();
    default:
        return e.type < SDL_QUIT ? HandleX11(e) : false;  // X core events come first
    }
}

// Hands the layer what is queued, at most kMaxEventsPerPump events, in order;
// asks the window system for more (readDisplay, or what Xlib has read already)
// only when the host's queue is empty. True if anything reached the layer.
bool SdlHost::DeliverQueued(bool readDisplay)
{
    if (queue_.Empty() && (readDisplay || XlibHasQueued()))
        SDL_PumpEvents();
    // What SDL's own queue holds are only the copies that woke SDL_WaitEvent.
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    // SIGINT or SIGTERM on X11: closed as SDL_QUIT is elsewhere.
    bool delivered = TakeX11Signal() && CloseAll();
    backlog_ = std::max(backlog_, queue_.Size());
    HostEvent e;
    for (int n = 0; n < kMaxEventsPerPump && queue_.Pop(&e); ++n)
        delivered |= Handle(e);
    // A backlog handed over whole: the memory it took goes back.
    if (queue_.Empty() && backlog_ >= kLargeBacklog) {
        backlog_ = 0;
        GiveBackXQueueMemory(display_);
    }
    return delivered;
}

bool SdlHost::XlibHasQueued()
{
#if defined(SDL_VIDEO_DRIVER_X11)
    if (display_ != nullptr)
        return XEventsQueued(display_, QueuedAlready) > 0;
#endif
    return true;
}

// Waits until the display has something to say, or a signal came.
bool SdlHost::WaitForDisplay()
{
    if (display_ != nullptr) {
        WaitX11();
        return true;
    }
    return SDL_WaitEvent(nullptr) != 0;  // waits for an event and leaves it queued
}

void SdlHost::PumpEvents(bool wait)
{
    if (video_ != Video::Running)
        return;
    // Everything painted since the last call reaches the screen first.
    FlushAll();
    // What SDL and Xlib already hold is delivered without asking the display.
    // The display's connection is read only when a wait says it has
    // something, and without waiting at most once a millisecond: a program
    // that keeps asking still sees its input soon, and a drag's moves cost
    // no reads that find nothing.
    const Uint64 now = SDL_GetTicks64();
    const bool read = !wait && now != lastRead_;
    if (read)
        lastRead_ = now;
    bool delivered = DeliverQueued(read);
    while (wait && !delivered) {
        FlushAll();
        // On X11 the host waits for the connection itself; elsewhere
        // SDL_WaitEvent returns once the event filter put its wake-up event
        // into SDL's queue, which it does when the host's queue was empty.
        if (queue_.Empty() && !WaitForDisplay())
            return;
        lastRead_ = SDL_GetTicks64();
        delivered = DeliverQueued(true);
    }
}

Host *CreateDefaultHost()
{
    return new SdlHost;
}

}  // namespace kp::host
