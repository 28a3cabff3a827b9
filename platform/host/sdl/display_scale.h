// How program pixels map to device pixels on a HiDPI screen.
//
// The program declares no DPI awareness, so, as Windows does for such a
// program, the platform lets it work in 96-DPI logical pixels (its window,
// its idea of the screen, its mouse coordinates) and shows each logical
// pixel as an s x s block of device pixels, s a whole number. A fractional
// scale becomes the nearest whole one (halves up).
//
// On Wayland the compositor tells SDL the output's scale and SDL does the
// scaling: SDL's window sizes and pointer positions are then logical
// already. On X11 the host does it: the scale comes from GDK_SCALE, or the
// Xft.dpi resource, as GTK programs take it.
#pragma once

#include <windows.h>

namespace kp::host {

constexpr int kMaxScale = 8;

// The X11 scale: GDK_SCALE when it is set to a positive number, else the
// Xft.dpi resource in resources (the RESOURCE_MANAGER string, may be null)
// divided by 96; rounded, between 1 and kMaxScale; 1 when neither says.
int X11Scale(const char *gdkScale, const char *resources);

// The value of Xft.dpi in an X resource string, 0 when it has none.
double XftDpi(const char *resources);

// Division rounding down (towards minus infinity) and up, for a positive
// divisor: pointer positions left of or above a window are negative.
int FloorDiv(int value, int divisor);
int CeilDiv(int value, int divisor);

// The logical rectangle that covers a device rectangle.
RECT LogicalCover(const RECT &device, int scale);

// The device length of a logical length, at most what an X window can be
// (65535), at least 1.
int DeviceLength(int logical, int scale);

}  // namespace kp::host
