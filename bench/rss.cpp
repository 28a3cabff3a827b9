// Memory: the peak resident set of the program (WinMain on the headless host
// with a 1920 x 1080 screen, after a drag over the whole client) against the
// canvas's own bytes; first in the 600 x 500 window, then maximized, when the
// host's copy of the window's pixels (a screen's worth) comes on top.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "host/headless/headless.h"

namespace {

long StatusKb(const char *field)
{
    FILE *f = std::fopen("/proc/self/status", "r");
    if (f == nullptr)
        return -1;
    char line[256];
    long kb = -1;
    size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, n) == 0 && line[n] == ':')
            kb = std::atol(line + n + 1);
    std::fclose(f);
    return kb;
}

}  // namespace

int main()
{
    const int screenW = 1920, screenH = 1080;
    kp::host::HeadlessHost host;
    host.SetScreenSize(screenW, screenH);
    const long before = StatusKb("VmRSS");
    if (!host.Start(WinMain))
        return 1;
    HWND hwnd = host.MainWindow();
    auto drag = [&](int width, int height) {
        host.MouseButton(hwnd, WM_LBUTTONDOWN, 0, 0, MK_LBUTTON);
        for (int i = 0; i < 20000; ++i)
            host.MouseMove(hwnd, (i * 37) % width, (i * 53) % height, MK_LBUTTON);
        host.WaitIdle();
    };
    drag(584, 461);
    const long peakNormal = StatusKb("VmHWM");
    host.Maximize(hwnd);
    drag(screenW, screenH - 40);
    const long peakMaximized = StatusKb("VmHWM");
    host.RequestClose(hwnd);
    if (host.Join() != 0)
        return 1;

    const double canvasMiB = double(screenW) * screenH * 4 / (1024 * 1024);
    std::printf("peak RSS with a %dx%d screen: %.1f MiB in the 600x500 window, %.1f MiB maximized "
                "(%.1f MiB before the program started); canvas %.1f MiB: %.1f and %.1f MiB over "
                "the canvas (target <= 16)\n",
                screenW, screenH, peakNormal / 1024.0, peakMaximized / 1024.0, before / 1024.0,
                canvasMiB, peakNormal / 1024.0 - canvasMiB, peakMaximized / 1024.0 - canvasMiB);
    return 0;
}
