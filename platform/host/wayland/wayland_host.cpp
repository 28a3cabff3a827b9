// Connecting to the compositor, its globals and outputs, and the event loop.
#include "wayland_host.h"

#include <libdecor.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-cursor.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "../../user/host_events.h"
#include "../end_signals.h"
#include "xdg-output-unstable-v1-client-protocol.h"

namespace kp::host {

namespace {

// At most this many events reach USER per PumpEvents; the rest stay queued,
// in order, so that the window is painted and shown now and then however
// long a backlog.
constexpr int kMaxEventsPerPump = 1024;

void OnGlobal(void *data, wl_registry *, uint32_t name, const char *interface, uint32_t version)
{
    static_cast<WaylandHost *>(data)->AddGlobal(name, interface, version);
}

void OnGlobalRemove(void *data, wl_registry *, uint32_t name)
{
    static_cast<WaylandHost *>(data)->RemoveGlobal(name);
}

const wl_registry_listener kRegistryListener = {OnGlobal, OnGlobalRemove};

WaylandOutput *Output(void *data, wl_output *output)
{
    return static_cast<WaylandHost *>(data)->OutputOf(output);
}

void OnMode(void *data, wl_output *output, uint32_t flags, int32_t width, int32_t height, int32_t)
{
    WaylandOutput *o = Output(data, output);
    if (o != nullptr && (flags & WL_OUTPUT_MODE_CURRENT)) {
        o->modeWidth = width;
        o->modeHeight = height;
    }
}

void OnScale(void *data, wl_output *output, int32_t factor)
{
    if (WaylandOutput *o = Output(data, output))
        o->scale = std::max(factor, 1);
}

void OnOutputDone(void *data, wl_output *)
{
    static_cast<WaylandHost *>(data)->OutputChanged();
}

void OnGeometry(void *, wl_output *, int32_t, int32_t, int32_t, int32_t, int32_t, const char *,
                const char *, int32_t)
{
}

void OnName(void *, wl_output *, const char *) {}

const wl_output_listener kOutputListener = {OnGeometry, OnMode, OnOutputDone,
                                            OnScale,    OnName, OnName};

void OnLogicalSize(void *data, zxdg_output_v1 *xdg, int32_t width, int32_t height)
{
    auto *o = static_cast<WaylandOutput *>(data);
    (void)xdg;
    o->logicalWidth = width;
    o->logicalHeight = height;
}

void OnLogicalPosition(void *, zxdg_output_v1 *, int32_t, int32_t) {}
void OnXdgDone(void *, zxdg_output_v1 *) {}
void OnXdgName(void *, zxdg_output_v1 *, const char *) {}

const zxdg_output_v1_listener kXdgOutputListener = {OnLogicalPosition, OnLogicalSize, OnXdgDone,
                                                    OnXdgName, OnXdgName};

void OnDecorError(libdecor *, libdecor_error, const char *) {}

libdecor_interface kDecorInterface = {OnDecorError, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}};

long long MonotonicMilliseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000ll + now.tv_nsec / 1000000;
}

template <class T>
T *Bind(wl_registry *registry, uint32_t name, const wl_interface *interface, uint32_t version)
{
    return static_cast<T *>(wl_registry_bind(registry, name, interface, version));
}

}  // namespace

WaylandHost::~WaylandHost()
{
    windows_.Clear();
    DropSeat();
    if (decor_ != nullptr)
        libdecor_unref(decor_);
    for (auto &o : outputs_) {
        if (o->xdg != nullptr)
            zxdg_output_v1_destroy(o->xdg);
        wl_output_destroy(o->output);
    }
    if (xdgOutputs_ != nullptr)
        zxdg_output_manager_v1_destroy(xdgOutputs_);
    if (display_ != nullptr)
        wl_display_disconnect(display_);  // the rest goes with the connection
}

void WaylandHost::Fail(const char *what, const char *detail)
{
    if (failure_[0] == '\0')
        std::snprintf(failure_, sizeof failure_, "%s: %s", what, detail);
}

void WaylandHost::AddGlobal(uint32_t name, const char *interface, uint32_t version)
{
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && version >= 4)
        compositor_ = Bind<wl_compositor>(registry_, name, &wl_compositor_interface, 4);
    else if (std::strcmp(interface, wl_shm_interface.name) == 0)
        shm_ = Bind<wl_shm>(registry_, name, &wl_shm_interface, 1);
    else if (std::strcmp(interface, "xdg_wm_base") == 0)
        hasShell_ = true;
    else if (std::strcmp(interface, wl_seat_interface.name) == 0 && seat_ == nullptr) {
        seat_ = Bind<wl_seat>(registry_, name, &wl_seat_interface, std::min(version, 5u));
        seatName_ = name;
        ListenToSeat();  // at once: it tells its capabilities right away
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        xdgOutputs_ =
            Bind<zxdg_output_manager_v1>(registry_, name, &zxdg_output_manager_v1_interface, 2);
        OutputChanged();
    } else if (std::strcmp(interface, wl_output_interface.name) == 0 && version >= 2) {
        auto o = std::make_unique<WaylandOutput>();
        o->name = name;
        o->output = Bind<wl_output>(registry_, name, &wl_output_interface, 2);
        wl_output_add_listener(o->output, &kOutputListener, this);
        outputs_.push_back(std::move(o));
        OutputChanged();
    }
}

void WaylandHost::RemoveGlobal(uint32_t name)
{
    if (name == seatName_)
        DropSeat();
    for (auto it = outputs_.begin(); it != outputs_.end(); ++it) {
        WaylandOutput &o = **it;
        if (o.name != name)
            continue;
        if (o.xdg != nullptr)
            zxdg_output_v1_destroy(o.xdg);
        wl_output_destroy(o.output);
        const wl_output *gone = o.output;
        outputs_.erase(it);
        windows_.ForEach<WaylandWindow>([&](WaylandWindow &w) {
            std::erase(w.outputs, gone);
            ScaleChanged(w);
        });
        return;
    }
}

WaylandOutput *WaylandHost::OutputOf(const wl_output *output)
{
    for (auto &o : outputs_)
        if (o->output == output)
            return o.get();
    return nullptr;
}

// An output was added or told its mode and scale: every output gets its
// place in the compositor's space (xdg-output) once that can be asked, and
// every window the scale of where it is now.
void WaylandHost::OutputChanged()
{
    for (auto &o : outputs_) {
        if (o->xdg == nullptr && xdgOutputs_ != nullptr) {
            o->xdg = zxdg_output_manager_v1_get_xdg_output(xdgOutputs_, o->output);
            zxdg_output_v1_add_listener(o->xdg, &kXdgOutputListener, o.get());
        }
    }
    windows_.ForEach<WaylandWindow>([this](WaylandWindow &w) { ScaleChanged(w); });
}

// What the program cannot do without: a compositor that takes surfaces in
// shared memory, a shell for windows and a seat for input.
bool WaylandHost::CheckGlobals()
{
    const char *missing = compositor_ == nullptr ? "wl_compositor (version 4)"
                          : shm_ == nullptr      ? "wl_shm"
                          : !hasShell_           ? "xdg_wm_base"
                          : seat_ == nullptr     ? "wl_seat"
                                                 : nullptr;
    if (missing == nullptr)
        return true;
    char what[300];
    std::snprintf(what, sizeof what, "cannot show a window on the Wayland display \"%s\"",
                  std::getenv("WAYLAND_DISPLAY") ? std::getenv("WAYLAND_DISPLAY") : "");
    char detail[128];
    std::snprintf(detail, sizeof detail, "the compositor offers no %s", missing);
    Fail(what, detail);
    return false;
}

bool WaylandHost::Start()
{
    display_ = wl_display_connect(nullptr);
    if (display_ == nullptr) {
        char what[300];
        const char *name = std::getenv("WAYLAND_DISPLAY");
        std::snprintf(what, sizeof what, "cannot open the Wayland display \"%s\"",
                      name ? name : "wayland-0");
        Fail(what, std::strerror(errno != 0 ? errno : ENOENT));
        return false;
    }
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    // The globals, then what the outputs and the seat say of themselves.
    if (wl_display_roundtrip(display_) < 0 || wl_display_roundtrip(display_) < 0) {
        Fail("cannot read the Wayland compositor's globals", std::strerror(errno));
        return false;
    }
    if (!CheckGlobals())
        return false;
    decor_ = libdecor_new(display_, &kDecorInterface);
    if (decor_ == nullptr || wl_display_roundtrip(display_) < 0) {
        Fail("cannot make window frames on the Wayland display", "libdecor failed");
        return false;
    }
    return true;
}

void WaylandHost::ScreenSize(int *width, int *height)
{
    *width = *height = 0;
    if (outputs_.empty())
        return;
    // The first output, in the compositor's space: the program's pixels.
    const WaylandOutput &o = *outputs_.front();
    *width = o.logicalWidth > 0 ? o.logicalWidth : o.modeWidth / o.scale;
    *height = o.logicalHeight > 0 ? o.logicalHeight : o.modeHeight / o.scale;
}

WaylandWindow *WaylandHost::WindowOf(const wl_surface *surface) const
{
    return windows_.Find<WaylandWindow>(
        [surface](const WaylandWindow &w) { return surface != nullptr && w.content == surface; });
}

WaylandWindow *WaylandHost::WindowWithId(int id) const
{
    return windows_.Find<WaylandWindow>([id](const WaylandWindow &w) { return w.id == id; });
}

// The connection is gone, or the compositor found a fault in what the
// program sent: nothing can be shown any more. One line, exit code 1.
void WaylandHost::LostConnection()
{
    const int error = wl_display_get_error(display_);
    std::fprintf(stderr, "%s: lost the connection to the Wayland compositor: %s\n",
                 program_invocation_short_name, std::strerror(error != 0 ? error : EPIPE));
    _exit(1);
}

// Reads what the compositor sent, waiting up to timeout milliseconds (-1:
// until it sends something or a signal comes), and dispatches it to the
// listeners. False when the connection is lost.
bool WaylandHost::Read(int timeout)
{
    while (wl_display_prepare_read(display_) != 0)
        if (wl_display_dispatch_pending(display_) < 0)
            return false;
    const bool flushed = wl_display_flush(display_) >= 0 || errno != EAGAIN;
    pollfd fds[2] = {{wl_display_get_fd(display_), short(POLLIN | (flushed ? 0 : POLLOUT)), 0},
                     {EndSignalDescriptor(), POLLIN, 0}};
    const int ready = poll(fds, fds[1].fd >= 0 ? 2 : 1, timeout);
    if (ready > 0 && (fds[0].revents & (POLLIN | POLLERR | POLLHUP))) {
        if (wl_display_read_events(display_) < 0)
            return false;
    } else {
        wl_display_cancel_read(display_);
    }
    return wl_display_dispatch_pending(display_) >= 0;
}

// Hands USER what is queued, in order, as its queue has room (an event makes
// one message at most). True if anything reached it.
bool WaylandHost::DeliverQueued()
{
    bool delivered = false;
    if (TakeEndSignal()) {
        windows_.ForEach<HostWindow>([](HostWindow &w) { kp::user::HostCloseRequested(w.hwnd); });
        delivered = !windows_.Empty();
    }
    HostEvent e;
    for (int n = 0; n < kMaxEventsPerPump && kp::user::HostInputRoom() > 0 && queue_.Pop(&e); ++n)
        delivered |= Deliver(e);
    return delivered;
}

void WaylandHost::PumpEvents(bool wait)
{
    if (display_ == nullptr || decor_ == nullptr)
        return;
    windows_.PresentAll();
    // Without waiting, the connection is read at most once a millisecond: a
    // program that keeps asking still sees its input soon, and a drag's
    // moves cost no reads that find nothing.
    const long long now = MonotonicMilliseconds();
    if (queue_.Empty() && !wait && now != lastRead_) {
        lastRead_ = now;
        if (!Read(0))
            LostConnection();
    }
    bool delivered = DeliverQueued();
    while (wait && !delivered) {
        windows_.PresentAll();
        if (queue_.Empty() && !Read(-1))
            LostConnection();
        delivered = DeliverQueued();
    }
}

}  // namespace kp::host
