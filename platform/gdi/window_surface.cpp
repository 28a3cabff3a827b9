#include "window_surface.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "rects.h"

namespace kp::gdi {

namespace {

void CopyRows(uint32_t *to, int toStride, const uint32_t *from, int fromStride, int width,
              int height)
{
    for (int y = 0; y < height; ++y)
        std::memcpy(to + static_cast<size_t>(y) * toStride,
                    from + static_cast<size_t>(y) * fromStride, sizeof(uint32_t) * width);
}

void FillRows(uint32_t *rows, int stride, const RECT &r, uint32_t pixel)
{
    for (LONG y = r.top; y < r.bottom; ++y) {
        uint32_t *row = rows + static_cast<size_t>(y) * stride;
        std::fill(row + r.left, row + r.right, pixel);
    }
}

}  // namespace

WindowSurface::~WindowSurface()
{
    FreeOwn();
}

WindowSurface::WindowSurface(WindowSurface &&other) noexcept
{
    *this = std::move(other);
}

WindowSurface &WindowSurface::operator=(WindowSurface &&other) noexcept
{
    if (this != &other) {
        FreeOwn();
        pixels_ = std::exchange(other.pixels_, nullptr);
        own_ = std::exchange(other.own_, nullptr);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        stride_ = std::exchange(other.stride_, 0);
        lostPixel_ = other.lostPixel_;
        damage_ = other.damage_;
        other.damage_.Clear();
        copies_ = std::exchange(other.copies_, WindowCopies{});
        copyTracking_ = other.copyTracking_;
    }
    return *this;
}

void WindowSurface::FreeOwn()
{
    if (pixels_ == own_)
        pixels_ = nullptr;
    delete[] own_;
    own_ = nullptr;
}

bool WindowSurface::MoveToOwn(int width, int height)
{
    uint32_t *memory = nullptr;
    if (width > 0 && height > 0) {
        memory = new (std::nothrow) uint32_t[static_cast<size_t>(width) * height];
        if (memory == nullptr)
            return false;
        const int keptWidth = std::min(width, width_), keptHeight = std::min(height, height_);
        if (keptWidth > 0 && keptHeight > 0)
            CopyRows(memory, width, pixels_, stride_, keptWidth, keptHeight);
        FillRows(memory, width, RECT{keptWidth, 0, width, std::max(keptHeight, 0)}, lostPixel_);
        FillRows(memory, width, RECT{0, std::max(keptHeight, 0), width, height}, lostPixel_);
    }
    FreeOwn();
    own_ = memory;
    pixels_ = memory;
    width_ = memory ? width : 0;
    height_ = memory ? height : 0;
    stride_ = width_;
    return true;
}

bool WindowSurface::Resize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == width_ && height == height_)
        return true;
    // Sizes whose byte count a size_t cannot hold are refused up front.
    bool ok = static_cast<unsigned long long>(width) * static_cast<unsigned long long>(height) <=
                  (static_cast<unsigned long long>(SIZE_MAX) / sizeof(uint32_t)) &&
              MoveToOwn(width, height);
    if (!ok) {
        // No memory for the new size: the pixels it has stay, as much of
        // them as the new size holds.
        width_ = std::min(width_, width);
        height_ = std::min(height_, height);
    }
    damage_.ClipTo(width_, height_);
    copies_.Clip(width_, height_);
    return ok;
}

void WindowSurface::UseDisplayMemory(uint32_t *memory, int stride)
{
    if (memory == nullptr || memory == pixels_ || width_ == 0 || height_ == 0)
        return;
    CopyRows(memory, stride, pixels_, stride_, width_, height_);
    FreeOwn();
    pixels_ = memory;
    stride_ = stride;
}

bool WindowSurface::LeaveDisplayMemory()
{
    if (!OnDisplayMemory())
        return true;
    if (MoveToOwn(width_, height_))
        return true;
    LosePixels();
    return false;
}

void WindowSurface::DropDisplayMemory()
{
    if (OnDisplayMemory())
        LosePixels();
}

void WindowSurface::LosePixels()
{
    pixels_ = nullptr;
    width_ = height_ = stride_ = 0;
    damage_.Clear();
    copies_.Forget();
}

void WindowSurface::Replace(const RECT &rect, uint32_t pixel)
{
    const RECT r = Intersection(rect, RECT{0, 0, width_, height_});
    if (Empty(r))
        return;
    FillRows(pixels_, stride_, r, pixel);
    copies_.Written(r, width_, height_);
}

void WindowSurface::Written(const RECT &bounds)
{
    damage_.Add(bounds, width_, height_);
    copies_.Written(bounds, width_, height_);
}

void WindowSurface::SetCopyTracking(bool on)
{
    copyTracking_ = on;
    copies_.Forget();
}

}  // namespace kp::gdi
