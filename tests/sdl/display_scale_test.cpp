// The X11 scale from GDK_SCALE and Xft.dpi, and the arithmetic between
// device and logical pixels.
#include <gtest/gtest.h>

#include <vector>

#include "display_scale.h"

namespace {

using namespace kp::host;

TEST(DisplayScale, FromGdkScaleOrXftDpi)
{
    struct Case {
        const char *gdkScale;
        const char *resources;
        int scale;
    };
    const std::vector<Case> cases = {
        {nullptr, nullptr, 1},
        {nullptr, "", 1},
        {"2", nullptr, 2},
        {"3", "Xft.dpi:\t96\n", 3},  // GDK_SCALE wins over Xft.dpi
        {"1", "Xft.dpi:\t192\n", 1},
        {nullptr, "Xft.dpi:\t192\n", 2},
        {nullptr, "Xft.antialias:\t1\nXft.dpi:\t192\nXft.hinting:\t1\n", 2},
        {nullptr, "Xft.dpi: 144", 2},                   // 1.5: halves round up
        {nullptr, "Xft.dpi:\t120\n", 1},                // 1.25
        {nullptr, "Xft.dpi:\t240\n", 3},                // 2.5
        {nullptr, "Xft.dpi:\t72\n", 1},                 // never below 1
        {nullptr, "Xft.dpi:\t96\nXft.dpi:\t288\n", 3},  // the last one given
        {nullptr, "  Xft.dpi :  192  \n", 2},
        {nullptr, "Xft.dpix:\t192\n*dpi:\t192\nXft.dpi:\tlarge\n", 1},  // not Xft.dpi, no number
        {"", "Xft.dpi:\t192\n", 2},  // GDK_SCALE set empty: not a scale
        {"0", "Xft.dpi:\t192\n", 2},
        {"-2", nullptr, 1},
        {"2x", nullptr, 1},
        {"1.5", nullptr, 2},
        {"1000", nullptr, kMaxScale},
        {nullptr, "Xft.dpi:\t100000\n", kMaxScale},
    };
    for (const Case &c : cases)
        EXPECT_EQ(X11Scale(c.gdkScale, c.resources), c.scale)
            << "GDK_SCALE " << (c.gdkScale ? c.gdkScale : "(unset)") << ", resources \""
            << (c.resources ? c.resources : "(none)") << "\"";
}

TEST(DisplayScale, DivisionRoundsTowardsMinusAndPlusInfinity)
{
    struct Case {
        int value, divisor, floor, ceil;
    };
    const std::vector<Case> cases = {
        {0, 2, 0, 0},    {1, 2, 0, 1},    {2, 2, 1, 1},        {3, 2, 1, 2}, {-1, 2, -1, 0},
        {-2, 2, -1, -1}, {-3, 2, -2, -1}, {1167, 2, 583, 584}, {5, 1, 5, 5}, {-5, 3, -2, -1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FloorDiv(c.value, c.divisor), c.floor) << c.value << " / " << c.divisor;
        EXPECT_EQ(CeilDiv(c.value, c.divisor), c.ceil) << c.value << " / " << c.divisor;
    }
}

TEST(DisplayScale, LogicalCoverOfDeviceRectangles)
{
    struct Case {
        RECT device;
        int scale;
        RECT logical;
    };
    const std::vector<Case> cases = {
        {{0, 0, 10, 10}, 1, {0, 0, 10, 10}},
        {{0, 0, 10, 10}, 2, {0, 0, 5, 5}},
        {{3, 5, 4, 6}, 2, {1, 2, 2, 3}},      // one device pixel: its block
        {{1, 1, 5, 3}, 2, {0, 0, 3, 2}},      // straddling blocks: all of them
        {{-3, -1, 2, 2}, 2, {-2, -1, 1, 1}},  // reaching out of the window
        {{600, 400, 1168, 922}, 3, {200, 133, 390, 308}},
    };
    for (const Case &c : cases) {
        RECT r = LogicalCover(c.device, c.scale);
        EXPECT_TRUE(r.left == c.logical.left && r.top == c.logical.top &&
                    r.right == c.logical.right && r.bottom == c.logical.bottom)
            << "device (" << c.device.left << "," << c.device.top << ")-(" << c.device.right << ","
            << c.device.bottom << ") at scale " << c.scale << " gave (" << r.left << "," << r.top
            << ")-(" << r.right << "," << r.bottom << ")";
    }
}

TEST(DisplayScale, DeviceLengthStaysWhatAnXWindowCanBe)
{
    EXPECT_EQ(DeviceLength(584, 1), 584);
    EXPECT_EQ(DeviceLength(584, 2), 1168);
    EXPECT_EQ(DeviceLength(0, 2), 1);
    EXPECT_EQ(DeviceLength(40000, 2), 65535);
    EXPECT_EQ(DeviceLength(0x7FFFFFFF, kMaxScale), 65535);
}

}  // namespace
