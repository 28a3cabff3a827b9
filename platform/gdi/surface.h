// A rectangle of 32-bit pixels that GDI draws into: a bitmap's bits or a
// window's client area (owned by the host).
#pragma once

#include <windows.h>

#include <cstdint>

namespace kp {

// Pixels are 0x00RRGGBB, rows top to bottom; stride is in pixels.
struct Surface {
    uint32_t *pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

inline uint32_t PixelFromColorref(COLORREF c)
{
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

inline COLORREF ColorrefFromPixel(uint32_t p)
{
    return ((p >> 16) & 0xFFu) | (p & 0xFF00u) | ((p & 0xFFu) << 16);
}

}  // namespace kp
