// Starting SDL, the host's windows and its event loop.
//
// Pixels. A window's client pixels live in its surface (USER's); whenever
// the formats agree, that surface is SDL's own window surface, the memory
// the display reads (on X11 an image shared with the server), so painting
// writes straight into it and showing a change is one request for its
// rectangle (sdl_present.cpp).
//
// Presenting happens at the start of each PumpEvents, that is once the layer
// has dealt with everything it was given and painted, so a burst of input
// costs one update of the window, not one per event.
#include <windows.h>

#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "../../user/host_events.h"
#include "sdl_host.h"

namespace kp::host {

namespace {

constexpr const char *kAppId = "kelvane-paint";  // WM_CLASS, app id, desktop entry name
// At most this many SDL events reach the layer per PumpEvents; the rest stay
// queued, in order, for the next call. USER asks again as soon as it has
// dealt with them, and its queue never overflows.
constexpr int kMaxEventsPerPump = 1024;

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
        SDL_DestroyWindow(w->window);
        delete w;
    }
    windows_.clear();
    if (video_ == Video::Running) {
        SDL_DelEventWatch(WatchEvent, this);
        SDL_Quit();
    }
}

// SDL_Init with the first desktop driver that starts.
bool SdlHost::InitVideo()
{
    const char *chosen = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (chosen != nullptr && chosen[0] != '\0')
        return SDL_Init(SDL_INIT_VIDEO) == 0;
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const char *driver = SDL_GetVideoDriver(i);
        if (driver == nullptr || !DesktopDriverUsable(driver))
            continue;
        SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
        if (SDL_Init(SDL_INIT_VIDEO) == 0)
            return true;
    }
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

    if (!InitVideo())
        return false;
    SDL_StopTextInput();  // no text input: the program reads no keys
    SDL_AddEventWatch(WatchEvent, this);

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
    }
    SDL_EventState(SDL_TEXTINPUT, SDL_IGNORE);
    SDL_EventState(SDL_TEXTEDITING, SDL_IGNORE);
    SDL_EventState(SDL_MOUSEWHEEL, SDL_IGNORE);
    video_ = Video::Running;
    return true;
}

// Runs inside SDL_PumpEvents as SDL queues each event, before the host reads
// it: the window surface that SDL drops on a size change must not be taken
// for the old one, even while that size change still waits in the queue.
int SdlHost::WatchEvent(void *host, SDL_Event *e)
{
    if (e->type == SDL_WINDOWEVENT && e->window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        if (HostWindow *w = static_cast<SdlHost *>(host)->FindWindow(e->window.windowID))
            w->surfaceStale = true;
    }
    return 0;
}

void SdlHost::ScreenSize(int *width, int *height)
{
    *width = 0;
    *height = 0;
    if (!StartVideo())
        return;
    // The desktop mode is in device pixels; the bounds are in the points of
    // a scaled display, so they are only the fallback.
    SDL_DisplayMode mode;
    SDL_Rect bounds;
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0 && mode.w > 0 && mode.h > 0) {
        *width = mode.w;
        *height = mode.h;
    } else if (SDL_GetDisplayBounds(0, &bounds) == 0) {
        *width = bounds.w;
        *height = bounds.h;
    }
}

HostWindow *SdlHost::FindWindow(Uint32 id)
{
    for (HostWindow *w : windows_)
        if (w->id == id)
            return w;
    return nullptr;
}

void SdlHost::PixelSize(HostWindow *w, int *width, int *height)
{
    SDL_GetWindowSizeInPixels(w->window, width, height);
}

// Takes on the size that the window really has now; true if it changed.
bool SdlHost::FollowSize(HostWindow *w)
{
    int width, height;
    PixelSize(w, &width, &height);
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
    SDL_Window *window =
        SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                         std::max(clientWidth, 1), std::max(clientHeight, 1),
                         SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (window == nullptr)
        return nullptr;

    auto *w = new HostWindow;
    w->hwnd = hwnd;
    w->window = window;
    w->id = SDL_GetWindowID(window);
    w->surface = surface;
    w->width = clientWidth;
    w->height = clientHeight;
    w->pointer.SetClientSize(clientWidth, clientHeight);
    windows_.push_back(w);
    // On a scaled display the window was made in points: give it the client
    // size in pixels.
    ResizeHostWindow(w, clientWidth, clientHeight);
    SetUpX11Window(w);
    return w;
}

void SdlHost::DestroyHostWindow(HostWindow *w)
{
    if (w == nullptr)
        return;
    for (auto it = windows_.begin(); it != windows_.end(); ++it) {
        if (*it == w) {
            windows_.erase(it);
            break;
        }
    }
    // SDL's window surface goes with the window; the pixels are not needed
    // any more.
    w->surface->DropDisplayMemory();
    SDL_DestroyWindow(w->window);
    delete w;
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
    int pixelWidth, pixelHeight, pointWidth, pointHeight;
    PixelSize(w, &pixelWidth, &pixelHeight);
    SDL_GetWindowSize(w->window, &pointWidth, &pointHeight);
    if (pixelWidth == clientWidth && pixelHeight == clientHeight)
        return;
    if (pixelWidth == pointWidth && pixelHeight == pointHeight) {
        SDL_SetWindowSize(w->window, clientWidth, clientHeight);
    } else if (pixelWidth > 0 && pixelHeight > 0) {
        SDL_SetWindowSize(w->window, std::max(clientWidth * pointWidth / pixelWidth, 1),
                          std::max(clientHeight * pointHeight / pixelHeight, 1));
    }
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

bool SdlHost::Handle(const SDL_Event &e)
{
    switch (e.type) {
    case SDL_WINDOWEVENT:
        return HandleWindowEvent(e.window);
    case SDL_MOUSEMOTION:
        return HandleMotion(e.motion);
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        return HandleButton(e.button);
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        return HandleKey(e.key);
    case SDL_SYSWMEVENT:
#if defined(SDL_VIDEO_DRIVER_X11)
        if (e.syswm.msg != nullptr && e.syswm.msg->subsystem == SDL_SYSWM_X11)
            return HandleX11(e.syswm.msg->msg.x11.event);
#endif
        return false;
    case SDL_QUIT:
        return CloseAll();
    default:
        return false;
    }
}

// Hands the layer what SDL has queued, at most kMaxEventsPerPump events, in
// order; asks the window system for more only when SDL's queue is empty.
// True if anything reached the layer. An X event's data (SDL_SYSWMEVENT)
// lives until the next SDL_PeepEvents, so each batch is handled before the
// next one is fetched.
bool SdlHost::DeliverQueued(bool readDisplay)
{
    if (!SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT) && (readDisplay || XlibHasQueued()))
        SDL_PumpEvents();
    bool delivered = false;
    int total = 0;
    while (total < kMaxEventsPerPump) {
        int wanted = std::min(kEventBatch, kMaxEventsPerPump - total);
        int n = SDL_PeepEvents(batch_, wanted, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
        if (n <= 0)
            break;
        for (int i = 0; i < n; ++i)
            delivered |= Handle(batch_[i]);
        total += n;
        if (n < wanted)
            break;
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

// Waits until the display has something to say (or a signal came).
bool SdlHost::WaitForDisplay()
{
#if defined(SDL_VIDEO_DRIVER_X11)
    if (display_ != nullptr) {
        XFlush(display_);
        if (XEventsQueued(display_, QueuedAlready) > 0)
            return true;
        pollfd fd = {ConnectionNumber(display_), POLLIN, 0};
        poll(&fd, 1, -1);
        return true;
    }
#endif
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
        if (!WaitForDisplay())
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
