// The floor clients' one-pixel line: Bresenham from (x0, y0) towards (x1, y1),
// the end point excluded, each pixel handed to plot(x, y).
#pragma once

#include <cstdlib>

template <class Plot> void Bresenham(int x0, int y0, int x1, int y1, Plot plot)
{
    int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx - dy;
    while (x0 != x1 || y0 != y1) {
        plot(x0, y0);
        int e2 = 2 * err;
        if (e2 > -dy) {
            err -= dy;
            x0 += sx;
        }
        if (e2 < dx) {
            err += dx;
            y0 += sy;
        }
    }
}
