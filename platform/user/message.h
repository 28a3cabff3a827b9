// The per-thread message queue: one ring of posted and input messages in
// arrival order, plus the quit request. Each thread that uses USER gets its
// own, created on first use.
#pragma once

#include <windows.h>

#include "host_events.h"

namespace kp::user {

struct Window;

class MessageQueue {
  public:
    static constexpr int kCapacity = kInputCapacity;

    MessageQueue();
    ~MessageQueue();
    MessageQueue(const MessageQueue &) = delete;
    MessageQueue &operator=(const MessageQueue &) = delete;

    // False when the ring is full.
    bool Push(const MSG &msg);
    int Room() const { return kCapacity - count_; }
    // Takes (or with remove false, copies) the oldest message that passes
    // the filter; false if none does.
    bool Take(MSG *msg, HWND filter, UINT minMsg, UINT maxMsg, bool remove);
    void RemoveForWindow(HWND hwnd);
    void Clear();

    void PostQuit(int code);
    // The quit request, once: false if none is pending (with remove false it
    // stays pending).
    bool TakeQuit(int *code, bool remove);

    POINT Cursor() const { return cursor_; }
    void SetCursor(POINT p) { cursor_ = p; }

  private:
    const MSG &At(int index) const;
    void RemoveAt(int index);

    MSG *ring_ = nullptr;
    int head_ = 0;
    int count_ = 0;
    bool quitPending_ = false;
    int quitCode_ = 0;
    POINT cursor_ = {0, 0};  // last pointer position in screen coordinates
};

MessageQueue &CurrentQueue();

LRESULT CallWindowProcedure(Window &w, UINT msg, WPARAM wParam, LPARAM lParam);
DWORD MessageTime();

// Posts an input message for w on its queue (FALSE when the queue is full or
// w has no queue any more).
BOOL PostInput(Window &w, UINT message, WPARAM wParam, LPARAM lParam, POINT screenPt);

}  // namespace kp::user
