// The desktop host: shows the layer's windows through SDL 2 and turns SDL's
// input and window events into the calls of user/host_events.h. This is the
// only file that sees SDL.
//
// Pixels. The layer paints into a buffer of the host's own, and presenting
// copies the painted rectangles into SDL's window surface. SDL throws its
// window surface away whenever the window changes size, so it cannot hold the
// picture itself; this buffer keeps everything that stays inside the window,
// and the layer only has to paint the strips that a resize uncovers. Device
// pixels throughout: on a scaled (HiDPI) display the window asks for a
// surface of its real pixel size, and pointer positions are scaled to match.
//
// Presenting. Present() only gathers rectangles. They reach the screen at
// the start of the next PumpEvents, that is once the layer has dealt with
// everything it was given and painted, so a burst of input costs one update
// of the window, not one per event.
//
// Input on X11. The pointer events come straight from the X events that SDL
// passes on (SDL_SYSWMEVENT), in order with everything else: one message per
// X event, never merged, with the server's button and modifier state of that
// moment, including buttons that went down over another window. The window
// never captures the pointer (SDL's automatic capture is turned off); while a
// button pressed in the window is held the server still reports positions
// outside it, which are dropped, as Windows sends nothing there to a window
// without capture. Only core pointer events are selected: SDL's XInput 2
// selection on the window would divert moves away from them. Exposures and
// Alt+F4 come from the X events too, the exposures with their rectangles.
// Elsewhere (Wayland) SDL's own window, mouse and key events are used.
#include <SDL.h>
#include <SDL_syswm.h>
#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/extensions/XInput2.h>
#endif

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "../user/host_events.h"
#include "damage.h"
#include "host.h"
#include "pointer_state.h"
#include "x11_input.h"

namespace kp::host {

struct HostWindow {
    HWND hwnd = nullptr;
    SDL_Window *window = nullptr;
    Uint32 id = 0;
#if defined(SDL_VIDEO_DRIVER_X11)
    ::Window xwindow = 0;
#endif

    // The client pixels: width x height of a buffer capacityWidth pixels wide.
    std::unique_ptr<uint32_t[]> pixels;
    int capacityWidth = 0;
    int capacityHeight = 0;
    int width = 0;  // the client size that the layer knows
    int height = 0;

    ShowState state = ShowState::Hidden;  // as the layer knows it
    bool maximizeRequested = false;

    DamageList damage;
    // SDL's window surface was made anew (it starts blank) or not filled yet;
    // set from SDL's event watch the moment SDL drops the old one.
    bool surfaceStale = true;
    SDL_Rect updateRects[DamageList::kCapacity];

    PointerState pointer;
    EdgeClampCheck edgeCheck;
};

namespace {

constexpr const char *kAppId = "kelvane-paint";  // WM_CLASS, app id, desktop entry name
constexpr int kEventBatch = 128;
// At most this many SDL events reach the layer per PumpEvents; the rest stay
// queued, in order, for the next call. USER asks again as soon as it has
// dealt with them, and its queue never overflows.
constexpr int kMaxEventsPerPump = 1024;

bool ButtonFromSdl(Uint8 button, MouseButton *out)
{
    switch (button) {
    case SDL_BUTTON_LEFT:
        *out = MouseButton::Left;
        return true;
    case SDL_BUTTON_MIDDLE:
        *out = MouseButton::Middle;
        return true;
    case SDL_BUTTON_RIGHT:
        *out = MouseButton::Right;
        return true;
    case SDL_BUTTON_X1:
        *out = MouseButton::X1;
        return true;
    case SDL_BUTTON_X2:
        *out = MouseButton::X2;
        return true;
    default:
        return false;
    }
}

void DiscardLog(void *, int, SDL_LogPriority, const char *) {}

void Deliver(HWND hwnd, const MouseMessage &m)
{
    if (m.message == WM_MOUSEMOVE)
        kp::user::HostMouseMove(hwnd, m.x, m.y, m.keys);
    else
        kp::user::HostMouseButton(hwnd, m.message, m.x, m.y, m.keys);
}

// Copies rows of 0x00RRGGBB pixels into a surface of another 32-bit format.
void ConvertRow(const uint32_t *from, uint32_t *to, int count, const SDL_PixelFormat *format)
{
    for (int i = 0; i < count; ++i) {
        uint32_t p = from[i];
        to[i] = (((p >> 16) & 0xFFu) << format->Rshift) | (((p >> 8) & 0xFFu) << format->Gshift) |
                ((p & 0xFFu) << format->Bshift) | format->Amask;
    }
}

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

class SdlHost final : public Host {
  public:
    ~SdlHost() override;
    void ScreenSize(int *width, int *height) override;
    HostWindow *CreateHostWindow(HWND hwnd, const char *title, int clientWidth,
                                 int clientHeight) override;
    void DestroyHostWindow(HostWindow *window) override;
    void SetShowState(HostWindow *window, ShowState state) override;
    void ResizeHostWindow(HostWindow *window, int clientWidth, int clientHeight) override;
    Surface ClientSurface(HostWindow *window) override;
    void Present(HostWindow *window, const RECT &rect) override;
    void PumpEvents(bool wait) override;

  private:
    bool StartVideo();
    bool InitVideo();
    static int WatchEvent(void *host, SDL_Event *e);
    HostWindow *FindWindow(Uint32 id);
    void PixelSize(HostWindow *w, int *width, int *height);
    void Reserve(HostWindow *w, int width, int height);
    bool FollowSize(HostWindow *w);
    void Show(HostWindow *w);
    void FlushAll();
    void Flush(HostWindow *w);
    void CopyOut(HostWindow *w, SDL_Surface *surface, const RECT &r);
    bool DeliverQueued();
    bool Handle(const SDL_Event &e);
    bool HandleWindowEvent(const SDL_WindowEvent &e);
    bool HandleMotion(const SDL_MouseMotionEvent &e);
    bool HandleButton(const SDL_MouseButtonEvent &e);
    bool HandleKey(const SDL_KeyboardEvent &e);
    bool CloseAll();
    void ToPixels(HostWindow *w, int *x, int *y);
#if defined(SDL_VIDEO_DRIVER_X11)
    bool HandleX11(const XEvent &x);
    HostWindow *FindX11Window(::Window xwindow);
#endif

    enum class Video { Untried, Failed, Running };
    Video video_ = Video::Untried;
    bool x11_ = false;  // pointer input and exposure from the X events
    std::vector<HostWindow *> windows_;
    SDL_Event batch_[kEventBatch];
};

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
        // X11 has a window framebuffer of its own: use it rather than a
        // texture of some renderer.
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

// Makes the pixel buffer hold at least width x height, keeping its content.
void SdlHost::Reserve(HostWindow *w, int width, int height)
{
    if (width <= w->capacityWidth && height <= w->capacityHeight)
        return;
    int newWidth = std::max(width, w->capacityWidth);
    int newHeight = std::max(height, w->capacityHeight);
    std::unique_ptr<uint32_t[]> pixels(new uint32_t[static_cast<size_t>(newWidth) * newHeight]);
    std::fill_n(pixels.get(), static_cast<size_t>(newWidth) * newHeight, 0xFFFFFFu);
    if (w->pixels) {
        for (int y = 0; y < w->capacityHeight; ++y)
            std::memcpy(pixels.get() + static_cast<size_t>(y) * newWidth,
                        w->pixels.get() + static_cast<size_t>(y) * w->capacityWidth,
                        static_cast<size_t>(w->capacityWidth) * sizeof(uint32_t));
    }
    w->pixels = std::move(pixels);
    w->capacityWidth = newWidth;
    w->capacityHeight = newHeight;
}

// Takes on the size that the window really has now; true if it changed.
bool SdlHost::FollowSize(HostWindow *w)
{
    int width, height;
    PixelSize(w, &width, &height);
    if (width == w->width && height == w->height)
        return false;
    Reserve(w, width, height);
    w->width = width;
    w->height = height;
    w->damage.ClipTo(width, height);
    w->pointer.SetClientSize(width, height);
    w->surfaceStale = true;
    return true;
}

HostWindow *SdlHost::CreateHostWindow(HWND hwnd, const char *title, int clientWidth,
                                      int clientHeight)
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
    // Room for the window at the size of the screen from the start, so that
    // maximizing does not reallocate.
    int screenWidth, screenHeight;
    ScreenSize(&screenWidth, &screenHeight);
    Reserve(w, std::max(clientWidth, screenWidth), std::max(clientHeight, screenHeight));
    w->width = clientWidth;
    w->height = clientHeight;
    w->pointer.SetClientSize(clientWidth, clientHeight);
    windows_.push_back(w);
    // On a scaled display the window was made in points: give it the client
    // size in pixels.
    ResizeHostWindow(w, clientWidth, clientHeight);

#if defined(SDL_VIDEO_DRIVER_X11)
    if (x11_) {
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
            w->xwindow = info.info.x11.window;
            // Keep the window's content where it is when it changes size, so
            // that the server asks to repaint only the strips it uncovers.
            XSetWindowAttributes attributes;
            attributes.bit_gravity = NorthWestGravity;
            XChangeWindowAttributes(info.info.x11.display, w->xwindow, CWBitGravity, &attributes);
            // SDL asks XInput 2 for the window's touch and motion events.
            // While the pointer is not grabbed the server then sends moves as
            // XInput 2 events, which SDL turns into motion events of its own,
            // and the core MotionNotify that the host reads never comes. So
            // only core pointer events: touch screens still work through the
            // pointer events that the server makes from touches.
            unsigned char none[XIMaskLen(XI_LASTEVENT)] = {};
            XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof none), none};
            XISelectEvents(info.info.x11.display, w->xwindow, &mask, 1);
        }
    }
#endif
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
    Reserve(w, clientWidth, clientHeight);
    w->width = clientWidth;
    w->height = clientHeight;
    w->damage.ClipTo(clientWidth, clientHeight);
    w->pointer.SetClientSize(clientWidth, clientHeight);
    w->surfaceStale = true;
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

Surface SdlHost::ClientSurface(HostWindow *w)
{
    return Surface{w->pixels.get(), w->width, w->height, w->capacityWidth};
}

void SdlHost::Present(HostWindow *w, const RECT &rect)
{
    w->damage.Add(rect, w->width, w->height);
}

void SdlHost::CopyOut(HostWindow *w, SDL_Surface *surface, const RECT &r)
{
    const uint32_t *from = w->pixels.get() + static_cast<size_t>(r.top) * w->capacityWidth + r.left;
    int count = r.right - r.left;
    auto *to = static_cast<uint8_t *>(surface->pixels) +
               static_cast<size_t>(r.top) * surface->pitch +
               static_cast<size_t>(r.left) * surface->format->BytesPerPixel;
    Uint32 format = surface->format->format;
    if (format == SDL_PIXELFORMAT_RGB888) {
        for (LONG y = r.top; y < r.bottom; ++y, from += w->capacityWidth, to += surface->pitch)
            std::memcpy(to, from, static_cast<size_t>(count) * sizeof(uint32_t));
    } else if (surface->format->BytesPerPixel == 4) {
        for (LONG y = r.top; y < r.bottom; ++y, from += w->capacityWidth, to += surface->pitch)
            ConvertRow(from, reinterpret_cast<uint32_t *>(to), count, surface->format);
    } else {
        SDL_ConvertPixels(count, r.bottom - r.top, SDL_PIXELFORMAT_RGB888, from,
                          w->capacityWidth * static_cast<int>(sizeof(uint32_t)), format, to,
                          surface->pitch);
    }
}

void SdlHost::Flush(HostWindow *w)
{
    if (w->damage.Empty() && !w->surfaceStale)
        return;
    Uint32 flags = SDL_GetWindowFlags(w->window);
    if (flags & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED))
        return;  // nothing shows; the damage waits
    SDL_Surface *surface = SDL_GetWindowSurface(w->window);
    if (surface == nullptr)
        return;
    int width = std::min(w->width, surface->w);
    int height = std::min(w->height, surface->h);
    if (w->surfaceStale || surface->w != w->width || surface->h != w->height) {
        // A new surface starts blank: all of our pixels go into it.
        w->damage.Clear();
        w->damage.Add(RECT{0, 0, width, height}, width, height);
        w->surfaceStale = false;
    } else {
        w->damage.ClipTo(width, height);
    }
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0)
        return;
    int count = 0;
    for (int i = 0; i < w->damage.Count(); ++i) {
        const RECT &r = w->damage[i];
        CopyOut(w, surface, r);
        w->updateRects[count++] = SDL_Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    if (SDL_MUSTLOCK(surface))
        SDL_UnlockSurface(surface);
    w->damage.Clear();
    if (count > 0 && SDL_UpdateWindowSurfaceRects(w->window, w->updateRects, count) != 0)
        w->surfaceStale = true;  // SDL dropped the surface meanwhile: copy all again
}

void SdlHost::FlushAll()
{
    for (HostWindow *w : windows_)
        Flush(w);
}

void SdlHost::ToPixels(HostWindow *w, int *x, int *y)
{
    int pixelWidth, pixelHeight, pointWidth, pointHeight;
    PixelSize(w, &pixelWidth, &pixelHeight);
    SDL_GetWindowSize(w->window, &pointWidth, &pointHeight);
    if (pointWidth > 0 && pointHeight > 0 &&
        (pixelWidth != pointWidth || pixelHeight != pointHeight)) {
        *x = *x * pixelWidth / pointWidth;
        *y = *y * pixelHeight / pointHeight;
    }
}

bool SdlHost::HandleWindowEvent(const SDL_WindowEvent &e)
{
    HostWindow *w = FindWindow(e.windowID);
    if (w == nullptr)
        return false;
    HWND hwnd = w->hwnd;
    switch (e.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (w->state == ShowState::Minimized || !FollowSize(w))
            return false;
        kp::user::HostResized(hwnd, w->width, w->height);
        return true;
    case SDL_WINDOWEVENT_MINIMIZED:
        if (w->state == ShowState::Minimized)
            return false;
        w->state = ShowState::Minimized;
        kp::user::HostMinimized(hwnd);
        return true;
    case SDL_WINDOWEVENT_MAXIMIZED: {
        bool resized = FollowSize(w);
        if (w->state == ShowState::Maximized && !resized)
            return false;
        w->state = ShowState::Maximized;
        w->maximizeRequested = true;
        kp::user::HostMaximized(hwnd, w->width, w->height);
        return true;
    }
    case SDL_WINDOWEVENT_RESTORED: {
        bool resized = FollowSize(w);
        w->maximizeRequested = false;
        if (w->state == ShowState::Normal) {
            if (!resized)
                return false;
            kp::user::HostResized(hwnd, w->width, w->height);
            return true;
        }
        w->state = ShowState::Normal;
        kp::user::HostRestored(hwnd, w->width, w->height);
        return true;
    }
    case SDL_WINDOWEVENT_EXPOSED:
        if (x11_ || w->width <= 0 || w->height <= 0 || w->state == ShowState::Minimized)
            return false;  // on X11 the exposed rectangles come with the X events
        kp::user::HostExposed(hwnd, RECT{0, 0, w->width, w->height});
        return true;
    case SDL_WINDOWEVENT_LEAVE:
        w->pointer.PointerLeft();
        w->edgeCheck.Left();
        return false;
    case SDL_WINDOWEVENT_CLOSE:
        kp::user::HostCloseRequested(hwnd);
        return true;
    default:
        return false;
    }
}

bool SdlHost::HandleMotion(const SDL_MouseMotionEvent &e)
{
    HostWindow *w = FindWindow(e.windowID);
    if (w == nullptr)
        return false;
    bool genuine = w->edgeCheck.Genuine(e.x, e.y, e.xrel, e.yrel);
    if (!genuine) {
        w->pointer.PointerLeft();
        return false;
    }
    int x = e.x, y = e.y;
    ToPixels(w, &x, &y);
    MouseMessage m;
    if (!w->pointer.Move(x, y, &m))
        return false;
    Deliver(w->hwnd, m);
    return true;
}

bool SdlHost::HandleButton(const SDL_MouseButtonEvent &e)
{
    HostWindow *w = FindWindow(e.windowID);
    MouseButton button;
    if (w == nullptr || !ButtonFromSdl(e.button, &button))
        return false;
    int x = e.x, y = e.y;
    // A release after the pointer was dragged out happens outside.
    if (e.state == SDL_RELEASED && w->edgeCheck.Outside())
        x = -1;
    ToPixels(w, &x, &y);
    MouseMessage m;
    bool message = e.state == SDL_PRESSED ? w->pointer.Press(button, x, y, &m)
                                          : w->pointer.Release(button, x, y, &m);
    if (!message)
        return false;
    Deliver(w->hwnd, m);
    return true;
}

bool SdlHost::HandleKey(const SDL_KeyboardEvent &e)
{
    if (x11_)
        return false;  // the X events carry the modifiers and the shortcut
    // The modifier state after this key; the mouse messages that follow it
    // carry it. The keyboard is shared by all windows.
    bool shift = (e.keysym.mod & KMOD_SHIFT) != 0;
    bool control = (e.keysym.mod & KMOD_CTRL) != 0;
    for (HostWindow *w : windows_)
        w->pointer.SetModifiers(shift, control);
    if (e.type == SDL_KEYDOWN && e.keysym.sym == SDLK_F4 && (e.keysym.mod & KMOD_ALT) && !control) {
        if (HostWindow *w = FindWindow(e.windowID)) {
            kp::user::HostCloseRequested(w->hwnd);
            return true;
        }
    }
    return false;
}

#if defined(SDL_VIDEO_DRIVER_X11)
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
#endif

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
bool SdlHost::DeliverQueued()
{
    if (!SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT))
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

void SdlHost::PumpEvents(bool wait)
{
    if (video_ != Video::Running)
        return;
    // Everything painted since the last call reaches the screen first.
    FlushAll();
    bool delivered = DeliverQueued();
    while (wait && !delivered) {
        FlushAll();
        if (!SDL_WaitEvent(nullptr))  // waits for an event and leaves it queued
            return;
        delivered = DeliverQueued();
    }
}

}  // namespace

Host *CreateDefaultHost()
{
    return new SdlHost;
}

}  // namespace kp::host
