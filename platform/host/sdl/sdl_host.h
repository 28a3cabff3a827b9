// The desktop host: shows the layer's windows through SDL 2 and turns SDL's
// input and window events into the calls of user/host_events.h. Only the
// files of this folder see SDL.
//
//   sdl_host.cpp     starting SDL, the windows, the event loop
//   sdl_queue.cpp    every event SDL would queue, moved into the host's own
//                    queue as it happens
//   sdl_events.cpp   SDL's window, mouse and key events
//   sdl_x11.cpp      X11: pointer input and exposures straight from the X
//                    events, the scale, placement, X errors, and an image of
//                    the host's own where SDL has no window surface
//   sdl_present.cpp  showing what the windows' surfaces changed
//   x11_queue_memory.cpp  giving back what reading a large X backlog took
#pragma once

#include <SDL.h>
#include <SDL_syswm.h>

#include <windows.h>

#include <vector>

#include "../../user/host.h"
#include "../device_pixels.h"
#include "../event_queue.h"
#include "../pointer_state.h"
#include "x11_queue_memory.h"

namespace kp::host {

struct HostWindow {
    HWND hwnd = nullptr;
    SDL_Window *window = nullptr;
    Uint32 id = 0;
#if defined(SDL_VIDEO_DRIVER_X11)
    ::Window xwindow = 0;
    // Where SDL can make no window surface for the screen's visual (30-bit
    // colour), the host shows the window through an image of its own.
    Display *display = nullptr;
    Visual *visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    XImage *image = nullptr;
#endif
    bool ownImage = false;
    gdi::WindowSurface *surface = nullptr;  // USER's, for the window's life

    int width = 0;  // the client size that the layer knows (logical pixels)
    int height = 0;

    ShowState state = ShowState::Hidden;  // as the layer knows it
    bool maximizeRequested = false;

    // SDL's window surface was made anew (it starts blank) or not made yet;
    // set by the event filter the moment SDL drops the old one.
    bool surfaceStale = true;
    SDL_Rect updateRects[gdi::RectSet::kCapacity];

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
    const char *Failure() const override { return failure_[0] != '\0' ? failure_ : nullptr; }

  private:
    // sdl_host.cpp
    bool StartVideo();
    bool InitVideo();
    void Fail(const char *what, const char *reason);
    void FailToOpen(const char *driver, const char *reason);
    HostWindow *FindWindow(Uint32 id);
    bool FollowSize(HostWindow *w);
    void Show(HostWindow *w);
    bool DeliverQueued(bool readDisplay);
    bool XlibHasQueued();
    bool WaitForDisplay();
    bool Handle(const HostEvent &e);
    bool CloseAll();
    void ForgetWindow(HostWindow *w);

    // sdl_queue.cpp
    static int Filter(void *host, SDL_Event *e);
    bool Record(const SDL_Event &e, HostEvent *out);

    // sdl_present.cpp
    bool PrepareSurface(HostWindow *w);
    void FlushAll();
    void Flush(HostWindow *w);
    const PixelConverter &ConverterFor(const PixelLayout &layout);

    // sdl_events.cpp
    bool HandleWindowEvent(const HostEvent &e);
    bool HandleMotion(const HostEvent &e);
    bool HandleButton(const HostEvent &e);
    bool HandleKey(const HostEvent &e);

    // sdl_x11.cpp
    void StartX11();
    void SetUpX11Window(HostWindow *w);
    void ReleaseX11Window(HostWindow *w);
    bool RecordX11(const SDL_SysWMmsg &msg, HostEvent *out);
    bool HandleX11(const HostEvent &e);
    void WaitX11();
    bool TakeX11Signal();
    HostWindow *FindX11Window(uint32_t xwindow);
    bool UseOwnImage(HostWindow *w, const char *sdlReason);
    // Points at the window's own image (made or remade at the window's
    // device size); false when it cannot be had.
    bool OwnImage(HostWindow *w, uint8_t **pixels, int *pitch, int *width, int *height,
                  PixelLayout *layout);
    void PutOwnImage(HostWindow *w, const SDL_Rect *rects, int count);

    enum class Video { Untried, Failed, Running };
    Video video_ = Video::Untried;
    bool x11_ = false;            // pointer input and exposure from the X events
    Display *display_ = nullptr;  // SDL's X connection, once a window has told us
    Uint64 lastRead_ = 0;
    // Device pixels per logical pixel that the host itself makes (X11 on a
    // HiDPI screen); 1 where SDL scales (Wayland) or nothing is scaled.
    int scale_ = 1;
    std::vector<HostWindow *> windows_;
    EventQueue queue_;
    size_t backlog_ = 0;    // the most events queued since the memory went back
    Uint32 wakeEvent_ = 0;  // the event type that wakes SDL_WaitEvent
    PixelLayout converterLayout_;
    PixelConverter converter_{PixelLayout{}};
    char failure_[512] = {};
};

// Hands a mouse message to USER.
void Deliver(HWND hwnd, const MouseMessage &m);

}  // namespace kp::host
