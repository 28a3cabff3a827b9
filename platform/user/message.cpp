// The per-thread message queue and the message functions.
//
// A thread's queue is one ring, allocated once, holding posted and input
// messages in the order they arrived. Retrieval looks, in this order, at: the
// ring (oldest message passing the filter); the host's pending events, which
// may add to the ring; the quit request; and last a WM_PAINT for a window
// with a non-empty update region, synthesised, never stored. So WM_PAINT
// comes only when nothing else waits, and once for all accumulated damage.
#include <windows.h>

#include <chrono>
#include <memory>

#include "class.h"
#include "message.h"
#include "window.h"

namespace kp::user {

MessageQueue::MessageQueue() : ring_(new MSG[kCapacity]) {}

MessageQueue::~MessageQueue()
{
    // Windows of a thread that ends can no longer receive posted messages.
    for (int i = 0; i < kMaxWindows; ++i) {
        Window *w = WindowAt(i);
        if (w->queue == this)
            w->queue = nullptr;
    }
    delete[] ring_;
}

bool MessageQueue::Push(const MSG &msg)
{
    if (count_ == kCapacity)
        return false;
    ring_[(head_ + count_) % kCapacity] = msg;
    ++count_;
    return true;
}

namespace {

// (HWND)-1 asks for thread messages only (those posted with a null window).
const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));

bool MatchesWindow(HWND messageWindow, HWND filter)
{
    if (filter == nullptr)
        return true;
    if (filter == kThreadMessagesOnly)
        return messageWindow == nullptr;
    return messageWindow == filter;
}

bool InRange(UINT message, UINT minMsg, UINT maxMsg)
{
    if (minMsg == 0 && maxMsg == 0)
        return true;
    return message >= minMsg && message <= maxMsg;
}

// Whether a message passes GetMessage's window and range filters.
bool PassesFilter(const MSG &m, HWND filter, UINT minMsg, UINT maxMsg)
{
    return MatchesWindow(m.hwnd, filter) && InRange(m.message, minMsg, maxMsg);
}

}  // namespace

bool MessageQueue::Take(MSG *msg, HWND filter, UINT minMsg, UINT maxMsg, bool remove)
{
    for (int i = 0; i < count_; ++i) {
        if (PassesFilter(At(i), filter, minMsg, maxMsg)) {
            *msg = At(i);
            if (remove)
                RemoveAt(i);
            return true;
        }
    }
    return false;
}

const MSG &MessageQueue::At(int index) const
{
    return ring_[(head_ + index) % kCapacity];
}

void MessageQueue::RemoveAt(int index)
{
    if (index == 0) {
        head_ = (head_ + 1) % kCapacity;
        --count_;
        return;
    }
    for (int i = index; i + 1 < count_; ++i)
        ring_[(head_ + i) % kCapacity] = ring_[(head_ + i + 1) % kCapacity];
    --count_;
}

void MessageQueue::RemoveForWindow(HWND hwnd)
{
    int kept = 0;
    for (int i = 0; i < count_; ++i) {
        const MSG &m = ring_[(head_ + i) % kCapacity];
        if (m.hwnd != hwnd)
            ring_[(head_ + kept++) % kCapacity] = m;
    }
    count_ = kept;
}

void MessageQueue::Clear()
{
    head_ = 0;
    count_ = 0;
    quitPending_ = false;
    quitCode_ = 0;
}

void MessageQueue::PostQuit(int code)
{
    quitPending_ = true;
    quitCode_ = code;
}

bool MessageQueue::TakeQuit(int *code, bool remove)
{
    if (!quitPending_)
        return false;
    *code = quitCode_;
    if (remove)
        quitPending_ = false;
    return true;
}

MessageQueue &CurrentQueue()
{
    thread_local std::unique_ptr<MessageQueue> queue;
    if (!queue)
        queue = std::make_unique<MessageQueue>();
    return *queue;  // NOLINT(clang-analyzer-cplusplus.NewDelete): the analyzer loses the
                    // thread_local
}

DWORD MessageTime()
{
    using namespace std::chrono;
    static const steady_clock::time_point start = steady_clock::now();
    return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now() - start).count());
}

LRESULT CallWindowProcedure(Window &w, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return w.cls->wndProc(w.handle, msg, wParam, lParam);
}

BOOL PostInput(Window &w, UINT message, WPARAM wParam, LPARAM lParam, POINT screenPt)
{
    if (w.queue == nullptr)
        return FALSE;
    w.queue->SetCursor(screenPt);
    MSG m = {w.handle, message, wParam, lParam, MessageTime(), screenPt};
    return w.queue->Push(m) ? TRUE : FALSE;
}

namespace {

bool FindPaint(MessageQueue &queue, HWND filter, MSG *msg)
{
    for (int i = 0; i < kMaxWindows; ++i) {
        Window *w = WindowAt(i);
        if (!w->used || w->queue != &queue || !w->visible || w->update.Empty())
            continue;
        if (!MatchesWindow(w->handle, filter))
            continue;
        *msg = MSG{w->handle, WM_PAINT, 0, 0, MessageTime(), queue.Cursor()};
        return true;
    }
    return false;
}

bool Retrieve(MSG *msg, HWND filter, UINT minMsg, UINT maxMsg, UINT flags)
{
    MessageQueue &queue = CurrentQueue();
    const bool remove = (flags & PM_REMOVE) != 0;
    if (queue.Take(msg, filter, minMsg, maxMsg, remove))
        return true;
    if (host::Host *host = host::CurrentHost()) {
        host->PumpEvents(false);
        if (queue.Take(msg, filter, minMsg, maxMsg, remove))
            return true;
    }
    // The quit request is a thread message: it ignores the range filter but
    // not a window filter.
    int code;
    if ((filter == nullptr || filter == kThreadMessagesOnly) && queue.TakeQuit(&code, remove)) {
        *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(code), 0, MessageTime(), queue.Cursor()};
        return true;
    }
    if (InRange(WM_PAINT, minMsg, maxMsg) && FindPaint(queue, filter, msg))
        return true;
    return false;
}

bool ValidFilter(HWND filter)
{
    return filter == nullptr || filter == kThreadMessagesOnly || FromHandle(filter) != nullptr;
}

}  // namespace

}  // namespace kp::user

using namespace kp::user;

BOOL WINAPI GetMessageA(LPMSG msg, HWND hwnd, UINT minMsg, UINT maxMsg)
{
    if (msg == nullptr || !ValidFilter(hwnd))
        return -1;
    for (;;) {
        if (Retrieve(msg, hwnd, minMsg, maxMsg, PM_REMOVE))
            return msg->message == WM_QUIT ? FALSE : TRUE;
        kp::host::Host *host = kp::host::CurrentHost();
        if (host == nullptr)
            return -1;  // nothing could ever arrive
        host->PumpEvents(true);
        if (!ValidFilter(hwnd))
            return -1;  // the filtered window went away while we waited
    }
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND hwnd, UINT minMsg, UINT maxMsg, UINT removeMsg)
{
    if (msg == nullptr || !ValidFilter(hwnd))
        return FALSE;
    return Retrieve(msg, hwnd, minMsg, maxMsg, removeMsg) ? TRUE : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG *msg)
{
    // There is no keyboard: key messages are acknowledged (Windows answers
    // TRUE for them whether or not a character results), nothing is posted.
    if (msg == nullptr)
        return FALSE;
    switch (msg->message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        return TRUE;
    default:
        return FALSE;
    }
}

LRESULT WINAPI DispatchMessageA(const MSG *msg)
{
    if (msg == nullptr)
        return 0;
    Window *w = FromHandle(msg->hwnd);
    if (w == nullptr)
        return 0;  // thread messages and dead windows go nowhere
    return CallWindowProcedure(*w, msg->message, msg->wParam, msg->lParam);
}

BOOL WINAPI PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    MessageQueue *queue;
    if (hwnd == nullptr) {
        queue = &CurrentQueue();  // a thread message for the caller's own queue
    } else {
        Window *w = FromHandle(hwnd);
        if (w == nullptr || w->queue == nullptr)
            return FALSE;
        queue = w->queue;
    }
    MSG m = {hwnd, message, wParam, lParam, MessageTime(), queue->Cursor()};
    return queue->Push(m) ? TRUE : FALSE;
}

LRESULT WINAPI SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return 0;
    return CallWindowProcedure(*w, message, wParam, lParam);
}

void WINAPI PostQuitMessage(int exitCode)
{
    CurrentQueue().PostQuit(exitCode);
}
