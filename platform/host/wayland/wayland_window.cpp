// The host's windows on Wayland: a surface each, in a frame that libdecor
// makes (the compositor's title bar, or one of libdecor's own), configured
// by the compositor, at the largest scale of the outputs it is on.
//
// Sizes. The compositor proposes a window's content size in configurations;
// USER hears them as the user's resizing, maximizing and restoring, in
// order with the input. Where the compositor leaves the size to the window
// (0 x 0), it is the size USER has for the window's state. A size the
// program sets itself is committed as the frame's new content size.
//
// Minimizing. Wayland tells a window nothing of being minimized or brought
// back, so the window stays as USER has it while the compositor hides it;
// a window the program minimized comes back with the compositor's next
// configuration.
#include <libdecor.h>

#include <algorithm>
#include <string>

#include "../../user/host_events.h"
#include "../end_signals.h"
#include "wayland_host.h"

namespace kp::host {

namespace {

constexpr const char *kAppId = "kelvane-paint";  // the desktop entry's name

WaylandWindow &Of(void *data)
{
    return *static_cast<WaylandWindow *>(data);
}

void OnConfigure(libdecor_frame *, libdecor_configuration *configuration, void *data)
{
    WaylandWindow &w = Of(data);
    w.host.Configure(w, configuration);
}

void OnClose(libdecor_frame *, void *data)
{
    WaylandWindow &w = Of(data);
    w.host.Queue(HostEvent{kCloseRequest, static_cast<uint32_t>(w.id), 0, 0, 0, 0, 0, 0});
}

// The frame's own surfaces changed with the window's: commit it too.
void OnCommit(libdecor_frame *, void *data)
{
    wl_surface_commit(Of(data).content);
}

void OnDismissPopup(libdecor_frame *, const char *, void *) {}

libdecor_frame_interface kFrameInterface = {
    OnConfigure, OnClose, OnCommit, OnDismissPopup, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}};

void OnEnter(void *data, wl_surface *, wl_output *output)
{
    WaylandWindow &w = Of(data);
    if (std::find(w.outputs.begin(), w.outputs.end(), output) == w.outputs.end())
        w.outputs.push_back(output);
    w.host.ScaleChanged(w);
}

void OnLeave(void *data, wl_surface *, wl_output *output)
{
    WaylandWindow &w = Of(data);
    std::erase(w.outputs, output);
    w.host.ScaleChanged(w);
}

const wl_surface_listener kSurfaceListener = {OnEnter, OnLeave};

}  // namespace

WaylandWindow::~WaylandWindow()
{
    presenter.reset();  // its buffers go before the surface
    if (frame != nullptr)
        libdecor_frame_unref(frame);
    if (content != nullptr)
        wl_surface_destroy(content);
}

// The window's scale: the largest of the outputs it is on; before it is on
// any, the largest there is, so that its first picture is sharp.
int WaylandHost::Scale(const WaylandWindow &w) const
{
    int scale = 1;
    for (const auto &o : outputs_) {
        const bool on = std::find(w.outputs.begin(), w.outputs.end(), o->output) != w.outputs.end();
        if (on || w.outputs.empty())
            scale = std::max(scale, o->scale);
    }
    return scale;
}

void WaylandHost::ScaleChanged(WaylandWindow &w)
{
    if (w.presenter)
        w.Shm().SetScale(Scale(w));
}

void WaylandHost::Decorate(WaylandWindow &w)
{
    w.frame = libdecor_decorate(decor_, w.content, &kFrameInterface, &w);
    if (w.frame == nullptr)
        return;
    libdecor_frame_set_title(w.frame, w.title.c_str());
    libdecor_frame_set_app_id(w.frame, kAppId);
    libdecor_frame_set_min_content_size(w.frame, 1, 1);
    const SIZE most = kp::user::HostMaxClientSize(w.hwnd);
    libdecor_frame_set_max_content_size(w.frame, int(most.cx), int(most.cy));
}

HostWindow *WaylandHost::CreateHostWindow(HWND hwnd, const char *title, gdi::WindowSurface *surface,
                                          int clientWidth, int clientHeight)
{
    if (decor_ == nullptr)
        return nullptr;
    auto *w = new WaylandWindow(hwnd, surface, *this, nextId_++);
    if (!windows_.Add(w))
        return nullptr;
    w->content = wl_compositor_create_surface(compositor_);
    wl_surface_add_listener(w->content, &kSurfaceListener, w);
    w->presenter = std::make_unique<ShmPresenter>(shm_, w->content, surface);
    w->Shm().SetScale(Scale(*w));
    w->SetClientSize(std::max(clientWidth, 1), std::max(clientHeight, 1));
    w->title = title ? title : "";
    SetCloseOnEndSignal(true);
    return w;
}

void WaylandHost::DestroyHostWindow(HostWindow *window)
{
    auto *w = static_cast<WaylandWindow *>(window);
    if (!windows_.Contains(w))
        return;
    if (pointerWindow_ == w->id)
        pointerWindow_ = 0;
    if (keyboardWindow_ == w->id)
        keyboardWindow_ = 0;
    windows_.Remove(w);
    wl_display_flush(display_);
}

// The compositor's configuration, acknowledged at once with the size the
// window will have; USER hears it in order with the input.
void WaylandHost::Configure(WaylandWindow &w, libdecor_configuration *configuration)
{
    int width = 0, height = 0;
    libdecor_window_state state = LIBDECOR_WINDOW_STATE_NONE;
    libdecor_configuration_get_window_state(configuration, &state);
    if (!libdecor_configuration_get_content_size(configuration, w.frame, &width, &height) ||
        width <= 0 || height <= 0) {
        const SIZE size = (state & LIBDECOR_WINDOW_STATE_MAXIMIZED)
                              ? kp::user::HostMaximizedClientSize(w.hwnd)
                              : kp::user::HostNormalClientSize(w.hwnd);
        width = size.cx > 0 ? int(size.cx) : w.width;
        height = size.cy > 0 ? int(size.cy) : w.height;
    }
    // Never larger than USER lets a window be (the screen and its frame).
    const SIZE most = kp::user::HostMaxClientSize(w.hwnd);
    width = std::min<int>(width, int(most.cx));
    height = std::min<int>(height, int(most.cy));
    libdecor_state *committed = libdecor_state_new(width, height);
    libdecor_frame_commit(w.frame, committed, configuration);
    libdecor_state_free(committed);
    // At once, not at the next picture: the frame's surfaces are
    // synchronized subsurfaces, whose new state (libdecor's shadow gets its
    // input region with the second configuration) takes effect only with
    // this surface's commit. Without it mutter 43 sends the pointer over the
    // client area to the shadow, and keeps doing so.
    wl_surface_commit(w.content);
    w.configured = true;
    w.Shm().SetReady(w.mapped);
    Queue(HostEvent{kConfigure, static_cast<uint32_t>(w.id), width, height, 0, 0,
                    static_cast<uint32_t>(state), 0});
}

bool WaylandHost::DeliverConfigure(WaylandWindow &w, const HostEvent &e)
{
    const bool maximized = (e.state & LIBDECOR_WINDOW_STATE_MAXIMIZED) != 0;
    const ShowState old = w.state;
    if (old == ShowState::Hidden)
        return false;
    const bool resized = e.x != w.width || e.y != w.height;
    w.SetClientSize(e.x, e.y);
    SIZE took;
    if (maximized && old != ShowState::Maximized) {
        w.state = ShowState::Maximized;
        took = kp::user::HostMaximized(w.hwnd, w.width, w.height);
    } else if (!maximized && old != ShowState::Normal) {
        w.state = ShowState::Normal;
        took = kp::user::HostRestored(w.hwnd, w.width, w.height);
    } else if (resized) {
        took = kp::user::HostResized(w.hwnd, w.width, w.height);
    } else {
        return false;
    }
    w.SetClientSize(took.cx, took.cy);
    return true;
}

void WaylandHost::Map(WaylandWindow &w)
{
    if (w.mapped)
        return;
    Decorate(w);
    if (w.frame == nullptr)
        return;
    w.mapped = true;
    libdecor_frame_map(w.frame);
    w.Shm().SetReady(w.configured);
}

// Hiding a window takes its frame away; the next show makes a new one.
void WaylandHost::Unmap(WaylandWindow &w)
{
    if (!w.mapped)
        return;
    libdecor_frame_unref(w.frame);
    w.frame = nullptr;
    wl_surface_attach(w.content, nullptr, 0, 0);
    wl_surface_commit(w.content);
    w.mapped = w.configured = false;
    w.Shm().SetReady(false);
}

void WaylandHost::SetShowState(HostWindow *window, ShowState state)
{
    auto &w = static_cast<WaylandWindow &>(*window);
    const ShowState old = w.state;
    w.state = state;
    if (state == ShowState::Hidden) {
        Unmap(w);
        return;
    }
    Map(w);
    if (w.frame == nullptr)
        return;
    if (state == ShowState::Maximized && old != ShowState::Maximized)
        libdecor_frame_set_maximized(w.frame);
    else if (state == ShowState::Normal && old == ShowState::Maximized)
        libdecor_frame_unset_maximized(w.frame);
    else if (state == ShowState::Minimized)
        libdecor_frame_set_minimized(w.frame);
}

void WaylandHost::ResizeHostWindow(HostWindow *window, int clientWidth, int clientHeight)
{
    auto &w = static_cast<WaylandWindow &>(*window);
    w.SetClientSize(clientWidth, clientHeight);
    // A floating window takes the size the program sets; a maximized one
    // has the compositor's.
    if (!w.configured || w.frame == nullptr || w.width == 0 || w.height == 0 ||
        !libdecor_frame_is_floating(w.frame))
        return;
    libdecor_state *state = libdecor_state_new(w.width, w.height);
    libdecor_frame_commit(w.frame, state, nullptr);
    libdecor_state_free(state);
}

}  // namespace kp::host
