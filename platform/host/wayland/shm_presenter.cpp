#include "shm_presenter.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "../shortage.h"

namespace kp::host {

namespace {

void OnRelease(void *data, wl_buffer *buffer)
{
    static_cast<ShmPresenter *>(data)->Released(buffer);
}

void OnFrameDone(void *data, wl_callback *callback, uint32_t)
{
    static_cast<ShmPresenter *>(data)->FrameDone(callback);
}

const wl_buffer_listener kBufferListener = {OnRelease};
const wl_callback_listener kFrameListener = {OnFrameDone};

// Shared memory of the given size, as a descriptor; -1 when none can be had.
int SharedMemory(size_t bytes)
{
    const int fd = memfd_create("kelvane-paint", MFD_CLOEXEC);
    if (fd >= 0 && ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

ShmPresenter::ShmPresenter(wl_shm *shm, wl_surface *surface, gdi::WindowSurface *pixels)
    : shm_(shm), surface_(surface), pixels_(pixels)
{
}

ShmPresenter::~ShmPresenter()
{
    if (frame_ != nullptr)
        wl_callback_destroy(frame_);
    for (Buffer &b : buffers_)
        Drop(b);
}

void ShmPresenter::SetReady(bool ready)
{
    if (ready && !ready_)
        showAll_ = true;
    // An unmapped surface's frame may never be done: a new mapping starts
    // afresh.
    if (!ready && frame_ != nullptr) {
        wl_callback_destroy(frame_);
        frame_ = nullptr;
    }
    ready_ = ready;
}

void ShmPresenter::SetScale(int scale)
{
    scale = std::max(scale, 1);
    if (scale == scale_)
        return;
    scale_ = scale;
    showAll_ = true;
}

bool ShmPresenter::Make(Buffer &b, int width, int height)
{
    Drop(b);
    const size_t bytes = size_t(width) * size_t(height) * 4;
    if (bytes == 0 || bytes > size_t(INT32_MAX))
        return false;  // beyond what a pool can be
    const int fd = SharedMemory(bytes);
    if (fd < 0)
        return false;
    void *memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    wl_shm_pool *pool =
        memory != MAP_FAILED ? wl_shm_create_pool(shm_, fd, static_cast<int32_t>(bytes)) : nullptr;
    close(fd);
    if (pool == nullptr) {
        if (memory != MAP_FAILED)
            munmap(memory, bytes);
        return false;
    }
    b.buffer = wl_shm_pool_create_buffer(pool, 0, width, height, width * 4, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);  // the buffer keeps the memory
    wl_buffer_add_listener(b.buffer, &kBufferListener, this);
    b.pixels = static_cast<uint32_t *>(memory);
    b.bytes = bytes;
    b.width = width;
    b.height = height;
    b.lacking.Clear();
    b.lacking.Add(RECT{0, 0, (width + scale_ - 1) / scale_, (height + scale_ - 1) / scale_});
    return true;
}

void ShmPresenter::Drop(Buffer &b)
{
    if (b.buffer != nullptr)
        wl_buffer_destroy(b.buffer);
    if (b.pixels != nullptr)
        munmap(b.pixels, b.bytes);
    b = Buffer{};
}

void ShmPresenter::Released(wl_buffer *buffer)
{
    for (Buffer &b : buffers_) {
        if (b.buffer != buffer)
            continue;
        b.busy = false;
        if (b.doomed)
            Drop(b);
    }
}

void ShmPresenter::FrameDone(wl_callback *callback)
{
    wl_callback_destroy(callback);
    if (callback == frame_)
        frame_ = nullptr;
}

// A buffer the compositor does not hold, of the given device size: one that
// has it, else one remade (or made) at it. Null while every buffer is held.
ShmPresenter::Buffer *ShmPresenter::FreeBuffer(int width, int height)
{
    Buffer *spare = nullptr;
    for (Buffer &b : buffers_) {
        if (b.busy)
            continue;
        if (b.buffer != nullptr && b.width == width && b.height == height)
            return &b;
        if (spare == nullptr || spare->buffer != nullptr)
            spare = &b;  // an empty slot is the best to make one in
    }
    // Held buffers of another size go once they are released.
    for (Buffer &b : buffers_)
        if (b.busy && (b.width != width || b.height != height))
            b.doomed = true;
    if (spare == nullptr)
        return nullptr;
    if (!Make(*spare, width, height)) {
        SayShortage(width, height);
        return nullptr;
    }
    return spare;
}

// Writes the logical rectangle r of the surface into b.
void ShmPresenter::Copy(Buffer &b, const RECT &r)
{
    converter_.CopyScaled(pixels_->Pixels(), r, scale_, reinterpret_cast<uint8_t *>(b.pixels),
                          b.width * 4, b.width, b.height);
}

void ShmPresenter::Present()
{
    const int width = pixels_->Width(), height = pixels_->Height();
    if (!ready_ || width == 0 || height == 0)
        return;
    // A new size or scale is a new picture, even where nothing was drawn,
    // and the compositor waits for it (a configuration it sent): it goes at
    // once, not at the next frame.
    const bool sized = width != shownWidth_ || height != shownHeight_ ||
                       scale_ != committedScale_;
    if (frame_ != nullptr && !sized)
        return;  // the damage gathers until the compositor has shown the last commit
    if (sized)
        showAll_ = true;
    if (pixels_->Damage().Empty() && !showAll_)
        return;
    Buffer *b = FreeBuffer(width * scale_, height * scale_);
    if (b == nullptr)
        return;
    gdi::RectSet changed = TakeDamage(*pixels_, width, height);
    if (showAll_) {
        changed.Clear();
        changed.Add(RECT{0, 0, width, height});
    }
    for (int i = 0; i < changed.Count(); ++i) {
        b->lacking.Add(changed[i]);
        for (Buffer &other : buffers_)
            if (&other != b && other.buffer != nullptr)
                other.lacking.Add(changed[i]);
    }
    for (int i = 0; i < b->lacking.Count(); ++i)
        Copy(*b, b->lacking[i]);
    b->lacking.Clear();

    wl_surface_attach(surface_, b->buffer, 0, 0);
    if (scale_ != committedScale_)
        wl_surface_set_buffer_scale(surface_, scale_);
    for (int i = 0; i < changed.Count(); ++i) {
        const RECT &r = changed[i];
        wl_surface_damage_buffer(surface_, r.left * scale_, r.top * scale_,
                                 (r.right - r.left) * scale_, (r.bottom - r.top) * scale_);
    }
    if (frame_ != nullptr)
        wl_callback_destroy(frame_);  // its done no longer matters
    frame_ = wl_surface_frame(surface_);
    wl_callback_add_listener(frame_, &kFrameListener, this);
    wl_surface_commit(surface_);
    b->busy = true;
    committedScale_ = scale_;
    shownWidth_ = width;
    shownHeight_ = height;
    showAll_ = false;
}

}  // namespace kp::host
