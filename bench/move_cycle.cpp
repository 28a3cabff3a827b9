// The move cycle of a drag, timed: a WM_MOUSEMOVE posted and dispatched to the
// program's window procedure (one segment drawn, the client invalidated),
// then the WM_PAINT that follows when the queue is empty (the client copied
// from the canvas and shown). Written against Win32 alone, so that the same
// source runs on Windows (under Wine) and on the platform layer.
//
//   move-cycle LABEL WIDTH HEIGHT CYCLES
// prints, as Google Benchmark JSON, the median time per cycle of seven runs
// for a client area of WIDTH x HEIGHT.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "../app/wndproc.h"

namespace {

// Posts one move and handles everything that follows it, paint included.
void Cycle(HWND hwnd, int x, int y)
{
    PostMessageA(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

double RunNs(HWND hwnd, int width, int height, int cycles)
{
    // A walk around an ellipse inside the client, about 10 pixels a step.
    const double cx = width / 2.0, cy = height / 2.0, rx = width * 0.4, ry = height * 0.4;
    const int steps = 180;
    std::vector<POINT> path(steps);
    for (int i = 0; i < steps; ++i) {
        double a = 6.283185307179586 * i / steps;
        path[i] = {LONG(cx + rx * __builtin_cos(a)), LONG(cy + ry * __builtin_sin(a))};
    }
    SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(path[0].x, path[0].y));
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < cycles; ++i) {
        const POINT &p = path[i % steps];
        Cycle(hwnd, p.x, p.y);
    }
    auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(end - start).count() / cycles;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int)
{
    char label[64] = "move_cycle";
    int width = 584, height = 461, cycles = 20000;
    std::sscanf(cmdLine, "%63s %d %d %d", label, &width, &height, &cycles);

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = PaintWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    wc.lpszClassName = "paint";
    if (!RegisterClassExA(&wc))
        return 1;
    HWND hwnd = CreateWindowExA(0, "paint", "Kelvane Paint", WS_OVERLAPPEDWINDOW, 0, 0, 600, 500,
                                NULL, NULL, instance, NULL);
    if (hwnd == NULL)
        return 1;
    // Size the window so that its client area is width x height.
    RECT outer, client;
    GetWindowRect(hwnd, &outer);
    GetClientRect(hwnd, &client);
    MoveWindow(hwnd, 0, 0, width + (outer.right - outer.left) - client.right,
               height + (outer.bottom - outer.top) - client.bottom, FALSE);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    UpdateWindow(hwnd);
    GetClientRect(hwnd, &client);

    RunNs(hwnd, client.right, client.bottom, cycles / 10);  // warm up
    std::vector<double> runs;
    for (int i = 0; i < 7; ++i)
        runs.push_back(RunNs(hwnd, client.right, client.bottom, cycles));
    std::sort(runs.begin(), runs.end());

    std::printf("{\"benchmarks\": [{\"name\": \"%s\", \"run_name\": \"%s\", \"aggregate_name\": "
                "\"median\", \"real_time\": %.1f, \"time_unit\": \"ns\", \"client\": \"%ldx%ld\", "
                "\"min\": %.1f, \"max\": %.1f}]}\n",
                label, label, runs[3], long(client.right), long(client.bottom), runs[0], runs[6]);
    std::fflush(stdout);
    DestroyWindow(hwnd);
    return 0;
}
