#include "web_canvas.h"

#include <algorithm>

extern "C" {
// platform/host/web/library.js
void kp_web_canvas_reserve(int id, int width, int height);
void kp_web_canvas_put(int id, const uint32_t *rgba, int x, int y, int width, int height);
}

namespace kp::host {

void CanvasPixels::Reserve(int width, int height)
{
    if (width <= capacityWidth_ && height <= capacityHeight_)
        return;
    const int newWidth = std::max(width, capacityWidth_);
    const int newHeight = std::max(height, capacityHeight_);
    const size_t count = static_cast<size_t>(newWidth) * newHeight;
    std::unique_ptr<uint32_t[]> pixels(new uint32_t[count]);
    std::fill_n(pixels.get(), count, 0xFFFFFFu);
    for (int y = 0; y < capacityHeight_; ++y)
        std::copy_n(pixels_.get() + static_cast<size_t>(y) * capacityWidth_, capacityWidth_,
                    pixels.get() + static_cast<size_t>(y) * newWidth);
    pixels_ = std::move(pixels);
    rgba_.reset(new uint32_t[count]);
    capacityWidth_ = newWidth;
    capacityHeight_ = newHeight;
    kp_web_canvas_reserve(id_, newWidth, newHeight);
    stale_ = true;
}

void CanvasPixels::SetClientSize(int width, int height)
{
    width = std::max(width, 0);
    height = std::max(height, 0);
    Reserve(width, height);
    width_ = width;
    height_ = height;
    damage_.ClipTo(width, height);
}

Surface CanvasPixels::ClientSurface()
{
    return Surface{pixels_.get(), width_, height_, capacityWidth_};
}

void CanvasPixels::Painted(const RECT &rect)
{
    damage_.Add(rect, width_, height_);
}

void CanvasPixels::Show()
{
    if (stale_) {
        damage_.Clear();
        damage_.Add(RECT{0, 0, width_, height_}, width_, height_);
        stale_ = false;
    }
    for (int i = 0; i < damage_.Count(); ++i) {
        const RECT &r = damage_[i];
        const int width = r.right - r.left, height = r.bottom - r.top;
        uint32_t *to = rgba_.get();
        for (LONG y = r.top; y < r.bottom; ++y) {
            const uint32_t *from = pixels_.get() + static_cast<size_t>(y) * capacityWidth_ + r.left;
            for (int x = 0; x < width; ++x) {
                // 0x00RRGGBB to the bytes R, G, B, 255 of a little-endian word.
                const uint32_t p = from[x];
                *to++ = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
            }
        }
        kp_web_canvas_put(id_, rgba_.get(), r.left, r.top, width, height);
    }
    damage_.Clear();
}

}  // namespace kp::host
