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

namespace kp::host {

void Deadlock(const char *what)
{
    std::fprintf(stderr, "headless host: %s for %d s: deadlock, giving up\n", what,
                 HeadlessHost::kDeadlockGuardSeconds);
    std::abort();
}

namespace {

bool Showing(const HostWindow &w)
{
    return w.state == ShowState::Normal || w.state == ShowState::Maximized;
}

RECT ClipToClient(const HostWindow &w, const RECT &r)
{
    return Intersection(r, RECT{0, 0, w.width, w.height});
}

void FillShown(HostWindow &w, const RECT &rect, uint32_t pixel)
{
    RECT r = ClipToClient(w, rect);
    for (LONG y = r.top; y < r.bottom; ++y) {
        uint32_t *row = w.shown.data() + static_cast<size_t>(y) * w.width;
        std::fill(row + r.left, row + r.right, pixel);
    }
}

// The window system lost the pixels of rect (covered, minimized): both what
// is shown and the surface's copy of it.
void Lose(HostWindow &w, const RECT &rect, uint32_t pixel = kLostPixel)
{
    FillShown(w, rect, pixel);
    w.surface->Replace(rect, pixel);
}

void LoseAll(HostWindow &w)
{
    Lose(w, RECT{0, 0, w.width, w.height});
}

// Gives the shown window a new client size. What stays inside both the old
// and the new client area is kept; everything that the new size uncovers is
// lost.
void SetClientSize(HostWindow &w, int width, int height)
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
    w.width = width;
    w.height = height;
}

}  // namespace

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
        ForgetWindowsLocked();
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
// host. The window record is only touched before USER is called, since USER
// may destroy the window.
void HeadlessHost::Deliver(const Event &e)
{
    const int caption = e.kind == Event::Kind::Maximize ? GetSystemMetrics(SM_CYCAPTION) : 0;
    std::unique_lock<std::mutex> lock(mutex_);
    HostWindow *w = FindLocked(e.hwnd);
    switch (e.kind) {
    case Event::Kind::Move:
    case Event::Kind::Button: {
        bool inside = w && Showing(*w) && e.x >= 0 && e.y >= 0 && e.x < w->width && e.y < w->height;
        lock.unlock();
        if (!inside)
            return;
        if (e.kind == Event::Kind::Move)
            kp::user::HostMouseMove(e.hwnd, e.x, e.y, e.keys);
        else
            kp::user::HostMouseButton(e.hwnd, e.message, e.x, e.y, e.keys);
        return;
    }
    case Event::Kind::CoverAndUncover: {
        if (w == nullptr || !Showing(*w))
            return;
        RECT r = ClipToClient(*w, e.rect);
        Lose(*w, r);
        lock.unlock();
        if (r.right > r.left)
            kp::user::HostExposed(e.hwnd, r);
        return;
    }
    case Event::Kind::Minimize:
        if (w == nullptr || !Showing(*w))
            return;
        w->state = ShowState::Minimized;
        LoseAll(*w);
        lock.unlock();
        kp::user::HostMinimized(e.hwnd);
        return;
    case Event::Kind::Restore: {
        if (w == nullptr || w->state == ShowState::Hidden || w->state == ShowState::Normal)
            return;
        SetClientSize(*w, w->normalWidth, w->normalHeight);
        w->state = ShowState::Normal;
        int width = w->width, height = w->height;
        lock.unlock();
        kp::user::HostRestored(e.hwnd, width, height);
        return;
    }
    case Event::Kind::Maximize: {
        if (w == nullptr || w->state == ShowState::Hidden || w->state == ShowState::Maximized)
            return;
        // The client area of a maximized window: the screen below the caption.
        const int width = screenWidth_;
        const int height = std::max(screenHeight_ - caption, 0);
        if (w->state == ShowState::Minimized)
            LoseAll(*w);
        SetClientSize(*w, width, height);
        w->state = ShowState::Maximized;
        lock.unlock();
        kp::user::HostMaximized(e.hwnd, width, height);
        return;
    }
    case Event::Kind::Resize:
        if (w == nullptr || !Showing(*w))
            return;
        SetClientSize(*w, e.x, e.y);
        if (w->state == ShowState::Normal) {
            w->normalWidth = w->width;
            w->normalHeight = w->height;
        }
        lock.unlock();
        kp::user::HostResized(e.hwnd, std::max(e.x, 0), std::max(e.y, 0));
        return;
    case Event::Kind::Close:
        lock.unlock();
        if (w != nullptr)
            kp::user::HostCloseRequested(e.hwnd);
        return;
    case Event::Kind::Scribble:
        if (w != nullptr)
            Lose(*w, e.rect, e.pixel);
        return;
    case Event::Kind::Call:
        lock.unlock();
        (*e.call)();
        lock.lock();
        *e.done = true;
        return;
    case Event::Kind::Quit:
        lock.unlock();
        PostQuitMessage(-1);
        return;
    case Event::Kind::Wake:
        return;
    }
}

// ---- Windows ------------------------------------------------------------------------

HostWindow *HeadlessHost::FindLocked(HWND hwnd) const
{
    for (HostWindow *w : windows_)
        if (w->hwnd == hwnd)
            return w;
    return nullptr;
}

void HeadlessHost::ForgetWindowsLocked()
{
    for (HostWindow *w : windows_)
        delete w;
    windows_.clear();
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
    auto *w = new HostWindow;
    w->hwnd = hwnd;
    w->title = title ? title : "";
    w->surface = surface;
    surface->SetLostPixel(kLostPixel);
    SetClientSize(*w, clientWidth, clientHeight);  // all of it lost: nothing painted yet
    w->normalWidth = w->width;
    w->normalHeight = w->height;
    std::lock_guard<std::mutex> lock(mutex_);
    windows_.push_back(w);
    return w;
}

void HeadlessHost::DestroyHostWindow(HostWindow *window)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find(windows_.begin(), windows_.end(), window);
    if (it == windows_.end())
        return;
    windows_.erase(it);
    delete window;
}

void HeadlessHost::SetShowState(HostWindow *window, ShowState state)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::find(windows_.begin(), windows_.end(), window) == windows_.end())
        return;
    // A window that is not on the screen keeps no pixels.
    if (state == ShowState::Hidden || state == ShowState::Minimized)
        LoseAll(*window);
    if (window->sizedWhileHidden && state != ShowState::Hidden) {
        if (state != ShowState::Maximized) {
            window->normalWidth = window->width;
            window->normalHeight = window->height;
        }
        window->sizedWhileHidden = false;
    }
    window->state = state;
}

void HeadlessHost::ResizeHostWindow(HostWindow *window, int clientWidth, int clientHeight)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::find(windows_.begin(), windows_.end(), window) == windows_.end())
        return;
    SetClientSize(*window, clientWidth, clientHeight);
    if (window->state == ShowState::Normal) {
        window->normalWidth = window->width;
        window->normalHeight = window->height;
    } else if (window->state == ShowState::Hidden) {
        window->sizedWhileHidden = true;
    }
}

// Shows what the surfaces changed: copies it to what the window shows and
// logs it as presented.
void HeadlessHost::FlushLocked()
{
    for (HostWindow *w : windows_) {
        const gdi::RectSet &damage = w->surface->Damage();
        const Surface pixels = w->surface->Pixels();
        for (int i = 0; i < damage.Count(); ++i) {
            const RECT r = Intersection(damage[i], RECT{0, 0, w->width, w->height});
            for (LONG y = r.top; y < r.bottom; ++y)
                std::copy_n(pixels.pixels + static_cast<size_t>(y) * pixels.stride + r.left,
                            r.right - r.left,
                            w->shown.data() + static_cast<size_t>(y) * w->width + r.left);
            presents_[presentTotal_ % kPresentLogSize] = PresentRecord{w->hwnd, damage[i]};
            ++presentTotal_;
        }
        w->surface->ClearDamage();
    }
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
    // Only what is there now: an injector that keeps going must not keep the
    // program here, nor overfill USER's queue (which is larger than the inbox).
    for (int batch = inboxCount_; batch > 0 && inboxCount_ > 0; --batch) {
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
