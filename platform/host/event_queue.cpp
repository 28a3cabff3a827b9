#include "event_queue.h"

#include <sys/mman.h>

#include <new>

namespace kp::host {

struct EventQueue::Chunk {
    Chunk *next = nullptr;
    size_t begin = 0;  // the first unread event
    size_t end = 0;    // one past the last written event
    // The events follow the header.
    HostEvent *Events() { return reinterpret_cast<HostEvent *>(this + 1); }
};

static_assert(alignof(HostEvent) <= alignof(size_t));
const size_t EventQueue::kEventsPerChunk = (kChunkBytes - sizeof(Chunk)) / sizeof(HostEvent);

namespace {

void *MapChunk(size_t bytes)
{
    void *p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

void UnmapChunk(void *chunk, size_t bytes)
{
    munmap(chunk, bytes);
}

}  // namespace

EventQueue::EventQueue() : EventQueue(MapChunk, UnmapChunk) {}

EventQueue::EventQueue(Allocate allocate, Release release) : allocate_(allocate), release_(release)
{
}

EventQueue::~EventQueue()
{
    while (head_ != nullptr) {
        Chunk *next = head_->next;
        release_(head_, kChunkBytes);
        head_ = next;
    }
    if (spare_ != nullptr)
        release_(spare_, kChunkBytes);
}

EventQueue::Chunk *EventQueue::NewChunk()
{
    Chunk *chunk = spare_;
    if (chunk != nullptr) {
        spare_ = nullptr;
    } else {
        void *memory = allocate_(kChunkBytes);
        if (memory == nullptr)
            return nullptr;
        chunk = new (memory) Chunk;
        ++chunks_;
    }
    chunk->next = nullptr;
    chunk->begin = chunk->end = 0;
    return chunk;
}

void EventQueue::Recycle(Chunk *chunk)
{
    if (spare_ == nullptr) {
        spare_ = chunk;
        return;
    }
    release_(chunk, kChunkBytes);
    --chunks_;
}

bool EventQueue::Push(const HostEvent &event)
{
    if (tail_ == nullptr || tail_->end == kEventsPerChunk) {
        Chunk *chunk = NewChunk();
        if (chunk == nullptr) {
            ++lost_;
            return false;
        }
        if (tail_ == nullptr)
            head_ = chunk;
        else
            tail_->next = chunk;
        tail_ = chunk;
    }
    tail_->Events()[tail_->end++] = event;
    ++size_;
    return true;
}

bool EventQueue::Pop(HostEvent *event)
{
    if (size_ == 0)
        return false;
    *event = head_->Events()[head_->begin++];
    --size_;
    if (head_->begin == head_->end) {
        if (head_ == tail_) {
            // Empty: the chunk is written from its start again.
            head_->begin = head_->end = 0;
        } else {
            // Read to its end, and the writing went on in the next one.
            Chunk *done = head_;
            head_ = head_->next;
            Recycle(done);
        }
    }
    return true;
}

}  // namespace kp::host
