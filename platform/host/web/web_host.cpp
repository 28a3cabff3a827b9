// The browser host: the layer's windows in a web page. The page
// (platform/host/web/page.js) draws each window with its frame and a <canvas>
// for the client area, and queues what the user does to them; this host takes
// those events to USER and tells the page what USER decided. The glue between
// the two is platform/host/web/library.js. Nothing else sees the browser.
//
// Waiting. GetMessageA waits in PumpEvents(true), which suspends the program
// (Emscripten's ASYNCIFY unwinds the stack to the browser) until the page has
// queued an event, so the page stays responsive and no thread or
// cross-origin isolation is needed.
//
// Pixels. A window's client pixels live in its surface (USER's); the host
// puts what changed in it on the window's canvas (web_canvas.cpp). Sizes are
// in "logical" pixels throughout: CSS pixels on an ordinary display,
// which the page shows as crisp blocks of whole device pixels on a scaled
// one. The screen is the browser's screen in those pixels.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "../../user/host_events.h"
#include "../host_window.h"
#include "../pointer_input.h"
#include "browser_pointer.h"
#include "web_canvas.h"

extern "C" {
// platform/host/web/library.js
void kp_web_screen_size(int *width, int *height);
void kp_web_work_area_size(int *width, int *height);
void kp_web_window_create(int id, const char *title, int clientWidth, int clientHeight, int border,
                          int caption);
void kp_web_window_destroy(int id);
void kp_web_window_show(int id, int state, int clientWidth, int clientHeight);
int kp_web_take_events(int32_t *records, int capacity);
void kp_web_wait_for_events(void);
}

namespace kp::host {

namespace {

struct WebWindow : HostWindow {
    WebWindow(HWND window, gdi::WindowSurface *pixels, int windowId)
        : HostWindow(window, pixels), id(windowId), browserPointer(pointer)
    {
    }

    CanvasPresenter &Canvas() { return static_cast<CanvasPresenter &>(*presenter); }

    const int id;
    // Whether a minimized window goes back to maximized.
    bool restoreMaximized = false;
    // USER maximized the window: at the next PumpEvents the window takes the
    // maximized size that USER gives for the page's work area, and USER
    // hears it.
    bool reportMaximizedSize = false;
    BrowserPointer browserPointer;  // feeds pointer
};

// The page's event records: kRecordSize ints, the kind first, then the
// window's id.
constexpr int kRecordSize = 9;
constexpr int kRecordBatch = 256;

enum EventKind : int32_t {
    kPointer = 1,   // phase, pointer kind, x, y, buttons | shift << 8 | ctrl << 9, time, button
    kMinimize = 2,  // the frame's buttons, the taskbar and the caption
    kMaximize = 3,
    kRestore = 4,
    kResize = 5,  // client width, height: the user dragged the frame
    kClose = 6,
    kDesktopChanged = 7,  // the page's size or scale changed
};

enum PointerPhase : int32_t { kSample = 0, kLeave = 1, kCancel = 2 };

constexpr int kShowHidden = 0, kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3;

int PageState(ShowState state)
{
    switch (state) {
    case ShowState::Normal:
        return kShowNormal;
    case ShowState::Minimized:
        return kShowMinimized;
    case ShowState::Maximized:
        return kShowMaximized;
    default:
        return kShowHidden;
    }
}

class WebHost final : public Host {
  public:
    ~WebHost() override;
    void ScreenSize(int *width, int *height) override { kp_web_screen_size(width, height); }
    void WorkAreaSize(int *width, int *height) override { kp_web_work_area_size(width, height); }
    HostWindow *CreateHostWindow(HWND hwnd, const char *title, gdi::WindowSurface *surface,
                                 int clientWidth, int clientHeight) override;
    void DestroyHostWindow(HostWindow *window) override;
    void SetShowState(HostWindow *window, ShowState state) override;
    void ResizeHostWindow(HostWindow *window, int clientWidth, int clientHeight) override;
    void PumpEvents(bool wait) override;

  private:
    WebWindow *Find(int id) const;
    void SetClientSize(WebWindow &w, int width, int height);
    void Layout(const WebWindow &w);
    bool DeliverQueued();
    bool Deliver(const int32_t *record);
    bool Pointer(WebWindow &w, const int32_t *record);
    bool Maximize(WebWindow &w);
    bool Restore(WebWindow &w);
    bool Resize(WebWindow &w, int width, int height);

    WindowRegistry windows_;
    int nextId_ = 1;
    int32_t records_[kRecordBatch * kRecordSize];
    MouseMessage messages_[BrowserPointer::kMaxMessages];
};

WebHost::~WebHost()
{
    windows_.ForEach<WebWindow>([](const WebWindow &w) { kp_web_window_destroy(w.id); });
}

WebWindow *WebHost::Find(int id) const
{
    return windows_.Find<WebWindow>([id](const WebWindow &w) { return w.id == id; });
}

HostWindow *WebHost::CreateHostWindow(HWND hwnd, const char *title, gdi::WindowSurface *surface,
                                      int clientWidth, int clientHeight)
{
    auto *w = new WebWindow(hwnd, surface, nextId_++);
    auto *canvas = new CanvasPresenter(w->id, surface);
    w->presenter.reset(canvas);
    if (!windows_.Add(w))
        return nullptr;
    // The frame as USER has it: a border on each side, the caption above.
    const RECT frame = kp::user::HostFrame(hwnd);
    kp_web_window_create(w->id, title ? title : "", clientWidth, clientHeight, frame.right,
                         -frame.top - frame.right);
    // Room for a client as large as the screen from the start, so that
    // maximizing keeps the canvas.
    int screenWidth, screenHeight;
    ScreenSize(&screenWidth, &screenHeight);
    canvas->Reserve(std::max(clientWidth, screenWidth), std::max(clientHeight, screenHeight));
    SetClientSize(*w, clientWidth, clientHeight);
    return w;
}

void WebHost::DestroyHostWindow(HostWindow *w)
{
    if (!windows_.Contains(w))
        return;
    kp_web_window_destroy(static_cast<WebWindow *>(w)->id);
    windows_.Remove(w);
}

void WebHost::SetClientSize(WebWindow &w, int width, int height)
{
    w.SetClientSize(width, height);
    w.Canvas().Reserve(w.width, w.height);
}

void WebHost::Layout(const WebWindow &w)
{
    kp_web_window_show(w.id, PageState(w.state), w.width, w.height);
}

void WebHost::SetShowState(HostWindow *window, ShowState state)
{
    auto &w = static_cast<WebWindow &>(*window);
    if (state == ShowState::Minimized && w.state != ShowState::Minimized)
        w.restoreMaximized = w.state == ShowState::Maximized;
    w.state = state;
    // USER hears the maximized size once it has finished maximizing.
    if (state == ShowState::Maximized)
        w.reportMaximizedSize = true;
    Layout(w);
}

void WebHost::ResizeHostWindow(HostWindow *window, int clientWidth, int clientHeight)
{
    auto &w = static_cast<WebWindow &>(*window);
    SetClientSize(w, clientWidth, clientHeight);
    Layout(w);
}

// Maximized by the user, or a maximized window whose work area changed: the
// client takes the size USER gives it.
bool WebHost::Maximize(WebWindow &w)
{
    const SIZE size = kp::user::HostMaximizedClientSize(w.hwnd);
    const bool wasMaximized = w.state == ShowState::Maximized;
    if (wasMaximized && size.cx == w.width && size.cy == w.height)
        return false;
    w.state = ShowState::Maximized;
    SetClientSize(w, size.cx, size.cy);
    Layout(w);
    if (wasMaximized)
        kp::user::HostResized(w.hwnd, size.cx, size.cy);
    else
        kp::user::HostMaximized(w.hwnd, size.cx, size.cy);
    return true;
}

bool WebHost::Restore(WebWindow &w)
{
    if (w.state == ShowState::Minimized && w.restoreMaximized)
        return Maximize(w);
    if (w.state != ShowState::Minimized && w.state != ShowState::Maximized)
        return false;
    const SIZE size = kp::user::HostNormalClientSize(w.hwnd);
    w.state = ShowState::Normal;
    SetClientSize(w, size.cx, size.cy);
    Layout(w);
    kp::user::HostRestored(w.hwnd, w.width, w.height);
    return true;
}

// The user dragged the frame of a normal window.
bool WebHost::Resize(WebWindow &w, int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (w.state != ShowState::Normal || (width == w.width && height == w.height))
        return false;
    const SIZE took = kp::user::HostResized(w.hwnd, width, height);
    SetClientSize(w, took.cx, took.cy);
    Layout(w);
    return true;
}

bool WebHost::Pointer(WebWindow &w, const int32_t *r)
{
    if (!w.Showing())
        return false;
    int count = 0;
    switch (r[2]) {
    case kSample: {
        PointerSample s;
        s.kind = r[3] == 1 ? PointerKind::Touch : r[3] == 2 ? PointerKind::Pen : PointerKind::Mouse;
        s.x = r[4];
        s.y = r[5];
        s.buttons = static_cast<unsigned>(r[6]) & 0xFFu;
        s.shift = (r[6] & 0x100) != 0;
        s.control = (r[6] & 0x200) != 0;
        s.time = r[7];
        s.button = r[8];
        count = w.browserPointer.Sample(s, messages_);
        break;
    }
    case kLeave:
        count = w.browserPointer.Left(messages_);
        break;
    case kCancel:
        count = w.browserPointer.Cancel(messages_);
        break;
    default:
        return false;
    }
    return DeliverMouse(w.hwnd, messages_, count);
}

bool WebHost::Deliver(const int32_t *r)
{
    WebWindow *w = Find(r[1]);
    if (w == nullptr)
        return false;
    switch (r[0]) {
    case kPointer:
        return Pointer(*w, r);
    case kMinimize:
        if (!w->Showing())
            return false;
        w->restoreMaximized = w->state == ShowState::Maximized;
        w->state = ShowState::Minimized;
        Layout(*w);
        kp::user::HostMinimized(w->hwnd);
        return true;
    case kMaximize:
        return w->state != ShowState::Hidden && w->state != ShowState::Maximized && Maximize(*w);
    case kRestore:
        return Restore(*w);
    case kResize:
        return Resize(*w, r[2], r[3]);
    case kClose:
        kp::user::HostCloseRequested(w->hwnd);
        return true;
    case kDesktopChanged:
        return w->state == ShowState::Maximized && Maximize(*w);
    default:
        return false;
    }
}

// Hands USER what the page has queued; true if anything reached it.
bool WebHost::DeliverQueued()
{
    bool delivered = false;
    for (size_t i = 0; i < windows_.Size(); ++i) {
        auto &w = static_cast<WebWindow &>(windows_.At(i));
        if (w.reportMaximizedSize) {
            w.reportMaximizedSize = false;
            if (w.state == ShowState::Maximized)
                delivered |= Maximize(w);
        }
    }
    // One batch, as much as USER's queue has room for (a record makes at
    // most BrowserPointer::kMaxMessages messages): USER asks again as soon
    // as it has dealt with it, and the page keeps the rest.
    const int room = kp::user::HostInputRoom() / BrowserPointer::kMaxMessages;
    const int count = kp_web_take_events(records_, std::min(kRecordBatch, room));
    for (int i = 0; i < count; ++i)
        delivered |= Deliver(records_ + i * kRecordSize);
    return delivered;
}

void WebHost::PumpEvents(bool wait)
{
    // What was painted since the last call reaches the canvas first: the
    // page shows it at its next frame, once the program waits.
    windows_.PresentAll();
    bool delivered = DeliverQueued();
    while (wait && !delivered) {
        kp_web_wait_for_events();
        delivered = DeliverQueued();
    }
}

}  // namespace

Host *CreateDefaultHost()
{
    return new WebHost;
}

}  // namespace kp::host
