// kp-wl-floor: the least that a correct freehand drawing program on Wayland
// can cost per mouse move. The real-display benchmark (bench/run-display.sh)
// drives it on sway exactly like the program and reports it as the floor.
//
//   kp-wl-floor [CLIENT_WIDTH CLIENT_HEIGHT]      (default 584 461)
//
// One xdg-shell toplevel of the given size (or the size the compositor
// configures, such as fullscreen), titled "Kelvane Paint floor" with the
// program's app id (so that the desktop treats it like the program's window),
// white, with the compositor's title bar (xdg-decoration) where it offers one.
// The picture lives in two wl_shm buffers (XRGB8888, one memfd pool),
// so that the compositor reads one while the client draws into the other.
// A left press sets the current point; each wl_pointer.motion with the left
// button held draws a one-pixel black line from the current point to the new
// one (Bresenham; the end point itself is left for the next segment) into
// the buffer that the next commit attaches, if the compositor has released
// it, and records the segment for the buffer it could not draw into. Commits
// are paced by frame callbacks: a commit attaches the free buffer, after
// drawing into it the segments it lacks, damages exactly the segments'
// bounding boxes (wl_surface.damage_buffer) and asks for the next frame
// callback; moves that come before that callback are drawn and gather their
// damage for the next commit. Nothing is ever written into a buffer the
// compositor holds, no move is merged or lost, and there is at most one
// commit per output frame.
//
// A configure of another size makes new buffers that keep the picture's
// overlap. The window closes on xdg_toplevel.close.
#include "bresenham.h"
#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlack = 0xFF000000;
// More damage rectangles than this in one commit are sent as their union.
constexpr size_t kMaxRects = 256;

struct Rect {
    int x, y, w, h;
};

struct Segment {
    int x0, y0, x1, y1;
};

struct Buffer {
    wl_buffer *buffer = nullptr;
    uint32_t *pixels = nullptr;
    bool busy = false;             // attached and not released yet
    std::vector<Segment> missing;  // drawn elsewhere, still to draw here
};

struct Floor {
    wl_display *display = nullptr;
    wl_compositor *compositor = nullptr;
    wl_shm *shm = nullptr;
    xdg_wm_base *wmBase = nullptr;
    wl_seat *seat = nullptr;
    wl_pointer *pointer = nullptr;
    wl_surface *surface = nullptr;
    xdg_surface *xdgSurface = nullptr;
    xdg_toplevel *toplevel = nullptr;
    zxdg_decoration_manager_v1 *decorations = nullptr;
    int width = 0, height = 0;          // the buffers' size
    int wantWidth = 0, wantHeight = 0;  // the size to take at the next configure
    Buffer buffers[2];
    void *memory = nullptr;
    size_t memorySize = 0;
    int next = 0;  // the buffer that the next commit attaches
    std::vector<Rect> damage;
    bool framePending = false;
    bool pressed = false;
    int pointerX = 0, pointerY = 0, lastX = 0, lastY = 0;
    bool running = true;
};

void Line(uint32_t *pixels, int width, int height, const Segment &s)
{
    Bresenham(s.x0, s.y0, s.x1, s.y1, [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < width && y < height)
            pixels[static_cast<size_t>(y) * width + x] = kBlack;
    });
}

void CatchUp(Floor *f, Buffer *b)
{
    for (const Segment &s : b->missing)
        Line(b->pixels, f->width, f->height, s);
    b->missing.clear();
}

void Commit(Floor *f);

void BufferRelease(void *data, wl_buffer *buffer)
{
    auto *f = static_cast<Floor *>(data);
    for (Buffer &b : f->buffers)
        if (b.buffer == buffer)
            b.busy = false;
    Commit(f);
}
const wl_buffer_listener kBufferListener = {BufferRelease};

void FrameDone(void *data, wl_callback *callback, uint32_t)
{
    auto *f = static_cast<Floor *>(data);
    wl_callback_destroy(callback);
    f->framePending = false;
    Commit(f);
}
const wl_callback_listener kFrameListener = {FrameDone};

// Attaches the next buffer with the gathered damage, when there is damage,
// no frame callback outstanding and the buffer is free; otherwise the frame
// callback or the buffer's release calls this again.
void Commit(Floor *f)
{
    Buffer &b = f->buffers[f->next];
    if (f->damage.empty() || f->framePending || b.busy || b.buffer == nullptr)
        return;
    CatchUp(f, &b);
    wl_surface_attach(f->surface, b.buffer, 0, 0);
    if (f->damage.size() > kMaxRects) {
        int x0 = f->width, y0 = f->height, x1 = 0, y1 = 0;
        for (const Rect &r : f->damage) {
            x0 = std::min(x0, r.x);
            y0 = std::min(y0, r.y);
            x1 = std::max(x1, r.x + r.w);
            y1 = std::max(y1, r.y + r.h);
        }
        f->damage.assign(1, Rect{x0, y0, x1 - x0, y1 - y0});
    }
    for (const Rect &r : f->damage)
        wl_surface_damage_buffer(f->surface, r.x, r.y, r.w, r.h);
    f->damage.clear();
    wl_callback_add_listener(wl_surface_frame(f->surface), &kFrameListener, f);
    wl_surface_commit(f->surface);
    b.busy = true;
    f->framePending = true;
    f->next ^= 1;
}

void Motion(Floor *f, int x, int y)
{
    f->pointerX = x;
    f->pointerY = y;
    if (!f->pressed || f->buffers[0].buffer == nullptr)
        return;
    Segment s{f->lastX, f->lastY, x, y};
    f->damage.push_back(Rect{std::min(x, f->lastX), std::min(y, f->lastY),
                             std::abs(x - f->lastX) + 1, std::abs(y - f->lastY) + 1});
    for (int i = 0; i < 2; ++i) {
        Buffer &b = f->buffers[i];
        if (i == f->next && !b.busy) {
            CatchUp(f, &b);
            Line(b.pixels, f->width, f->height, s);
        } else {
            b.missing.push_back(s);
        }
    }
    f->lastX = x;
    f->lastY = y;
    Commit(f);
}

// Copies the picture into new buffers of width x height where both sizes
// overlap: the buffer last attached plus what it still lacks (the compositor
// may hold it, so it is read, not drawn into).
void KeepPicture(const Floor *f, Buffer *fresh, int width, int height)
{
    const Buffer &old = f->buffers[f->next ^ 1];
    if (old.buffer == nullptr)
        return;
    for (int i = 0; i < 2; ++i) {
        for (int y = 0; y < std::min(height, f->height); ++y)
            std::memcpy(fresh[i].pixels + static_cast<size_t>(y) * width,
                        old.pixels + static_cast<size_t>(y) * f->width,
                        4 * static_cast<size_t>(std::min(width, f->width)));
        for (const Segment &s : old.missing)
            Line(fresh[i].pixels, width, height, s);
    }
}

// Two buffers of width x height in one new memfd pool, white but for what
// the old ones held where both sizes overlap.
bool Resize(Floor *f, int width, int height)
{
    size_t stride = static_cast<size_t>(width) * 4, bytes = stride * height;
    int fd = memfd_create("kp-wl-floor", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(2 * bytes)) != 0) {
        std::perror("kp-wl-floor: memfd");
        return false;
    }
    void *memory = mmap(nullptr, 2 * bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        std::perror("kp-wl-floor: mmap");
        close(fd);
        return false;
    }
    wl_shm_pool *pool = wl_shm_create_pool(f->shm, fd, static_cast<int32_t>(2 * bytes));
    Buffer fresh[2];
    for (int i = 0; i < 2; ++i) {
        fresh[i].pixels = reinterpret_cast<uint32_t *>(static_cast<char *>(memory) + i * bytes);
        std::fill(fresh[i].pixels, fresh[i].pixels + static_cast<size_t>(width) * height, kWhite);
        fresh[i].buffer =
            wl_shm_pool_create_buffer(pool, static_cast<int32_t>(i * bytes), width, height,
                                      static_cast<int32_t>(stride), WL_SHM_FORMAT_XRGB8888);
        wl_buffer_add_listener(fresh[i].buffer, &kBufferListener, f);
    }
    wl_shm_pool_destroy(pool);
    close(fd);
    KeepPicture(f, fresh, width, height);
    for (Buffer &b : f->buffers)
        if (b.buffer != nullptr)
            wl_buffer_destroy(b.buffer);
    if (f->memory != nullptr)
        munmap(f->memory, f->memorySize);
    f->buffers[0] = std::move(fresh[0]);
    f->buffers[1] = std::move(fresh[1]);
    f->memory = memory;
    f->memorySize = 2 * bytes;
    f->width = width;
    f->height = height;
    f->next = 0;
    f->damage.assign(1, Rect{0, 0, width, height});
    return true;
}

void ToplevelConfigure(void *data, xdg_toplevel *, int32_t width, int32_t height, wl_array *)
{
    auto *f = static_cast<Floor *>(data);
    if (width > 0 && height > 0) {
        f->wantWidth = width;
        f->wantHeight = height;
    }
}

void ToplevelClose(void *data, xdg_toplevel *)
{
    static_cast<Floor *>(data)->running = false;
}
// configure_bounds and wm_capabilities come from versions 4 and 5, not bound.
const xdg_toplevel_listener kToplevelListener = {ToplevelConfigure, ToplevelClose, nullptr,
                                                 nullptr};

void SurfaceConfigure(void *data, xdg_surface *surface, uint32_t serial)
{
    auto *f = static_cast<Floor *>(data);
    xdg_surface_ack_configure(surface, serial);
    if (f->wantWidth != f->width || f->wantHeight != f->height) {
        if (!Resize(f, f->wantWidth, f->wantHeight))
            f->running = false;
    }
    Commit(f);
}
const xdg_surface_listener kSurfaceListener = {SurfaceConfigure};

void Ping(void *, xdg_wm_base *base, uint32_t serial)
{
    xdg_wm_base_pong(base, serial);
}
const xdg_wm_base_listener kWmBaseListener = {Ping};

void PointerEnter(void *data, wl_pointer *pointer, uint32_t serial, wl_surface *, wl_fixed_t x,
                  wl_fixed_t y)
{
    auto *f = static_cast<Floor *>(data);
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);  // no cursor in the pictures
    f->pointerX = wl_fixed_to_int(x);
    f->pointerY = wl_fixed_to_int(y);
}

void PointerMotion(void *data, wl_pointer *, uint32_t, wl_fixed_t x, wl_fixed_t y)
{
    Motion(static_cast<Floor *>(data), wl_fixed_to_int(x), wl_fixed_to_int(y));
}

void PointerButton(void *data, wl_pointer *, uint32_t, uint32_t, uint32_t button, uint32_t state)
{
    auto *f = static_cast<Floor *>(data);
    if (button != BTN_LEFT)
        return;
    f->pressed = state == WL_POINTER_BUTTON_STATE_PRESSED;
    f->lastX = f->pointerX;
    f->lastY = f->pointerY;
}

void PointerLeave(void *, wl_pointer *, uint32_t, wl_surface *) {}
void PointerAxis(void *, wl_pointer *, uint32_t, uint32_t, wl_fixed_t) {}
void PointerFrame(void *, wl_pointer *) {}
void PointerAxisSource(void *, wl_pointer *, uint32_t) {}
void PointerAxisStop(void *, wl_pointer *, uint32_t, uint32_t) {}
void PointerAxisDiscrete(void *, wl_pointer *, uint32_t, int32_t) {}
const wl_pointer_listener kPointerListener = {
    PointerEnter,        PointerLeave, PointerMotion,     PointerButton,
    PointerAxis,         PointerFrame, PointerAxisSource, PointerAxisStop,
    PointerAxisDiscrete, nullptr,  // axis_value120 (version 8) is not bound
};

void SeatCapabilities(void *data, wl_seat *seat, uint32_t caps)
{
    auto *f = static_cast<Floor *>(data);
    if ((caps & WL_SEAT_CAPABILITY_POINTER) && f->pointer == nullptr) {
        f->pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(f->pointer, &kPointerListener, f);
    }
}
void SeatName(void *, wl_seat *, const char *) {}
const wl_seat_listener kSeatListener = {SeatCapabilities, SeatName};

void Global(void *data, wl_registry *registry, uint32_t name, const char *interface,
            uint32_t version)
{
    auto *f = static_cast<Floor *>(data);
    auto bind = [&](const wl_interface *type, uint32_t want) {
        return wl_registry_bind(registry, name, type, std::min(version, want));
    };
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        f->compositor = static_cast<wl_compositor *>(bind(&wl_compositor_interface, 4));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        f->shm = static_cast<wl_shm *>(bind(&wl_shm_interface, 1));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        f->wmBase = static_cast<xdg_wm_base *>(bind(&xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(f->wmBase, &kWmBaseListener, f);
    } else if (std::strcmp(interface, zxdg_decoration_manager_v1_interface.name) == 0) {
        f->decorations = static_cast<zxdg_decoration_manager_v1 *>(
            bind(&zxdg_decoration_manager_v1_interface, 1));
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && f->seat == nullptr) {
        f->seat = static_cast<wl_seat *>(bind(&wl_seat_interface, 5));
        wl_seat_add_listener(f->seat, &kSeatListener, f);
    }
}
void GlobalRemove(void *, wl_registry *, uint32_t) {}
const wl_registry_listener kRegistryListener = {Global, GlobalRemove};

}  // namespace

int main(int argc, char **argv)
{
    Floor f;
    f.wantWidth = 584;
    f.wantHeight = 461;
    if (argc == 3) {
        f.wantWidth = std::atoi(argv[1]);
        f.wantHeight = std::atoi(argv[2]);
    }
    if ((argc != 1 && argc != 3) || f.wantWidth <= 0 || f.wantHeight <= 0) {
        std::fprintf(stderr, "usage: kp-wl-floor [CLIENT_WIDTH CLIENT_HEIGHT]\n");
        return 2;
    }
    f.display = wl_display_connect(nullptr);
    if (f.display == nullptr) {
        std::fprintf(stderr, "kp-wl-floor: cannot connect to the Wayland display\n");
        return 1;
    }
    wl_registry *registry = wl_display_get_registry(f.display);
    wl_registry_add_listener(registry, &kRegistryListener, &f);
    wl_display_roundtrip(f.display);
    if (f.compositor == nullptr || f.shm == nullptr || f.wmBase == nullptr) {
        std::fprintf(stderr, "kp-wl-floor: the compositor lacks wl_compositor, wl_shm or "
                             "xdg_wm_base\n");
        return 1;
    }
    f.surface = wl_compositor_create_surface(f.compositor);
    f.xdgSurface = xdg_wm_base_get_xdg_surface(f.wmBase, f.surface);
    xdg_surface_add_listener(f.xdgSurface, &kSurfaceListener, &f);
    f.toplevel = xdg_surface_get_toplevel(f.xdgSurface);
    xdg_toplevel_add_listener(f.toplevel, &kToplevelListener, &f);
    xdg_toplevel_set_title(f.toplevel, "Kelvane Paint floor");
    xdg_toplevel_set_app_id(f.toplevel, "kelvane-paint");
    // Title bars drawn by the compositor where it offers them, as the
    // program asks for them too.
    if (f.decorations != nullptr)
        zxdg_toplevel_decoration_v1_set_mode(
            zxdg_decoration_manager_v1_get_toplevel_decoration(f.decorations, f.toplevel),
            ZXDG_TOPLEVEL_DECORATION_V1_MODE_SERVER_SIDE);
    wl_surface_commit(f.surface);
    while (f.running && wl_display_dispatch(f.display) != -1) {
    }
    xdg_toplevel_destroy(f.toplevel);
    xdg_surface_destroy(f.xdgSurface);
    wl_surface_destroy(f.surface);
    wl_display_disconnect(f.display);
    return 0;
}
