// Starting SDL on X11, the host's windows and its event loop.
//
// Presenting happens at the start of each PumpEvents, that is once the layer
// has dealt with everything it was given and painted, so a burst of input
// costs one update of the window, not one per event.
//
// Events. Every event SDL would queue goes into the host's own queue as SDL
// produces it (sdl_queue.cpp), so that none is lost however many arrive at
// once; the host hands them to USER from there, at most kMaxEventsPerPump a
// call and never more than USER's queue has room for.
//
// Failure. Where nothing can be shown (no display, no window, no image for
// the screen's visual) the host says why through Failure(), and start-up
// ends the process with exit code 1.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "../../user/host_events.h"
#include "../end_signals.h"
#include "display_scale.h"
#include "sdl_host.h"
#include "x11_queue_memory.h"

namespace kp::host {

namespace {

constexpr const char *kAppId = "kelvane-paint";  // WM_CLASS, the desktop entry's name
// At most this many events reach the layer per PumpEvents; the rest stay
// queued, in order, for the next call, so that the window is painted and
// shown now and then however long the backlog.
constexpr int kMaxEventsPerPump = 1024;
// After a backlog of at least this many events (a program that was stopped
// while the user went on) the memory that reading it took is given back.
constexpr size_t kLargeBacklog = 16384;

void DiscardLog(void *, int, SDL_LogPriority, const char *) {}

void SetHints()
{
    // The program prints nothing; SDL's own messages are dropped too.
    SDL_LogSetOutputFunction(DiscardLog, nullptr);
    // The window's class (X11 WM_CLASS) names the desktop entry, whatever
    // the executable is called.
    setenv("SDL_VIDEO_X11_WMCLASS", kAppId, 1);
    SDL_SetHint(SDL_HINT_APP_NAME, "Kelvane Paint");
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "x11", SDL_HINT_OVERRIDE);
    // SIGINT and SIGTERM are the host's (end_signals.h).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A desktop program: the screensaver keeps working, the compositor stays.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // Windows sends the click that activates a window, and does not capture
    // the mouse for a window that does not ask for it.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_MOUSE_AUTO_CAPTURE, "0");
    // Closing the window is the layer's business (WM_CLOSE), not a quit.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
}

// The host reads the pointer and keys from the X events (SDL_SYSWMEVENT);
// SDL's own versions of them are not made at all.
void SelectEvents()
{
    SDL_StopTextInput();  // no text input: the program reads no keys
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    const Uint32 ignored[] = {SDL_MOUSEMOTION, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP,
                              SDL_MOUSEWHEEL,  SDL_KEYDOWN,         SDL_KEYUP,
                              SDL_TEXTINPUT,   SDL_TEXTEDITING,     SDL_POLLSENTINEL};
    for (Uint32 type : ignored)
        SDL_EventState(type, SDL_IGNORE);
}

}  // namespace

SdlWindow::~SdlWindow()
{
    presenter.reset();  // the image goes before its window
    if (window != nullptr)
        SDL_DestroyWindow(window);
}

SdlHost::~SdlHost()
{
    windows_.Clear();
    if (started_) {
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

bool SdlHost::Start()
{
    SetHints();
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        char what[256];
        const char *display = std::getenv("DISPLAY");
        std::snprintf(what, sizeof what, "cannot open the X display \"%s\"",
                      display ? display : "");
        Fail(what, SDL_GetError());
        return false;
    }
    started_ = true;
    SelectEvents();
    StartX11();
    SDL_SetEventFilter(Filter, this);
    return true;
}

void SdlHost::ScreenSize(int *width, int *height)
{
    *width = 0;
    *height = 0;
    // In device pixels, scaled here.
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

SdlWindow *SdlHost::FindWindow(Uint32 id) const
{
    return windows_.Find<SdlWindow>([id](const SdlWindow &w) { return w.id == id; });
}

// Takes on the size that the window really has now; true if it changed. A
// device size that is no multiple of the scale shows the last logical row
// and column in part.
bool SdlHost::FollowSize(SdlWindow &w)
{
    int width, height;
    SDL_GetWindowSize(w.window, &width, &height);
    width = CeilDiv(width, scale_);
    height = CeilDiv(height, scale_);
    if (width == w.width && height == w.height)
        return false;
    w.SetClientSize(width, height);
    return true;
}

SdlWindow *SdlHost::NewWindow(HWND hwnd, const char *title, gdi::WindowSurface *surface, int width,
                              int height)
{
    SDL_Window *window = SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                          DeviceLength(width, scale_), DeviceLength(height, scale_),
                                          SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    if (window == nullptr) {
        Fail("cannot create a window", SDL_GetError());
        return nullptr;
    }
    auto *w = new (std::nothrow) SdlWindow(hwnd, surface);
    if (w == nullptr) {
        SDL_DestroyWindow(window);
        return nullptr;
    }
    w->window = window;
    w->id = SDL_GetWindowID(window);
    w->SetClientSize(width, height);
    return windows_.Add(w) ? w : nullptr;
}

HostWindow *SdlHost::CreateHostWindow(HWND hwnd, const char *title, gdi::WindowSurface *surface,
                                      int clientWidth, int clientHeight)
{
    if (!started_)
        return nullptr;
    SdlWindow *w =
        NewWindow(hwnd, title, surface, std::max(clientWidth, 1), std::max(clientHeight, 1));
    if (w == nullptr)
        return nullptr;
    // A window whose pixels can never be shown is no window: say why.
    if (!SetUpX11Window(*w)) {
        windows_.Remove(w);
        return nullptr;
    }
    SetCloseOnEndSignal(true);
    return w;
}

void SdlHost::DestroyHostWindow(HostWindow *w)
{
    // The image goes with the window; the pixels are not needed any more.
    if (w != nullptr && w->surface->OnDisplayMemory())
        w->surface->DropDisplayMemory();
    windows_.Remove(w);
}

// Maps the window without waiting for it to be mapped: SDL's own show waits
// for the MapNotify, and a window manager that loses the map request (as
// openbox does with one that comes just as it starts) would keep the program
// there for ever, deaf to its close. SDL hears the MapNotify later, in order.
void SdlHost::Show(SdlWindow &w)
{
    if (w.mapped)
        return;
    w.mapped = true;
    XMapRaised(display_, w.xwindow);
    // Without a window manager nobody gives the window the keyboard (Alt+F4).
    if (!WindowManagerRuns())
        XSetInputFocus(display_, w.xwindow, RevertToNone, CurrentTime);
    XFlush(display_);
}

void SdlHost::Hide(SdlWindow &w)
{
    if (!w.mapped)
        return;
    w.mapped = false;
    if (SDL_GetWindowFlags(w.window) & SDL_WINDOW_SHOWN)
        SDL_HideWindow(w.window);
    else
        XWithdrawWindow(display_, w.xwindow, DefaultScreen(display_));  // SDL has not heard yet
}

void SdlHost::SetShowState(HostWindow *window, ShowState state)
{
    auto &w = static_cast<SdlWindow &>(*window);
    const ShowState old = w.state;
    w.state = state;
    switch (state) {
    case ShowState::Hidden:
        Hide(w);
        break;
    case ShowState::Normal:
        Show(w);
        if (old == ShowState::Minimized || old == ShowState::Maximized ||
            (SDL_GetWindowFlags(w.window) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_MAXIMIZED)))
            SDL_RestoreWindow(w.window);
        w.maximizeRequested = false;
        break;
    case ShowState::Minimized:
        Show(w);
        SDL_MinimizeWindow(w.window);
        break;
    case ShowState::Maximized:
        Show(w);
        SDL_MaximizeWindow(w.window);
        w.maximizeRequested = true;
        break;
    }
}

void SdlHost::ResizeHostWindow(HostWindow *window, int clientWidth, int clientHeight)
{
    auto &w = static_cast<SdlWindow &>(*window);
    w.SetClientSize(clientWidth, clientHeight);
    // A maximized window gets its size from the window manager; the size it
    // really gets comes back as a size change.
    if (w.maximizeRequested || w.width == 0 || w.height == 0)
        return;
    int width, height;
    SDL_GetWindowSize(w.window, &width, &height);
    if (CeilDiv(width, scale_) == w.width && CeilDiv(height, scale_) == w.height)
        return;
    SDL_SetWindowSize(w.window, DeviceLength(w.width, scale_), DeviceLength(w.height, scale_));
}

// SIGINT or SIGTERM: every window is closed as the window manager would.
bool SdlHost::CloseAll()
{
    windows_.ForEach<HostWindow>([](HostWindow &w) { kp::user::HostCloseRequested(w.hwnd); });
    return !windows_.Empty();
}

bool SdlHost::Handle(const HostEvent &e)
{
    if (e.type == SDL_WINDOWEVENT)
        return HandleWindowEvent(e);
    return e.type < SDL_QUIT ? HandleX11(e) : false;  // X core event types come first
}

// Hands the layer what is queued, in order, as much as its queue has room
// for (an event makes one message at most); asks the window system for more
// (readDisplay, or what Xlib has read already) only when the host's queue is
// empty. True if anything reached the layer.
bool SdlHost::DeliverQueued(bool readDisplay)
{
    if (queue_.Empty() && (readDisplay || XlibHasQueued()))
        SDL_PumpEvents();
    bool delivered = TakeEndSignal() && CloseAll();
    backlog_ = std::max(backlog_, queue_.Size());
    HostEvent e;
    for (int n = 0; n < kMaxEventsPerPump && kp::user::HostInputRoom() > 0 && queue_.Pop(&e); ++n)
        delivered |= Handle(e);
    // A backlog handed over whole: the memory it took goes back.
    if (queue_.Empty() && backlog_ >= kLargeBacklog) {
        backlog_ = 0;
        GiveBackXQueueMemory(display_);
    }
    return delivered;
}

void SdlHost::PumpEvents(bool wait)
{
    if (!started_)
        return;
    // Everything painted since the last call reaches the screen first.
    windows_.PresentAll();
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
        windows_.PresentAll();
        if (queue_.Empty())
            WaitForDisplay();
        lastRead_ = SDL_GetTicks64();
        delivered = DeliverQueued(true);
    }
}

}  // namespace kp::host
