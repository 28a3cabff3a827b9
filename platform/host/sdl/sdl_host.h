// The desktop host: shows the layer's windows through SDL 2 and turns SDL's
// input and window events into the calls of user/host_events.h. Only the
// files of this folder see SDL.
//
//   sdl_host.cpp     starting SDL, the windows, the event loop
//   sdl_events.cpp   SDL's window, mouse and key events
//   sdl_x11.cpp      pointer input and exposures straight from the X events
//   sdl_present.cpp  showing what the windows' surfaces changed
#pragma once

#include <SDL.h>
#include <SDL_syswm.h>

#include <windows.h>

#include <vector>

#include "../../user/host.h"
#include "../pointer_state.h"

namespace kp::host {

struct HostWindow {
    HWND hwnd = nullptr;
    SDL_Window *window = nullptr;
    Uint32 id = 0;
#if defined(SDL_VIDEO_DRIVER_X11)
    ::Window xwindow = 0;
#endif
    gdi::WindowSurface *surface = nullptr;  // USER's, for the window's life

    int width = 0;  // the client size that the layer knows
    int height = 0;

    ShowState state = ShowState::Hidden;  // as the layer knows it
    bool maximizeRequested = false;

    // SDL's window surface was made anew (it starts blank) or not made yet;
    // set from SDL's event watch the moment SDL drops the old one.
    bool surfaceStale = true;
    SDL_Rect updateRects[gdi::DamageList::kCapacity];

    PointerState pointer;
    EdgeClampCheck edgeCheck;
};

class SdlHost final : public Host {
  public:
    ~SdlHost() override;
    void ScreenSize(int *width, int *height) override;
    HostWindow *CreateHostWindow(HWND hwnd, const char *title, gdi::WindowSurface *surface,
                                 int clientWidth, int clientHeight) override;
    void DestroyHostWindow(HostWindow *window) override;
    void SetShowState(HostWindow *window, ShowState state) override;
    void ResizeHostWindow(HostWindow *window, int clientWidth, int clientHeight) override;
    void PumpEvents(bool wait) override;

  private:
    // sdl_host.cpp
    bool StartVideo();
    bool InitVideo();
    static int WatchEvent(void *host, SDL_Event *e);
    HostWindow *FindWindow(Uint32 id);
    void PixelSize(HostWindow *w, int *width, int *height);
    bool FollowSize(HostWindow *w);
    void Show(HostWindow *w);
    bool DeliverQueued(bool readDisplay);
    bool XlibHasQueued();
    bool WaitForDisplay();
    bool Handle(const SDL_Event &e);
    bool CloseAll();

    // sdl_present.cpp
    void FlushAll();
    void Flush(HostWindow *w);

    // sdl_events.cpp
    bool HandleWindowEvent(const SDL_WindowEvent &e);
    bool HandleMotion(const SDL_MouseMotionEvent &e);
    bool HandleButton(const SDL_MouseButtonEvent &e);
    bool HandleKey(const SDL_KeyboardEvent &e);
    void ToPixels(HostWindow *w, int *x, int *y);

    // sdl_x11.cpp
    void SetUpX11Window(HostWindow *w);
#if defined(SDL_VIDEO_DRIVER_X11)
    bool HandleX11(const XEvent &x);
    HostWindow *FindX11Window(::Window xwindow);
#endif

    static constexpr int kEventBatch = 128;
    enum class Video { Untried, Failed, Running };
    Video video_ = Video::Untried;
    bool x11_ = false;  // pointer input and exposure from the X events
#if defined(SDL_VIDEO_DRIVER_X11)
    Display *display_ = nullptr;  // the X connection, once a window has told us
#endif
    Uint64 lastRead_ = 0;
    std::vector<HostWindow *> windows_;
    SDL_Event batch_[kEventBatch];
};

// Hands a mouse message to USER.
void Deliver(HWND hwnd, const MouseMessage &m);

}  // namespace kp::host
