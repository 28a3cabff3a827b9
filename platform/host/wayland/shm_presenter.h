// Shows a window's surface on Wayland through shared-memory buffers of the
// host's own (wl_shm, XRGB8888, which is the layer's 0x00RRGGBB), at the
// surface's buffer scale, each logical pixel an s x s block.
//
// Two buffers, a third while the compositor holds both, so that the
// compositor reads one while the program draws into another; a buffer is
// written only once the compositor has released it. Each buffer knows what
// it lacks of the surface (what changed since it was last shown), so a
// present copies into a free buffer only that and what changed now,
// attaches it, damages only the changed rectangles and commits.
//
// Commits are paced by the frame callback: until the compositor says the
// last one was shown, the surface's damage gathers (every move is still
// drawn into the surface), and then one commit carries all of it. So there
// is at most one commit per output frame, and nothing is lost. A new size
// goes at once: the compositor waits for it.
#pragma once

#include <wayland-client.h>

#include "../device_pixels.h"
#include "../presenter.h"

namespace kp::host {

class ShmPresenter final : public Presenter {
  public:
    ShmPresenter(wl_shm *shm, wl_surface *surface, gdi::WindowSurface *pixels);
    ~ShmPresenter() override;
    ShmPresenter(const ShmPresenter &) = delete;
    ShmPresenter &operator=(const ShmPresenter &) = delete;

    // Whether the surface may show buffers yet (its first configure was
    // acknowledged and it is to be mapped).
    void SetReady(bool ready);
    // Device pixels per logical pixel; a change shows everything anew.
    void SetScale(int scale);
    int Scale() const { return scale_; }
    // The compositor has nothing of the surface (a new mapping): the next
    // present shows all of it.
    void ShowAll() { showAll_ = true; }

    void Present() override;

    // What the compositor tells about a buffer and a frame (the listeners).
    void Released(wl_buffer *buffer);
    void FrameDone(wl_callback *callback);

  private:
    struct Buffer {
        wl_buffer *buffer = nullptr;
        uint32_t *pixels = nullptr;
        size_t bytes = 0;
        int width = 0;  // device pixels; stride = width
        int height = 0;
        bool busy = false;     // the compositor holds it
        bool doomed = false;   // to be destroyed once released
        gdi::RectSet lacking;  // logical rectangles it does not show yet
    };

    Buffer *FreeBuffer(int width, int height);
    bool Make(Buffer &b, int width, int height);
    void Drop(Buffer &b);
    void Copy(Buffer &b, const RECT &r);

    wl_shm *shm_;
    wl_surface *surface_;
    gdi::WindowSurface *pixels_;
    PixelConverter converter_{PixelLayout{}};
    Buffer buffers_[3];
    wl_callback *frame_ = nullptr;  // the last commit's, until it is done
    int scale_ = 1;
    int committedScale_ = 1;
    int shownWidth_ = 0;  // the logical size of the last commit
    int shownHeight_ = 0;
    bool ready_ = false;
    bool showAll_ = true;
};

}  // namespace kp::host
