#include "x11_present.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <bit>
#include <cstdio>
#include <cstdlib>

#include "../shortage.h"
#include "x11_errors.h"

namespace kp::host {

namespace {

constexpr int kNativeOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;

const char *VisualName(const Visual *visual, int depth, char *buffer, size_t size)
{
    static constexpr const char *kClasses[] = {"StaticGray",  "GrayScale", "StaticColor",
                                               "PseudoColor", "TrueColor", "DirectColor"};
    const int c = visual != nullptr ? visual->c_class : -1;
    std::snprintf(buffer, size, "%d-bit %s", depth, c >= 0 && c < 6 ? kClasses[c] : "unknown");
    return buffer;
}

int BitsPerPixel(Display *display, int depth)
{
    int bits = 0, count = 0;
    if (XPixmapFormatValues *formats = XListPixmapFormats(display, &count)) {
        for (int i = 0; i < count; ++i)
            if (formats[i].depth == depth)
                bits = formats[i].bits_per_pixel;
        XFree(formats);
    }
    return bits;
}

// The visual's pixel format, if the host can write it: TrueColor, or
// DirectColor (whose colour map SDL fills with straight ramps), whole bytes
// a pixel and colour channels of at least 5 bits.
bool WritableLayout(Display *display, const Visual *visual, int depth, PixelLayout *layout)
{
    const int bits = BitsPerPixel(display, depth);
    layout->bytesPerPixel = bits / 8;
    layout->redMask = static_cast<uint32_t>(visual->red_mask);
    layout->greenMask = static_cast<uint32_t>(visual->green_mask);
    layout->blueMask = static_cast<uint32_t>(visual->blue_mask);
    layout->alphaMask = 0;
    const bool enough = std::popcount(layout->redMask) >= 5 &&
                        std::popcount(layout->greenMask) >= 5 &&
                        std::popcount(layout->blueMask) >= 5;
    const int kind = visual->c_class;
    return (kind == TrueColor || kind == DirectColor) && bits % 8 == 0 && enough &&
           PixelConverter::Supports(*layout);
}

}  // namespace

X11ImagePresenter *X11ImagePresenter::Make(Display *display, ::Window window, int scale,
                                           gdi::WindowSurface *surface, char *reason,
                                           size_t reasonSize)
{
    XWindowAttributes attributes;
    PixelLayout layout;
    if (!XGetWindowAttributes(display, window, &attributes)) {
        std::snprintf(reason, reasonSize, "the window's visual cannot be read");
        return nullptr;
    }
    if (!WritableLayout(display, attributes.visual, attributes.depth, &layout)) {
        char screen[64];
        std::snprintf(reason, reasonSize,
                      "the screen is %s, which has no colours the program can write",
                      VisualName(attributes.visual, attributes.depth, screen, sizeof screen));
        return nullptr;
    }
    return new X11ImagePresenter(display, window, attributes.visual, attributes.depth, layout,
                                 scale, surface);
}

X11ImagePresenter::X11ImagePresenter(Display *display, ::Window window, Visual *visual, int depth,
                                     const PixelLayout &layout, int scale,
                                     gdi::WindowSurface *surface)
    : display_(display), window_(window), visual_(visual), depth_(depth), scale_(scale),
      surface_(surface), converter_(layout), direct_(converter_.Native() && scale == 1),
      canShare_(XShmQueryExtension(display) == True)
{
    gc_ = XCreateGC(display, window, 0, nullptr);
    // What the window shows where it has no client pixels (the part of a
    // window larger than USER lets a client be) is the class brush's white;
    // the server puts it there before the program paints an exposed area.
    XSetWindowBackground(display, window, converter_.Convert(0x00FFFFFFu));
}

X11ImagePresenter::~X11ImagePresenter()
{
    Release();
    if (gc_ != nullptr)
        XFreeGC(display_, gc_);
}

void X11ImagePresenter::Release()
{
    // The surface never outlives the memory it lives in.
    if (surface_->OnDisplayMemory())
        surface_->LeaveDisplayMemory();
    if (image_ == nullptr)
        return;
    if (shared_) {
        XShmDetach(display_, &shm_);
        XSync(display_, False);
        shmdt(shm_.shmaddr);
        image_->data = nullptr;
    } else if (direct_) {
        image_->data = nullptr;  // the surface's memory
    }
    XDestroyImage(image_);  // frees its own pixels, if any
    image_ = nullptr;
    shared_ = false;
}

bool X11ImagePresenter::MakeShared(int deviceWidth, int deviceHeight)
{
    XImage *image =
        XShmCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr, &shm_,
                        static_cast<unsigned>(deviceWidth), static_cast<unsigned>(deviceHeight));
    if (image == nullptr)
        return false;
    const size_t bytes = static_cast<size_t>(image->bytes_per_line) * deviceHeight;
    shm_.shmid =
        image->byte_order == kNativeOrder ? shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600) : -1;
    void *memory = shm_.shmid >= 0 ? shmat(shm_.shmid, nullptr, 0) : reinterpret_cast<void *>(-1);
    if (shm_.shmid >= 0)
        shmctl(shm_.shmid, IPC_RMID, nullptr);  // gone once both sides let go
    if (memory == reinterpret_cast<void *>(-1)) {
        XDestroyImage(image);
        return false;
    }
    shm_.shmaddr = image->data = static_cast<char *>(memory);
    shm_.readOnly = False;
    // A server that cannot reach this memory (another machine, another
    // user) refuses it: from then on the pixels go over the connection.
    const unsigned long errors = x11::ErrorCount();
    XShmAttach(display_, &shm_);
    XSync(display_, False);
    if (x11::ErrorCount() != errors) {
        canShare_ = false;
        shmdt(memory);
        image->data = nullptr;
        XDestroyImage(image);
        return false;
    }
    image_ = image;
    shared_ = true;
    return true;
}

bool X11ImagePresenter::MakePlain(int deviceWidth, int deviceHeight)
{
    XImage *image = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0,
                                 nullptr, static_cast<unsigned>(deviceWidth),
                                 static_cast<unsigned>(deviceHeight), 32, 0);
    if (image == nullptr)
        return false;
    // Pixels in this machine's byte order; Xlib swaps them for a server of
    // the other one.
    image->byte_order = kNativeOrder;
    if (!direct_) {
        image->data = static_cast<char *>(
            std::calloc(static_cast<size_t>(image->bytes_per_line), deviceHeight));
        if (image->data == nullptr) {
            XDestroyImage(image);
            return false;
        }
    }
    image_ = image;
    return true;
}

bool X11ImagePresenter::Remake(int width, int height)
{
    Release();
    width_ = height_ = 0;
    const long long deviceWidth = 1ll * width * scale_, deviceHeight = 1ll * height * scale_;
    if (deviceWidth > 65535 || deviceHeight > 65535)
        return false;  // beyond what X can put
    if (!(canShare_ && MakeShared(int(deviceWidth), int(deviceHeight))) &&
        !MakePlain(int(deviceWidth), int(deviceHeight)))
        return false;
    width_ = width;
    height_ = height;
    // A new image holds nothing yet: all of the surface goes into it.
    if (!direct_)
        Write(RECT{0, 0, width, height});
    return true;
}

// Where the surface can live in the shared image, it does: it moves back
// into it whenever it had to leave (a size change takes it out).
void X11ImagePresenter::Settle()
{
    auto *memory = reinterpret_cast<uint32_t *>(image_->data);
    if (direct_ && shared_ && surface_->Pixels().pixels != memory)
        surface_->UseDisplayMemory(memory, image_->bytes_per_line / 4);
}

RECT X11ImagePresenter::Write(const RECT &r)
{
    if (direct_)
        return r;  // the image is the surface, or sends from it
    return converter_.CopyScaled(surface_->Pixels(), r, scale_,
                                 reinterpret_cast<uint8_t *>(image_->data), image_->bytes_per_line,
                                 image_->width, image_->height);
}

void X11ImagePresenter::Put(const RECT &d)
{
    const int x = d.left, y = d.top;
    const unsigned width = static_cast<unsigned>(d.right - d.left);
    const unsigned height = static_cast<unsigned>(d.bottom - d.top);
    if (shared_) {
        XShmPutImage(display_, window_, gc_, image_, x, y, x, y, width, height, False);
        return;
    }
    if (direct_) {
        const Surface pixels = surface_->Pixels();
        image_->data = reinterpret_cast<char *>(pixels.pixels);
        image_->bytes_per_line = pixels.stride * 4;
    }
    XPutImage(display_, window_, gc_, image_, x, y, x, y, width, height);
}

void X11ImagePresenter::Present()
{
    const int width = surface_->Width(), height = surface_->Height();
    if (width == 0 || height == 0 || gc_ == nullptr) {
        surface_->ClearDamage();
        return;
    }
    if ((image_ == nullptr || width != width_ || height != height_) && !Remake(width, height)) {
        surface_->ClearDamage();  // no memory for the image: the window stays white
        SayShortage(width * scale_, height * scale_);
        return;
    }
    Settle();
    const gdi::RectSet rects = TakeDamage(*surface_, width, height);
    if (rects.Empty())
        return;
    for (int i = 0; i < rects.Count(); ++i) {
        const RECT d = Write(rects[i]);
        if (d.left < d.right && d.top < d.bottom)
            Put(d);
    }
    // The server has read the shared image before anything is drawn into it
    // again.
    if (shared_)
        XSync(display_, False);
    else
        XFlush(display_);
}

}  // namespace kp::host
