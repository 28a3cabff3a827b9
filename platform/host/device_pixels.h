// Writing a window surface's pixels into the memory a display shows, in the
// display's pixel format and at the display's scale.
//
// Colours: a channel of n bits gets the top n bits of v * 257 for the 8-bit
// value v, which is how X widens and narrows colour values: 8 bits keep v,
// 5 and 6 bits keep v's top bits, 10 bits are v followed by its top two
// (v << 2 | v >> 6), so that white stays white and black black at every
// depth. Scale: each surface pixel becomes an s x s block (nearest
// neighbour, never blended).
#pragma once

#include <windows.h>

#include <cstdint>

#include "../gdi/surface.h"

namespace kp::host {

// A packed pixel format: 1 to 4 bytes a pixel in the machine's byte order,
// each colour channel a run of bits in the pixel value. Bits of alpha are
// set in every pixel (opaque); other bits are 0.
struct PixelLayout {
    int bytesPerPixel = 4;
    uint32_t redMask = 0x00FF0000u;
    uint32_t greenMask = 0x0000FF00u;
    uint32_t blueMask = 0x000000FFu;
    uint32_t alphaMask = 0;
};

class PixelConverter {
  public:
    // Whether a layout can be written: 1 to 4 bytes, every channel one run
    // of 1 to 16 bits inside the pixel, the channels apart.
    static bool Supports(const PixelLayout &layout);

    // layout must be supported.
    explicit PixelConverter(const PixelLayout &layout);

    // The device pixel of a surface pixel (0x00RRGGBB).
    uint32_t Convert(uint32_t rgb) const
    {
        return red_[(rgb >> 16) & 0xFFu] | green_[(rgb >> 8) & 0xFFu] | blue_[rgb & 0xFFu] | alpha_;
    }

    // Whether device pixels are exactly the surface's (32-bit 0x00RRGGBB).
    bool Native() const { return native_; }

    // Copies rectangle r of from (inside it) into device memory of
    // width x height pixels, pitch bytes a row, each pixel an s x s block,
    // clipped to the device area. Returns the device rectangle written
    // (empty when nothing of r shows).
    RECT CopyScaled(const Surface &from, const RECT &r, int scale, uint8_t *to, int pitch,
                    int width, int height) const;

  private:
    template <int Bytes>
    void CopyRows(const Surface &from, int scale, const RECT &d, uint8_t *to, int pitch) const;

    uint32_t red_[256];
    uint32_t green_[256];
    uint32_t blue_[256];
    uint32_t alpha_ = 0;
    int bytes_ = 4;
    bool native_ = false;
};

}  // namespace kp::host
