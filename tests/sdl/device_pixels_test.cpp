// Surface pixels written into display memory: the colour of every 8-bit
// channel value at every depth, and the s x s blocks of a scaled copy,
// clipped to the display.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "device_pixels.h"

namespace {

using kp::host::PixelConverter;
using kp::host::PixelLayout;

// How X shows the 8-bit value v in a channel of n bits, written out per
// depth rather than computed the converter's way.
uint32_t Widened(uint32_t v, int bits)
{
    switch (bits) {
    case 5:
        return v >> 3;
    case 6:
        return v >> 2;
    case 8:
        return v;
    case 10:
        return (v << 2) | (v >> 6);
    default:
        ADD_FAILURE() << "no expectation for " << bits << " bits";
        return 0;
    }
}

struct Format {
    std::string name;
    PixelLayout layout;
    int redBits, greenBits, blueBits;
    int redShift, greenShift, blueShift;
};

std::vector<Format> Formats()
{
    return {
        {"15-bit 555", {2, 0x7C00, 0x03E0, 0x001F, 0}, 5, 5, 5, 10, 5, 0},
        {"16-bit 565", {2, 0xF800, 0x07E0, 0x001F, 0}, 5, 6, 5, 11, 5, 0},
        {"24-bit in 32", {4, 0xFF0000, 0x00FF00, 0x0000FF, 0}, 8, 8, 8, 16, 8, 0},
        {"32-bit BGR with alpha",
         {4, 0x0000FF, 0x00FF00, 0xFF0000, 0xFF000000u},
         8,
         8,
         8,
         0,
         8,
         16},
        {"24-bit packed", {3, 0xFF0000, 0x00FF00, 0x0000FF, 0}, 8, 8, 8, 16, 8, 0},
        {"30-bit", {4, 0x3FF00000, 0x000FFC00, 0x000003FF, 0}, 10, 10, 10, 20, 10, 0},
    };
}

TEST(DevicePixels, EveryChannelValueAtEveryDepth)
{
    for (const Format &f : Formats()) {
        ASSERT_TRUE(PixelConverter::Supports(f.layout)) << f.name;
        PixelConverter c(f.layout);
        for (uint32_t v = 0; v < 256; ++v) {
            const uint32_t r = c.Convert(v << 16), g = c.Convert(v << 8), b = c.Convert(v);
            ASSERT_EQ(r, (Widened(v, f.redBits) << f.redShift) | f.layout.alphaMask)
                << f.name << " red " << v;
            ASSERT_EQ(g, (Widened(v, f.greenBits) << f.greenShift) | f.layout.alphaMask)
                << f.name << " green " << v;
            ASSERT_EQ(b, (Widened(v, f.blueBits) << f.blueShift) | f.layout.alphaMask)
                << f.name << " blue " << v;
        }
        // Channels combine without touching each other; white is all ones.
        const uint32_t all = f.layout.redMask | f.layout.greenMask | f.layout.blueMask;
        EXPECT_EQ(c.Convert(0xFFFFFF), all | f.layout.alphaMask) << f.name;
        EXPECT_EQ(c.Convert(0x000000), f.layout.alphaMask) << f.name;
        EXPECT_EQ(c.Convert(0x123456), c.Convert(0x120000) | c.Convert(0x3400) | c.Convert(0x56))
            << f.name;
        EXPECT_EQ(c.Native(), f.name == "24-bit in 32") << f.name;
    }
}

TEST(DevicePixels, LayoutsThatCannotBeWritten)
{
    const std::vector<std::pair<std::string, PixelLayout>> refused = {
        {"no bytes", {0, 0xFF0000, 0xFF00, 0xFF, 0}},
        {"five bytes", {5, 0xFF0000, 0xFF00, 0xFF, 0}},
        {"a channel without bits (palette)", {1, 0, 0, 0, 0}},
        {"channels overlapping", {4, 0xFF0000, 0xFFFF00, 0xFF, 0}},
        {"a channel in two runs", {4, 0xF0F000, 0x0F00, 0xFF, 0}},
        {"a channel of 17 bits", {4, 0x1FFFF, 0xE0000, 0x700000, 0}},
        {"a channel beyond the pixel", {2, 0xFF0000, 0xFF00, 0xFF, 0}},
        {"alpha over a channel", {4, 0xFF0000, 0xFF00, 0xFF, 0xFF}},
    };
    for (const auto &[name, layout] : refused)
        EXPECT_FALSE(PixelConverter::Supports(layout)) << name;
    EXPECT_TRUE(PixelConverter::Supports({1, 0xE0, 0x1C, 0x03, 0})) << "8-bit 332";
}

// A logical surface of distinct colours, copied at a scale into device
// memory framed by a canary: every device pixel inside the copied rectangle
// is its logical pixel's colour, every other one untouched.
TEST(DevicePixels, ScaledCopyIsBlocksClippedToTheDevice)
{
    constexpr int kW = 5, kH = 4, kCanary = 0xA5;
    uint32_t logical[kW * kH];
    for (int i = 0; i < kW * kH; ++i)
        logical[i] = 0x010203u * static_cast<uint32_t>(i + 1) ^ 0x00804020u;
    const kp::Surface from{logical, kW, kH, kW};

    struct Case {
        RECT rect;  // logical, may reach outside the surface
        int scale;
        int deviceWidth, deviceHeight;
    };
    const std::vector<Case> cases = {
        {{0, 0, kW, kH}, 1, kW, kH},
        {{1, 1, 4, 3}, 1, kW, kH},
        {{0, 0, kW, kH}, 2, 2 * kW, 2 * kH},
        {{2, 1, 5, 4}, 3, 3 * kW, 3 * kH},
        {{0, 0, kW, kH}, 2, 2 * kW - 1, 2 * kH - 1},  // the last block shows in part
        {{3, 2, 9, 9}, 2, 7, 6},                      // beyond the surface and the device
        {{-2, -2, 1, 1}, 2, 2 * kW, 2 * kH},
        {{4, 3, 5, 4}, 4, 17, 13},
        {{0, 0, kW, kH}, 2, 4, 4},  // a device smaller than the rectangle
    };
    for (const Format &f : Formats()) {
        PixelConverter c(f.layout);
        const int bpp = f.layout.bytesPerPixel;
        for (const Case &k : cases) {
            const int pitch = k.deviceWidth * bpp + 3;  // rows need not be packed
            std::vector<uint8_t> device(static_cast<size_t>(pitch) * k.deviceHeight, kCanary);
            RECT got = c.CopyScaled(from, k.rect, k.scale, device.data(), pitch, k.deviceWidth,
                                    k.deviceHeight);
            // What should have been written: the rectangle, in the surface, scaled, in the device.
            const RECT in{std::max<LONG>(k.rect.left, 0), std::max<LONG>(k.rect.top, 0),
                          std::min<LONG>(k.rect.right, kW), std::min<LONG>(k.rect.bottom, kH)};
            const RECT want{std::min(in.left * k.scale, k.deviceWidth),
                            std::min(in.top * k.scale, k.deviceHeight),
                            std::min(in.right * k.scale, k.deviceWidth),
                            std::min(in.bottom * k.scale, k.deviceHeight)};
            const std::string what =
                f.name + ", rect (" + std::to_string(k.rect.left) + "," +
                std::to_string(k.rect.top) + ")-(" + std::to_string(k.rect.right) + "," +
                std::to_string(k.rect.bottom) + ") at scale " + std::to_string(k.scale);
            EXPECT_EQ(got.left, want.left) << what;
            EXPECT_EQ(got.top, want.top) << what;
            EXPECT_EQ(got.right, want.right) << what;
            EXPECT_EQ(got.bottom, want.bottom) << what;
            for (int y = 0; y < k.deviceHeight; ++y) {
                const uint8_t *row = device.data() + static_cast<size_t>(y) * pitch;
                for (int x = 0; x < k.deviceWidth; ++x) {
                    const bool inside =
                        x >= want.left && x < want.right && y >= want.top && y < want.bottom;
                    uint8_t expected[4];
                    if (inside) {
                        const uint32_t p = c.Convert(logical[(y / k.scale) * kW + x / k.scale]);
                        std::memcpy(expected, &p, 4);  // little-endian: low bytes first
                    } else {
                        std::memset(expected, kCanary, 4);
                    }
                    ASSERT_EQ(std::memcmp(row + x * bpp, expected, bpp), 0)
                        << what << ": device pixel (" << x << "," << y << ")"
                        << (inside ? " is not its block's colour" : " was written");
                }
                for (int b = k.deviceWidth * bpp; b < pitch; ++b)
                    ASSERT_EQ(row[b], kCanary) << what << ": past the end of row " << y;
            }
        }
    }
}

}  // namespace
