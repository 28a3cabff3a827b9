// The X11 host: shows the layer's windows on an X server. SDL 2 makes the
// windows and speaks to the window manager (size, minimize, maximize, close);
// the host reads the pointer, exposures and keys straight from the X events
// and shows the window's pixels through an X image of its own. Only the
// files of this folder see SDL or Xlib.
//
//   sdl_host.cpp      starting SDL, the windows, the event loop
//   sdl_queue.cpp     every event SDL would queue, moved into the host's own
//                     queue as it happens
//   sdl_events.cpp    SDL's window events (size, minimize, maximize, close)
//   x11_events.cpp    the X events: pointer, exposures, Alt+F4; waiting for
//                     the connection
//   x11_window.cpp    what the host sets on each X window (placement, bit
//                     gravity, input), and X errors
//   x11_present.cpp   the X image that shows a window's pixels
//   x11_input.cpp     X button and key state as Windows has them
//   display_scale.cpp the HiDPI scale (GDK_SCALE, Xft.dpi)
//   x11_queue_memory.cpp  giving back what reading a large X backlog took
#pragma once

#include <SDL.h>
#include <SDL_syswm.h>

#include <windows.h>

#include "../../user/host.h"
#include "../event_queue.h"
#include "../host_window.h"
#include "../shortage.h"

namespace kp::host {

struct SdlWindow : HostWindow {
    using HostWindow::HostWindow;
    ~SdlWindow() override;

    SDL_Window *window = nullptr;
    Uint32 id = 0;
    ::Window xwindow = 0;
    bool mapped = false;  // the host asked for the window to be shown
    bool maximizeRequested = false;
};

class SdlHost final : public Host {
  public:
    ~SdlHost() override;
    // Opens the X display; false (Failure() says why) when it cannot.
    bool Start();

    void ScreenSize(int *width, int *height) override;
    HostWindow *CreateHostWindow(HWND hwnd, const char *title, gdi::WindowSurface *surface,
                                 int clientWidth, int clientHeight) override;
    void DestroyHostWindow(HostWindow *window) override;
    void SetShowState(HostWindow *window, ShowState state) override;
    void ResizeHostWindow(HostWindow *window, int clientWidth, int clientHeight) override;
    void PumpEvents(bool wait) override;
    const char *Failure() const override { return failure_[0] != '\0' ? failure_ : nullptr; }
    void PixelShortage(int width, int height) override { SayShortage(width, height); }

  private:
    // sdl_host.cpp
    void Fail(const char *what, const char *reason);
    SdlWindow *FindWindow(Uint32 id) const;
    SdlWindow *NewWindow(HWND hwnd, const char *title, gdi::WindowSurface *surface, int width,
                         int height);
    bool FollowSize(SdlWindow &w);
    void Show(SdlWindow &w);
    void Hide(SdlWindow &w);
    bool DeliverQueued(bool readDisplay);
    bool Handle(const HostEvent &e);
    bool CloseAll();

    // sdl_queue.cpp
    static int Filter(void *host, SDL_Event *e);
    bool Record(const SDL_Event &e, HostEvent *out);

    // sdl_events.cpp
    bool HandleWindowEvent(const HostEvent &e);

    // x11_window.cpp
    void StartX11();
    bool SetUpX11Window(SdlWindow &w);
    bool WindowManagerRuns();

    // x11_events.cpp
    SdlWindow *FindX11Window(uint32_t xwindow) const;
    bool RecordX11(const SDL_SysWMmsg &msg, HostEvent *out);
    bool HandleX11(const HostEvent &e);
    bool HandleX11Pointer(SdlWindow &w, const HostEvent &e);
    bool XlibHasQueued();
    void WaitForDisplay();

    bool started_ = false;
    Display *display_ = nullptr;  // SDL's X connection, once a window has told us
    Uint64 lastRead_ = 0;
    // Device pixels per logical pixel (display_scale.h); 1 when nothing is
    // scaled.
    int scale_ = 1;
    WindowRegistry windows_;
    EventQueue queue_;
    size_t backlog_ = 0;  // the most events queued since the memory went back
    char failure_[512] = {};
};

}  // namespace kp::host
