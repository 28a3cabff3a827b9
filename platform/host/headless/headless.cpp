// The headless host as a window system: windows whose shown pixels receive
// what their surfaces changed, and an inbox of injected events that reach
// USER, in order, on the thread that pumps.
#include "headless_internal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "../../gdi/rects.h"
#include "../../user/host_events.h"
#include "../pointer_input.h"

namespace kp::host {

void Deadlock(const char *what)
{
    std::fprintf(stderr, "headless host: %s for %d s: deadlock, giving up\n", what,
                 HeadlessHost::kDeadlockGuardSeconds);
    std::abort();
}

namespace {

RECT ClipToClient(const HostWindow &w, const RECT &r)
{
    return Intersection(r, RECT{0, 0, w.width, w.height});
}

void FillShown(HeadlessWindow &w, const RECT &rect, uint32_t pixel)
{
    RECT r = ClipToClient(w, rect);
    for (LONG y = r.top; y < r.bottom; ++y) {
        uint32_t *row = w.shown.data() + static_cast<size_t>(y) * w.width;
        std::fill(row + r.left, row + r.right, pixel);
    }
}

// The window system lost the pixels of rect (covered, minimized): both what
// is shown and the surface's copy of it.
void Lose(HeadlessWindow &w, const RECT &rect, uint32_t pixel = kLostPixel)
{
    FillShown(w, rect, pixel);
    w.surface->Replace(rect, pixel);
}

void LoseAll(HeadlessWindow &w)
{
    Lose(w, RECT{0, 0, w.width, w.height});
}

// Gives the shown window a new client size. What stays inside both the old
// and the new client area is kept; everything that the new size uncovers is
// lost.
void SetClientSize(HeadlessWindow &w, int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == w.width && height == w.height)
        return;
    const int keptWidth = std::min(width, w.width), keptHeight = std::min(height, w.height);
    std::vector<uint32_t> shown(static_cast<size_t>(width) * height, kLostPixel);
    for (int y = 0; y < keptHeight; ++y)
        std::copy_n(w.shown.data() + static_cast<size_t>(y) * w.width, keptWidth,
                    shown.data() + static_cast<size_t>(y) * width);
    w.shown = std::move(shown);
    w.SetClientSize(width, height);
}

// The button of a button message; false for anything else.
bool ButtonOf(UINT message, WPARAM keys, MouseButton *button, bool *down)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        *button = MouseButton::Left;
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        *button = MouseButton::Right;
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        *button = MouseButton::Middle;
        break;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
        *button = HIWORD(keys) == XBUTTON2 ? MouseButton::X2 : MouseButton::X1;
        break;
    default:
        return false;
    }
    *down = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN ||
            message == WM_XBUTTONDOWN;
    return true;
}

}  // namespace

void MemoryPresenter::Present()
{
    HeadlessWindow &w = window_;
    const gdi::RectSet damage = TakeDamage(*w.surface, w.width, w.height);
    const Surface pixels = w.surface->Pixels();
    for (int i = 0; i < damage.Count(); ++i) {
        const RECT &r = damage[i];
        for (LONG y = r.top; y < r.bottom; ++y)
            std::copy_n(pixels.pixels + static_cast<size_t>(y) * pixels.stride + r.left,
                        r.right - r.left,
                        w.shown.data() + static_cast<size_t>(y) * w.width + r.left);
        log_[*total_ % HeadlessHost::kPresentLogSize] = PresentRecord{w.hwnd, r};
        ++*total_;
    }
}

HeadlessHost::HeadlessHost()
    : inbox_(new Event[kInboxCapacity]), presents_(new PresentRecord[kPresentLogSize])
{
    SetHost(this);
}

HeadlessHost::~HeadlessHost()
{
    StopProgram();
    // The host's end is the end of the process that it served.
    kp::user::ResetForNewProcess();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        windows_.Clear();
    }
    if (CurrentHost() == this)
        SetHost(nullptr);
}

// ---- Configuration ------------------------------------------------------------

void HeadlessHost::SetScreenSize(int width, int height)
{
    std::lock_guard<std::mutex> lock(mutex_);
    screenWidth_ = std::max(width, 0);
    screenHeight_ = std::max(height, 0);
}

void HeadlessHost::SetStartupShowCommand(int cmdShow)
{
    std::lock_guard<std::mutex> lock(mutex_);
    startupShow_ = cmdShow;
}

// ---- Input ------------------------------------------------------------------------

void HeadlessHost::Inject(const Event &event)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (inboxCount_ == kInboxCapacity) {
        bool pumpedElsewhere = programRunning_ && std::this_thread::get_id() != programThreadId_;
        if (!pumpedElsewhere)
            Deadlock("inbox full and nobody to empty it");
        if (!inboxChanged_.wait_for(lock, kGuard, [this] { return inboxCount_ < kInboxCapacity; }))
            Deadlock("waiting for room in the inbox");
    }
    inbox_[(inboxHead_ + inboxCount_) % kInboxCapacity] = event;
    ++inboxCount_;
    inboxChanged_.notify_all();
}

namespace {

// An input event for hwnd; the caller fills in what its kind carries.
HeadlessHost::Event EventFor(HeadlessHost::Event::Kind kind, HWND hwnd)
{
    HeadlessHost::Event e;
    e.kind = kind;
    e.hwnd = hwnd;
    return e;
}

}  // namespace

void HeadlessHost::MouseMove(HWND hwnd, int x, int y, WPARAM keys)
{
    MouseButton(hwnd, WM_MOUSEMOVE, x, y, keys);
}

void HeadlessHost::MouseButton(HWND hwnd, UINT message, int x, int y, WPARAM keys)
{
    Event e = EventFor(message == WM_MOUSEMOVE ? Event::Kind::Move : Event::Kind::Button, hwnd);
    e.message = message;
    e.x = x;
    e.y = y;
    e.keys = keys;
    Inject(e);
}

void HeadlessHost::CoverAndUncover(HWND hwnd, const RECT &rect)
{
    Event e = EventFor(Event::Kind::CoverAndUncover, hwnd);
    e.rect = rect;
    Inject(e);
}

void HeadlessHost::Minimize(HWND hwnd)
{
    Inject(EventFor(Event::Kind::Minimize, hwnd));
}

void HeadlessHost::Restore(HWND hwnd)
{
    Inject(EventFor(Event::Kind::Restore, hwnd));
}

void HeadlessHost::Maximize(HWND hwnd)
{
    Inject(EventFor(Event::Kind::Maximize, hwnd));
}

void HeadlessHost::Resize(HWND hwnd, int clientWidth, int clientHeight)
{
    Event e = EventFor(Event::Kind::Resize, hwnd);
    e.x = clientWidth;
    e.y = clientHeight;
    Inject(e);
}

void HeadlessHost::RequestClose(HWND hwnd)
{
    Inject(EventFor(Event::Kind::Close, hwnd));
}

void HeadlessHost::EndLoop()
{
    Inject(EventFor(Event::Kind::Quit, nullptr));
}

void HeadlessHost::Wake()
{
    Inject(EventFor(Event::Kind::Wake, nullptr));
}

void HeadlessHost::DiscardInput()
{
    std::lock_guard<std::mutex> lock(mutex_);
    inboxHead_ = inboxCount_ = 0;
    inboxChanged_.notify_all();  // room for an injecting thread
}

void HeadlessHost::SetInputSource(std::function<void()> source)
{
    std::lock_guard<std::mutex> lock(mutex_);
    inputSource_ = std::move(source);
}

void HeadlessHost::Scribble(HWND hwnd, const RECT &rect, uint32_t pixel)
{
    Event e = EventFor(Event::Kind::Scribble, hwnd);
    e.rect = rect;
    e.pixel = pixel;
    Inject(e);
}

// Runs on the pumping thread, without the lock: USER calls back into the
// host. A window record is only touched before USER is called, since USER may
// destroy the window; only this thread destroys windows.
void HeadlessHost::Deliver(const Event &e)
{
    switch (e.kind) {
    case Event::Kind::Move:
    case Event::Kind::Button:
        DeliverPointer(e);
        return;
    case Event::Kind::Minimize:
    case Event::Kind::Restore:
    case Event::Kind::Maximize:
    case Event::Kind::Resize:
        DeliverPlacement(e);
        return;
    case Event::Kind::Call:
        (*e.call)();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            *e.done = true;
        }
        return;
    case Event::Kind::Quit:
        PostQuitMessage(-1);
        return;
    case Event::Kind::Wake:
        return;
    default:
        DeliverToWindowSystem(e);
        return;
    }
}

// Like a window system, the host reports pointer events only for a window
// that is on the screen; they go through the window's pointer state, with
// the key state the test gave.
void HeadlessHost::DeliverPointer(const Event &e)
{
    HeadlessWindow *w;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        w = FindLocked(e.hwnd);
        if (w == nullptr || !w->Showing())
            return;
    }
    w->pointer.SetReportedKeys(e.keys & 0xFFFFu, ~WPARAM{0});
    kp::host::MouseButton button;
    bool down;
    if (e.kind == Event::Kind::Move)
        PointerMoved(*w, e.x, e.y);
    else if (ButtonOf(e.message, e.keys, &button, &down))
        PointerButton(*w, button, down, e.x, e.y);
}

// The user minimized, restored, maximized or resized a window: the window
// system changes it first, then tells USER. USER alone knows the sizes a
// window is restored and maximized to.
void HeadlessHost::DeliverPlacement(const Event &e)
{
    const SIZE normal = kp::user::HostNormalClientSize(e.hwnd);
    const SIZE maximized = kp::user::HostMaximizedClientSize(e.hwnd);
    const SIZE most = kp::user::HostMaxClientSize(e.hwnd);
    std::unique_lock<std::mutex> lock(mutex_);
    HeadlessWindow *w = FindLocked(e.hwnd);
    const ShowState old = w ? w->state : ShowState::Hidden;
    if (w == nullptr || old == ShowState::Hidden)
        return;
    switch (e.kind) {
    case Event::Kind::Minimize:
        if (old == ShowState::Minimized)
            return;
        w->state = ShowState::Minimized;
        LoseAll(*w);
        lock.unlock();
        kp::user::HostMinimized(e.hwnd);
        return;
    case Event::Kind::Restore:
        if (old == ShowState::Normal)
            return;
        SetClientSize(*w, normal.cx, normal.cy);
        w->state = ShowState::Normal;
        lock.unlock();
        kp::user::HostRestored(e.hwnd, normal.cx, normal.cy);
        return;
    case Event::Kind::Maximize:
        if (old == ShowState::Maximized)
            return;
        if (old == ShowState::Minimized)
            LoseAll(*w);
        SetClientSize(*w, maximized.cx, maximized.cy);
        w->state = ShowState::Maximized;
        lock.unlock();
        kp::user::HostMaximized(e.hwnd, maximized.cx, maximized.cy);
        return;
    default:  // Resize, to what the window can be
        if (old == ShowState::Minimized)
            return;
        SetClientSize(*w, std::min<LONG>(e.x, most.cx), std::min<LONG>(e.y, most.cy));
        lock.unlock();
        kp::user::HostResized(e.hwnd, std::max(e.x, 0), std::max(e.y, 0));
        return;
    }
}

// Covering, scribbling and the close button.
void HeadlessHost::DeliverToWindowSystem(const Event &e)
{
    std::unique_lock<std::mutex> lock(mutex_);
    HeadlessWindow *w = FindLocked(e.hwnd);
    if (w == nullptr)
        return;
    switch (e.kind) {
    case Event::Kind::CoverAndUncover: {
        if (!w->Showing())
            return;
        const RECT r = ClipToClient(*w, e.rect);
        Lose(*w, r);
        lock.unlock();
        if (r.right > r.left)
            kp::user::HostExposed(e.hwnd, r);
        return;
    }
    case Event::Kind::Close:
        lock.unlock();
        kp::user::HostCloseRequested(e.hwnd);
        return;
    default:  // Scribble
        Lose(*w, e.rect, e.pixel);
        return;
    }
}

// ---- Windows ------------------------------------------------------------------------

HeadlessWindow *HeadlessHost::FindLocked(HWND hwnd) const
{
    return windows_.Find<HeadlessWindow>(
        [hwnd](const HeadlessWindow &w) { return w.hwnd == hwnd; });
}

// ---- Host ----------------------------------------------------------------------------

void HeadlessHost::ScreenSize(int *width, int *height)
{
    std::lock_guard<std::mutex> lock(mutex_);
    *width = screenWidth_;
    *height = screenHeight_;
}

int HeadlessHost::StartupShowCommand()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return startupShow_;
}

HostWindow *HeadlessHost::CreateHostWindow(HWND hwnd, const char *title,
                                           gdi::WindowSurface *surface, int clientWidth,
                                           int clientHeight)
{
    auto *w = new HeadlessWindow(hwnd, surface, title);
    surface->SetLostPixel(kLostPixel);
    SetClientSize(*w, clientWidth, clientHeight);  // all of it lost: nothing painted yet
    w->presenter = std::make_unique<MemoryPresenter>(*w, presents_.get(), &presentTotal_);
    std::lock_guard<std::mutex> lock(mutex_);
    return windows_.Add(w) ? w : nullptr;
}

void HeadlessHost::DestroyHostWindow(HostWindow *window)
{
    std::lock_guard<std::mutex> lock(mutex_);
    windows_.Remove(window);
}

void HeadlessHost::SetShowState(HostWindow *window, ShowState state)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!windows_.Contains(window))
        return;
    // A window that is not on the screen keeps no pixels.
    if (state == ShowState::Hidden || state == ShowState::Minimized)
        LoseAll(static_cast<HeadlessWindow &>(*window));
    window->state = state;
}

void HeadlessHost::ResizeHostWindow(HostWindow *window, int clientWidth, int clientHeight)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (windows_.Contains(window))
        SetClientSize(static_cast<HeadlessWindow &>(*window), clientWidth, clientHeight);
}

// Shows what the surfaces changed, of every window, whatever its state: the
// test looks at what a window system would have been given.
void HeadlessHost::FlushLocked()
{
    windows_.ForEach<HostWindow>([](HostWindow &w) { w.presenter->Present(); });
}

void HeadlessHost::PumpEvents(bool wait)
{
    std::unique_lock<std::mutex> lock(mutex_);
    FlushLocked();
    if (wait && inboxCount_ == 0) {
        bool isProgram = programRunning_ && std::this_thread::get_id() == programThreadId_;
        auto arrived = [this] { return inboxCount_ > 0; };
        if (isProgram) {
            // The test may be waiting for exactly this moment.
            programWaiting_ = true;
            stateChanged_.notify_all();
            inboxChanged_.wait(lock, arrived);
            programWaiting_ = false;
        } else if (inputSource_) {
            // Whoever drives this thread says what comes next.
            lock.unlock();
            inputSource_();
            lock.lock();
            if (inboxCount_ == 0)
                Deadlock("the input source gave nothing");
        } else if (!inboxChanged_.wait_for(lock, kGuard, arrived)) {
            // A thread that pumps for itself waits for input that only
            // another thread could inject.
            Deadlock("waiting for input");
        }
    }
    // Only what is there now, and only while USER's queue has room for what
    // an event makes (one message at most): an injector that keeps going must
    // not keep the program here, and nothing is dropped.
    for (int batch = inboxCount_; batch > 0 && inboxCount_ > 0 && kp::user::HostInputRoom() > 0;
         --batch) {
        Event e = inbox_[inboxHead_];
        inboxHead_ = (inboxHead_ + 1) % kInboxCapacity;
        --inboxCount_;
        inboxChanged_.notify_all();  // room for an injecting thread
        lock.unlock();
        Deliver(e);
        lock.lock();
    }
}

Host *CreateDefaultHost()
{
    return new HeadlessHost;
}

}  // namespace kp::host
