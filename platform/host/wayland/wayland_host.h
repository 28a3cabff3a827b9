// The Wayland host: shows the layer's windows natively on a Wayland
// compositor, with libwayland-client and nothing between. libdecor makes the
// windows' frames: the compositor's own title bar where it draws one
// (xdg-decoration), else one that libdecor draws. Only the files of this
// folder see Wayland.
//
//   wayland_host.cpp     connecting, the compositor's globals and outputs,
//                        the event loop
//   wayland_window.cpp   windows: their surface, frame, configuration, scale
//   wayland_input.cpp    the seat: pointer and keyboard
//   shm_presenter.cpp    showing a window's pixels through shared memory
//
// Events. Whatever the compositor says that USER must hear (pointer, keys,
// a new size, a close) goes into the host's own queue as it is read, in
// order, and reaches USER from there as its queue has room, so that nothing
// is dropped however much arrives at once. What only the host needs (a frame
// shown, a buffer released, an output's scale) is taken at once.
#pragma once

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "../../user/host.h"
#include "../event_queue.h"
#include "../host_window.h"
#include "../shortage.h"
#include "shm_presenter.h"

struct libdecor;
struct libdecor_frame;
struct libdecor_configuration;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct wl_cursor_theme;

namespace kp::host {

class WaylandHost;

struct WaylandOutput {
    wl_output *output = nullptr;
    zxdg_output_v1 *xdg = nullptr;
    uint32_t name = 0;  // the global's
    int scale = 1;
    int modeWidth = 0;  // device pixels
    int modeHeight = 0;
    int logicalWidth = 0;  // the compositor's space (xdg-output), 0 until told
    int logicalHeight = 0;
};

struct WaylandWindow : HostWindow {
    WaylandWindow(HWND window, gdi::WindowSurface *pixels, WaylandHost &owner, int windowId)
        : HostWindow(window, pixels), host(owner), id(windowId)
    {
    }
    ~WaylandWindow() override;

    ShmPresenter &Shm() { return static_cast<ShmPresenter &>(*presenter); }

    WaylandHost &host;
    const int id;
    std::string title;
    wl_surface *content = nullptr;
    libdecor_frame *frame = nullptr;   // none while the window is hidden
    bool mapped = false;               // the frame was asked to show
    bool configured = false;           // its first configuration was acknowledged
    std::vector<wl_output *> outputs;  // the outputs the surface is on
};

// What the host queues for USER: HostEvent::type.
enum WaylandRecord : uint32_t {
    kPointerEnter = 1,  // x, y: position (wl_fixed)
    kPointerMotion,     // x, y
    kPointerLeave,
    kPointerButton,  // detail: the button's code, state: pressed
    kModifiers,      // state: shift | control << 1
    kCloseKey,       // Alt+F4
    kConfigure,      // x, y: the content size; state: libdecor's window state
    kCloseRequest,
};

class WaylandHost final : public Host {
  public:
    ~WaylandHost() override;
    // Connects to the compositor; false (Failure() says why) when it cannot
    // show windows there.
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

    // ---- For the listeners --------------------------------------------------
    void AddGlobal(uint32_t name, const char *interface, uint32_t version);
    void RemoveGlobal(uint32_t name);
    WaylandOutput *OutputOf(const wl_output *output);
    void OutputChanged();
    void Queue(const HostEvent &record) { queue_.Push(record); }
    WaylandWindow *WindowOf(const wl_surface *surface) const;
    WaylandWindow *WindowWithId(int id) const;
    // wayland_window.cpp
    void Configure(WaylandWindow &w, libdecor_configuration *configuration);
    void ScaleChanged(WaylandWindow &w);
    // wayland_input.cpp
    void SeatCapabilities(uint32_t capabilities);
    void PointerEntered(wl_surface *surface, uint32_t serial, wl_fixed_t x, wl_fixed_t y);
    void PointerLeft(wl_surface *surface);
    void PointerMoved(wl_fixed_t x, wl_fixed_t y);
    void PointerButton(uint32_t button, uint32_t state);
    void KeyboardEntered(wl_surface *surface);
    void Keymap(int fd, uint32_t size);
    void Modifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group);
    void Key(uint32_t key, uint32_t state);

  private:
    void Fail(const char *what, const char *detail);
    bool BindGlobals();
    bool CheckGlobals();
    int Scale(const WaylandWindow &w) const;
    void Decorate(WaylandWindow &w);
    void Map(WaylandWindow &w);
    void Unmap(WaylandWindow &w);
    void ListenToSeat();
    void DropSeat();
    void SetCursor(uint32_t serial, int scale);
    bool Read(int timeout);
    bool DeliverQueued();
    bool Deliver(const HostEvent &e);
    bool DeliverConfigure(WaylandWindow &w, const HostEvent &e);
    bool DeliverPointer(WaylandWindow &w, const HostEvent &e);
    void LostConnection();

    wl_display *display_ = nullptr;
    wl_registry *registry_ = nullptr;
    wl_compositor *compositor_ = nullptr;
    wl_shm *shm_ = nullptr;
    wl_seat *seat_ = nullptr;
    uint32_t seatName_ = 0;
    bool hasShell_ = false;  // xdg_wm_base, which libdecor binds itself
    zxdg_output_manager_v1 *xdgOutputs_ = nullptr;
    std::vector<std::unique_ptr<WaylandOutput>> outputs_;  // stable: listeners hold them
    libdecor *decor_ = nullptr;

    wl_pointer *pointer_ = nullptr;
    wl_keyboard *keyboard_ = nullptr;
    int pointerWindow_ = 0;    // the id of the window the pointer is over
    wl_fixed_t pointerX_ = 0;  // and where on it
    wl_fixed_t pointerY_ = 0;
    int keyboardWindow_ = 0;  // and of the one with the keyboard focus
    wl_cursor_theme *cursorTheme_ = nullptr;
    wl_surface *cursorSurface_ = nullptr;
    int cursorScale_ = 0;
    xkb_context *xkb_ = nullptr;
    xkb_keymap *keymap_ = nullptr;
    xkb_state *keyState_ = nullptr;

    WindowRegistry windows_;
    int nextId_ = 1;
    long long lastRead_ = 0;  // milliseconds, of a read that did not wait
    EventQueue queue_;
    char failure_[512] = {};
};

}  // namespace kp::host
