#include "device_pixels.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace kp::host {

namespace {

// The run of bits of a mask: false unless it is one run of 1 to 16 bits.
bool Run(uint32_t mask, int *shift, int *bits)
{
    if (mask == 0)
        return false;
    *shift = std::countr_zero(mask);
    *bits = std::popcount(mask);
    return *bits <= 16 && (mask >> *shift) == (uint32_t{1} << *bits) - 1;
}

void FillChannel(uint32_t *table, uint32_t mask)
{
    int shift = 0, bits = 0;
    Run(mask, &shift, &bits);
    for (uint32_t v = 0; v < 256; ++v)
        table[v] = ((v * 257u) >> (16 - bits)) << shift;
}

template <int Bytes> inline void Store(uint8_t *to, uint32_t pixel)
{
    if constexpr (Bytes == 4) {
        std::memcpy(to, &pixel, 4);
    } else if constexpr (Bytes == 2) {
        const uint16_t p = static_cast<uint16_t>(pixel);
        std::memcpy(to, &p, 2);
    } else if constexpr (Bytes == 1) {
        *to = static_cast<uint8_t>(pixel);
    } else {
        // The three low bytes of the value, in the machine's order.
        const auto *bytes = reinterpret_cast<const uint8_t *>(&pixel);
        std::memcpy(to, std::endian::native == std::endian::little ? bytes : bytes + 1, 3);
    }
}

}  // namespace

bool PixelConverter::Supports(const PixelLayout &layout)
{
    if (layout.bytesPerPixel < 1 || layout.bytesPerPixel > 4)
        return false;
    const uint64_t room = (uint64_t{1} << (8 * layout.bytesPerPixel)) - 1;
    const uint32_t masks[] = {layout.redMask, layout.greenMask, layout.blueMask};
    uint32_t seen = layout.alphaMask;
    for (uint32_t mask : masks) {
        int shift, bits;
        if (!Run(mask, &shift, &bits) || (mask & seen) != 0 || mask > room)
            return false;
        seen |= mask;
    }
    return layout.alphaMask <= room;
}

PixelConverter::PixelConverter(const PixelLayout &layout)
    : alpha_(layout.alphaMask), bytes_(layout.bytesPerPixel)
{
    FillChannel(red_, layout.redMask);
    FillChannel(green_, layout.greenMask);
    FillChannel(blue_, layout.blueMask);
    native_ = layout.bytesPerPixel == 4 && layout.redMask == 0x00FF0000u &&
              layout.greenMask == 0x0000FF00u && layout.blueMask == 0x000000FFu &&
              layout.alphaMask == 0;
}

template <int Bytes>
void PixelConverter::CopyRows(const Surface &from, int scale, const RECT &d, uint8_t *to,
                              int pitch) const
{
    const size_t rowBytes = static_cast<size_t>(d.right - d.left) * Bytes;
    const int firstColumn = d.left / scale, endColumn = (d.right - 1) / scale + 1;
    for (int ly = d.top / scale; ly * scale < d.bottom; ++ly) {
        const int y0 = std::max<int>(ly * scale, d.top);
        const int y1 = std::min<int>(ly * scale + scale, d.bottom);
        uint8_t *row = to + static_cast<size_t>(y0) * pitch + static_cast<size_t>(d.left) * Bytes;
        const uint32_t *source = from.pixels + static_cast<size_t>(ly) * from.stride;
        if (scale == 1 && native_) {
            std::memcpy(row, source + d.left, rowBytes);
            continue;
        }
        uint8_t *out = row;
        for (int lx = firstColumn; lx < endColumn; ++lx) {
            const uint32_t pixel = Convert(source[lx]);
            const int x0 = std::max<int>(lx * scale, d.left);
            const int x1 = std::min<int>(lx * scale + scale, d.right);
            for (int x = x0; x < x1; ++x, out += Bytes)
                Store<Bytes>(out, pixel);
        }
        for (int y = y0 + 1; y < y1; ++y)
            std::memcpy(to + static_cast<size_t>(y) * pitch + static_cast<size_t>(d.left) * Bytes,
                        row, rowBytes);
    }
}

RECT PixelConverter::CopyScaled(const Surface &from, const RECT &r, int scale, uint8_t *to,
                                int pitch, int width, int height) const
{
    const RECT inside{std::max<LONG>(r.left, 0), std::max<LONG>(r.top, 0),
                      std::min<LONG>(r.right, from.width), std::min<LONG>(r.bottom, from.height)};
    if (scale < 1 || inside.left >= inside.right || inside.top >= inside.bottom)
        return RECT{0, 0, 0, 0};
    const long long s = scale;
    const RECT d{static_cast<LONG>(std::min<long long>(inside.left * s, width)),
                 static_cast<LONG>(std::min<long long>(inside.top * s, height)),
                 static_cast<LONG>(std::min<long long>(inside.right * s, width)),
                 static_cast<LONG>(std::min<long long>(inside.bottom * s, height))};
    if (d.left >= d.right || d.top >= d.bottom)
        return RECT{0, 0, 0, 0};
    switch (bytes_) {
    case 1:
        CopyRows<1>(from, scale, d, to, pitch);
        break;
    case 2:
        CopyRows<2>(from, scale, d, to, pitch);
        break;
    case 3:
        CopyRows<3>(from, scale, d, to, pitch);
        break;
    default:
        CopyRows<4>(from, scale, d, to, pitch);
        break;
    }
    return d;
}

}  // namespace kp::host
