// A desktop host's own queue of window-system events, between the display
// server and USER's message queue.
//
// A program that was stopped (a debugger, SIGSTOP, a swapped-out machine)
// finds, when it goes on, everything the user did meanwhile waiting in its
// connection, and the window system's library reads all of it in one go.
// USER's queue holds 8,192 messages and SDL's 65,535 events, and SDL drops
// the rest, a close request among them; this one holds whatever arrives, one
// small fixed-size record per event, in chunks of memory that go back to the
// system as soon as they have been read.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kp::host {

// What a host needs of one event, 32 bytes. type tells what it is: on X11
// the X core event types below 0x100 and SDL's window event from 0x100 on;
// on Wayland the host's own kinds (wayland_host.h).
struct HostEvent {
    uint32_t type = 0;
    uint32_t window = 0;  // the X window, SDL's window id, the host's window id
    int32_t x = 0;        // pointer position; an exposed rectangle's corner;
    int32_t y = 0;        //   a window event's two data values; a size
    int32_t a = 0;        // an exposed rectangle's size
    int32_t b = 0;
    uint32_t state = 0;   // X: the state field; SDL: the window event's kind;
                          //   Wayland: button state, modifiers, window state
    uint32_t detail = 0;  // X: button, keysym or crossing mode; Wayland:
                          //   the button's code
};
static_assert(sizeof(HostEvent) == 32, "a queued event stays small");

class EventQueue {
  public:
    // Where chunks of kChunkBytes come from; null when none can be had.
    using Allocate = void *(*)(size_t bytes);
    using Release = void (*)(void *chunk, size_t bytes);

    // Chunks are mapped from the system (so that each one freed is memory
    // given back at once), unless a test supplies its own.
    EventQueue();
    EventQueue(Allocate allocate, Release release);
    ~EventQueue();
    EventQueue(const EventQueue &) = delete;
    EventQueue &operator=(const EventQueue &) = delete;

    // False when no memory could be had for it: the event is lost (and
    // counted).
    bool Push(const HostEvent &event);
    // The oldest event; false when there is none.
    bool Pop(HostEvent *event);

    bool Empty() const { return size_ == 0; }
    size_t Size() const { return size_; }
    // Chunks held now, the spare one included.
    size_t Chunks() const { return chunks_; }
    size_t Lost() const { return lost_; }

    static constexpr size_t kChunkBytes = size_t{1} << 20;
    static const size_t kEventsPerChunk;

  private:
    struct Chunk;
    Chunk *NewChunk();
    void Recycle(Chunk *chunk);

    Allocate allocate_;
    Release release_;
    Chunk *head_ = nullptr;   // read from here
    Chunk *tail_ = nullptr;   // written here
    Chunk *spare_ = nullptr;  // one empty chunk kept, so that a queue that
                              // fills and drains does not map and unmap
    size_t size_ = 0;
    size_t chunks_ = 0;
    size_t lost_ = 0;
};

}  // namespace kp::host
