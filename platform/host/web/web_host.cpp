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

#include "../../user/host.h"
#include "../../user/host_events.h"
#include "browser_pointer.h"
#include "web_canvas.h"

extern "C" {
// platform/host/web/library.js
void kp_web_screen_size(int *width, int *height);
void kp_web_maximized_client_size(int *width, int *height);
void kp_web_window_create(int id, const char *title, int clientWidth, int clientHeight);
void kp_web_window_destroy(int id);
void kp_web_window_show(int id, int state, int clientWidth, int clientHeight);
int kp_web_take_events(int32_t *records, int capacity);
void kp_web_wait_for_events(void);
}

namespace kp::host {

struct HostWindow {
    HostWindow(int windowId, gdi::WindowSurface *surface) : id(windowId), view(windowId, surface) {}

    int id;
    HWND hwnd = nullptr;
    ShowState state = ShowState::Hidden;
    int width = 0;  // the client size that USER knows
    int height = 0;
    // The client size of the normal window, which a restore goes back to, and
    // whether a minimized window goes back to maximized.
    int normalWidth = 0;
    int normalHeight = 0;
    bool restoreMaximized = false;
    // USER maximized the window to a size of its own choosing: at the next
    // PumpEvents the window takes the page's maximized size, and USER hears it.
    bool reportMaximizedSize = false;
    BrowserPointer pointer;
    CanvasView view;  // shows the window's surface (USER's) on its canvas
};

namespace {

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

void DeliverMouse(HWND hwnd, const MouseMessage *messages, int count)
{
    for (int i = 0; i < count; ++i) {
        const MouseMessage &m = messages[i];
        if (m.message == WM_MOUSEMOVE)
            kp::user::HostMouseMove(hwnd, m.x, m.y, m.keys);
        else
            kp::user::HostMouseButton(hwnd, m.message, m.x, m.y, m.keys);
    }
}

class WebHost final : public Host {
  public:
    ~WebHost() override;
    void ScreenSize(int *width, int *height) override;
    HostWindow *CreateHostWindow(HWND hwnd, const char *title, gdi::WindowSurface *surface,
                                 int clientWidth, int clientHeight) override;
    void DestroyHostWindow(HostWindow *window) override;
    void SetShowState(HostWindow *window, ShowState state) override;
    void ResizeHostWindow(HostWindow *window, int clientWidth, int clientHeight) override;
    void PumpEvents(bool wait) override;

  private:
    HostWindow *Find(int id);
    void SetClientSize(HostWindow *w, int width, int height);
    void Layout(HostWindow *w);
    void ShowAll();
    bool DeliverQueued();
    bool Deliver(const int32_t *record);
    bool Pointer(HostWindow *w, const int32_t *record);
    bool Maximize(HostWindow *w);

    std::vector<HostWindow *> windows_;
    int nextId_ = 1;
    int32_t records_[kRecordBatch * kRecordSize];
    MouseMessage messages_[BrowserPointer::kMaxMessages];
};

WebHost::~WebHost()
{
    for (HostWindow *w : windows_) {
        kp_web_window_destroy(w->id);
        delete w;
    }
}

void WebHost::ScreenSize(int *width, int *height)
{
    kp_web_screen_size(width, height);
}

HostWindow *WebHost::Find(int id)
{
    for (HostWindow *w : windows_)
        if (w->id == id)
            return w;
    return nullptr;
}

HostWindow *WebHost::CreateHostWindow(HWND hwnd, const char *title, gdi::WindowSurface *surface,
                                      int clientWidth, int clientHeight)
{
    auto *w = new HostWindow(nextId_++, surface);
    w->hwnd = hwnd;
    windows_.push_back(w);
    kp_web_window_create(w->id, title ? title : "", clientWidth, clientHeight);
    // Room for a client as large as the screen from the start, so that
    // maximizing keeps the canvas.
    int screenWidth, screenHeight;
    ScreenSize(&screenWidth, &screenHeight);
    w->view.Reserve(std::max(clientWidth, screenWidth), std::max(clientHeight, screenHeight));
    SetClientSize(w, clientWidth, clientHeight);
    w->normalWidth = w->width;
    w->normalHeight = w->height;
    return w;
}

void WebHost::DestroyHostWindow(HostWindow *w)
{
    auto it = std::find(windows_.begin(), windows_.end(), w);
    if (it == windows_.end())
        return;
    windows_.erase(it);
    kp_web_window_destroy(w->id);
    delete w;
}

void WebHost::SetClientSize(HostWindow *w, int width, int height)
{
    w->width = std::max(width, 0);
    w->height = std::max(height, 0);
    w->view.Reserve(w->width, w->height);
    w->pointer.SetClientSize(w->width, w->height);
}

void WebHost::Layout(HostWindow *w)
{
    kp_web_window_show(w->id, PageState(w->state), w->width, w->height);
}

void WebHost::SetShowState(HostWindow *w, ShowState state)
{
    if (state == ShowState::Minimized && w->state != ShowState::Minimized)
        w->restoreMaximized = w->state == ShowState::Maximized;
    w->state = state;
    if (state == ShowState::Maximized) {
        // The page decides how large a maximized window is; USER hears it
        // once it has finished maximizing.
        w->reportMaximizedSize = true;
    }
    Layout(w);
}

void WebHost::ResizeHostWindow(HostWindow *w, int clientWidth, int clientHeight)
{
    SetClientSize(w, clientWidth, clientHeight);
    if (w->state == ShowState::Normal || w->state == ShowState::Hidden) {
        w->normalWidth = w->width;
        w->normalHeight = w->height;
    }
    Layout(w);
}

void WebHost::ShowAll()
{
    for (HostWindow *w : windows_)
        w->view.Show();
}

// Maximized by the user, or a maximized window whose size the page changed:
// the client takes the size that the page gives it.
bool WebHost::Maximize(HostWindow *w)
{
    int width, height;
    kp_web_maximized_client_size(&width, &height);
    const bool wasMaximized = w->state == ShowState::Maximized;
    if (wasMaximized && width == w->width && height == w->height)
        return false;
    if (w->state == ShowState::Normal) {
        w->normalWidth = w->width;
        w->normalHeight = w->height;
    }
    w->state = ShowState::Maximized;
    SetClientSize(w, width, height);
    Layout(w);
    if (wasMaximized)
        kp::user::HostResized(w->hwnd, width, height);
    else
        kp::user::HostMaximized(w->hwnd, width, height);
    return true;
}

bool WebHost::Pointer(HostWindow *w, const int32_t *r)
{
    if (w->state != ShowState::Normal && w->state != ShowState::Maximized)
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
        count = w->pointer.Sample(s, messages_);
        break;
    }
    case kLeave:
        count = w->pointer.Left(messages_);
        break;
    case kCancel:
        count = w->pointer.Cancel(messages_);
        break;
    default:
        return false;
    }
    DeliverMouse(w->hwnd, messages_, count);
    return count > 0;
}

bool WebHost::Deliver(const int32_t *r)
{
    HostWindow *w = Find(r[1]);
    if (w == nullptr)
        return false;
    HWND hwnd = w->hwnd;
    switch (r[0]) {
    case kPointer:
        return Pointer(w, r);
    case kMinimize:
        if (w->state != ShowState::Normal && w->state != ShowState::Maximized)
            return false;
        w->restoreMaximized = w->state == ShowState::Maximized;
        w->state = ShowState::Minimized;
        Layout(w);
        kp::user::HostMinimized(hwnd);
        return true;
    case kMaximize:
        if (w->state == ShowState::Hidden || w->state == ShowState::Maximized)
            return false;
        return Maximize(w);
    case kRestore:
        if (w->state == ShowState::Minimized && w->restoreMaximized)
            return Maximize(w);
        if (w->state != ShowState::Minimized && w->state != ShowState::Maximized)
            return false;
        w->state = ShowState::Normal;
        SetClientSize(w, w->normalWidth, w->normalHeight);
        Layout(w);
        kp::user::HostRestored(hwnd, w->width, w->height);
        return true;
    case kResize: {
        if (w->state != ShowState::Normal)
            return false;
        const int width = std::max(r[2], 0), height = std::max(r[3], 0);
        if (width == w->width && height == w->height)
            return false;
        SetClientSize(w, width, height);
        w->normalWidth = w->width;
        w->normalHeight = w->height;
        Layout(w);
        kp::user::HostResized(hwnd, w->width, w->height);
        return true;
    }
    case kClose:
        kp::user::HostCloseRequested(hwnd);
        return true;
    case kDesktopChanged:
        return w->state == ShowState::Maximized && Maximize(w);
    default:
        return false;
    }
}

// Hands USER what the page has queued; true if anything reached it.
bool WebHost::DeliverQueued()
{
    bool delivered = false;
    for (HostWindow *w : windows_) {
        if (w->reportMaximizedSize) {
            w->reportMaximizedSize = false;
            if (w->state == ShowState::Maximized)
                delivered |= Maximize(w);
        }
    }
    // One batch: USER asks again as soon as it has dealt with it.
    const int count = kp_web_take_events(records_, kRecordBatch);
    for (int i = 0; i < count; ++i)
        delivered |= Deliver(records_ + i * kRecordSize);
    return delivered;
}

void WebHost::PumpEvents(bool wait)
{
    // What was painted since the last call reaches the canvas first: the
    // page shows it at its next frame, once the program waits.
    ShowAll();
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
