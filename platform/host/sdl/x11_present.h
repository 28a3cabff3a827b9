// Shows a window's pixels on X through an image of the host's own, in the
// format of the window's visual (15 to 30 bits, TrueColor or DirectColor)
// and at the host's scale.
//
// The image lives in memory shared with the X server (MIT-SHM) where the
// server offers it; else its pixels go over the connection. Where the
// visual's format is the layer's own (32-bit 0x00RRGGBB) and nothing is
// scaled, the window's surface lives in the shared image itself: painting
// writes where the server reads, and showing a change is one put of its
// rectangle and a sync (without shared memory the put sends straight from
// the surface). Otherwise the changed rectangles, and only those, are
// written into the image in the visual's format, each logical pixel an
// s x s block (device_pixels.h), and put.
//
// The image has the surface's size, which is USER's client size: the server
// keeps the window's content through a size change (bit gravity), so even
// then only the changed rectangles go out.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstddef>

#include "../device_pixels.h"
#include "../presenter.h"

namespace kp::host {

class X11ImagePresenter final : public Presenter {
  public:
    // The presenter for window; null, with the reason, where the host cannot
    // write the pixels of its visual (an 8-bit PseudoColor screen has no
    // colours but a palette's).
    static X11ImagePresenter *Make(Display *display, ::Window window, int scale,
                                   gdi::WindowSurface *surface, char *reason, size_t reasonSize);
    ~X11ImagePresenter() override;
    X11ImagePresenter(const X11ImagePresenter &) = delete;
    X11ImagePresenter &operator=(const X11ImagePresenter &) = delete;

    void Present() override;

  private:
    X11ImagePresenter(Display *display, ::Window window, Visual *visual, int depth,
                      const PixelLayout &layout, int scale, gdi::WindowSurface *surface);
    // An image for a surface of width x height; false when none can be had.
    bool Remake(int width, int height);
    bool MakeShared(int deviceWidth, int deviceHeight);
    bool MakePlain(int deviceWidth, int deviceHeight);
    void Settle();
    void Release();
    // Writes the logical rectangle r into the image; the device rectangle.
    RECT Write(const RECT &r);
    void Put(const RECT &device);

    Display *display_;
    ::Window window_;
    Visual *visual_;
    int depth_;
    int scale_;
    gdi::WindowSurface *surface_;
    GC gc_ = nullptr;
    PixelConverter converter_;
    const bool direct_;  // the surface's pixels are the device's
    bool canShare_;      // the server offers shared memory, as far as known
    XImage *image_ = nullptr;
    XShmSegmentInfo shm_ = {};
    bool shared_ = false;
    int width_ = 0;  // the surface size the image was made for
    int height_ = 0;
};

}  // namespace kp::host
