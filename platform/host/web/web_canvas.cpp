#include "web_canvas.h"

#include <algorithm>

extern "C" {
// platform/host/web/library.js
void kp_web_canvas_reserve(int id, int width, int height);
void kp_web_canvas_put(int id, const uint32_t *rgba, int x, int y, int width, int height);
}

namespace kp::host {

void CanvasPresenter::Reserve(int width, int height)
{
    if (width <= capacityWidth_ && height <= capacityHeight_)
        return;
    capacityWidth_ = std::max(width, capacityWidth_);
    capacityHeight_ = std::max(height, capacityHeight_);
    kp_web_canvas_reserve(id_, capacityWidth_, capacityHeight_);
    stale_ = true;
}

void CanvasPresenter::Present()
{
    const int width = surface_->Width(), height = surface_->Height();
    Reserve(width, height);
    gdi::RectSet rects = TakeDamage(*surface_, width, height);
    if (stale_) {
        rects.Clear();
        rects.Add(RECT{0, 0, width, height}, width, height);
        stale_ = false;
    }
    const Surface pixels = surface_->Pixels();
    for (int i = 0; i < rects.Count(); ++i) {
        const RECT &r = rects[i];
        const int count = r.right - r.left;
        const size_t area = static_cast<size_t>(count) * (r.bottom - r.top);
        if (area > rgbaCapacity_) {
            // As large as the largest rectangle so far: the client area at most.
            rgba_.reset(new uint32_t[area]);
            rgbaCapacity_ = area;
        }
        uint32_t *to = rgba_.get();
        for (LONG y = r.top; y < r.bottom; ++y) {
            const uint32_t *from = pixels.pixels + static_cast<size_t>(y) * pixels.stride + r.left;
            for (int x = 0; x < count; ++x) {
                // 0x00RRGGBB to the bytes R, G, B, 255 of a little-endian word.
                const uint32_t p = from[x];
                *to++ = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
            }
        }
        kp_web_canvas_put(id_, rgba_.get(), r.left, r.top, count, r.bottom - r.top);
    }
}

}  // namespace kp::host
