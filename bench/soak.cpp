// Soak: the real WinMain on the headless host (1920 x 1080 screen, the
// 600 x 500 window) given ten million drawing moves and a hundred thousand
// right clicks, the pointer bouncing around the client area a few pixels a
// move, the queue running dry every 50 moves for a repaint. The resident set
// (VmRSS) and the number of live GDI objects must be the same at the end as
// at the start: nothing may grow with the input.
//
//   kp-soak [MOVES [RIGHT_CLICKS]]
// prints one summary line; exits 1 when RSS grew by more than 1 MiB, the
// object count changed, or the program did not end with 0 on close.
#include <windows.h>

#include <kp_diagnostics.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/headless/headless.h"

namespace {

long RssKb()
{
    FILE *f = std::fopen("/proc/self/status", "r");
    if (f == nullptr)
        return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmRSS:", 6) == 0)
            kb = std::atol(line + 6);
    std::fclose(f);
    return kb;
}

int LiveObjects()
{
    KpGdiCounts counts;
    KpGetGdiCounts(&counts);
    return counts.total;
}

// The pointer: moves by (3, 2) pixels, bouncing off the client's edges.
struct Bouncer {
    int width, height;
    int x = 1, y = 1, dx = 3, dy = 2;

    void Step()
    {
        if (x + dx < 0 || x + dx >= width)
            dx = -dx;
        if (y + dy < 0 || y + dy >= height)
            dy = -dy;
        x += dx;
        y += dy;
    }
};

}  // namespace

int main(int argc, char **argv)
{
    const long moves = argc > 1 ? std::atol(argv[1]) : 10000000;
    const long clicks = argc > 2 ? std::atol(argv[2]) : 100000;
    const long movesPerClick = clicks > 0 ? moves / clicks : moves + 1;
    const long warmUp = 200000;
    const long kMovesPerPaint = 50;  // moves (and their share of clicks) before the start sample

    kp::host::HeadlessHost host;
    host.SetScreenSize(1920, 1080);
    const int objectsBefore = LiveObjects();
    if (!host.Start(WinMain))
        return 1;
    HWND hwnd = host.MainWindow();
    RECT client = {0, 0, 0, 0};
    host.RunOnProgramThread([&] { GetClientRect(hwnd, &client); });
    Bouncer pointer{int(client.right), int(client.bottom)};

    auto run = [&](long count, long *clicked) {
        for (long i = 0; i < count; ++i) {
            pointer.Step();
            host.MouseMove(hwnd, pointer.x, pointer.y, MK_LBUTTON);
            if ((i + 1) % movesPerClick == 0) {
                // A right click in the middle of the drag.
                host.MouseButton(hwnd, WM_RBUTTONDOWN, pointer.x, pointer.y,
                                 MK_LBUTTON | MK_RBUTTON);
                host.MouseButton(hwnd, WM_RBUTTONUP, pointer.x, pointer.y, MK_LBUTTON);
                ++*clicked;
            }
            // Let the queue run dry now and then, as between a user's moves,
            // so that repaints come in between too.
            if ((i + 1) % kMovesPerPaint == 0)
                host.WaitIdle();
        }
        host.WaitIdle();
    };

    host.MouseButton(hwnd, WM_LBUTTONDOWN, pointer.x, pointer.y, MK_LBUTTON);
    // Until every page that the drawing touches has been touched once.
    long warmUpClicks = 0;
    run(warmUp, &warmUpClicks);
    long clicked = 0;
    const long rssStart = RssKb();
    const int objectsStart = LiveObjects();
    long rssPeak = rssStart;

    const auto t0 = std::chrono::steady_clock::now();
    long done = 0;
    const long chunk = 1000000;
    while (done < moves) {
        long n = std::min(chunk, moves - done);
        run(n, &clicked);
        done += n;
        rssPeak = std::max(rssPeak, RssKb());
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const long rssEnd = RssKb();
    const int objectsEnd = LiveObjects();
    // Proof that the moves drew: the share of the window that is not white.
    const kp::host::Image image = host.Pixels(hwnd);
    long inked = 0;
    for (uint32_t p : image.pixels)
        inked += p != 0x00FFFFFFu ? 1 : 0;
    const long presents = host.PresentCount();

    host.MouseButton(hwnd, WM_LBUTTONUP, pointer.x, pointer.y, 0);
    host.RequestClose(hwnd);
    const int exitCode = host.Join();
    const int objectsAfter = LiveObjects();

    const bool flat = rssEnd - rssStart <= 1024 && objectsEnd == objectsStart &&
                      objectsAfter == objectsBefore && exitCode == 0;
    std::printf("soak: %ld moves and %ld right clicks (after %ld warm-up moves) in %.1f s, %ld "
                "paints, %.0f%% of the window inked; RSS start %.1f MiB, end %.1f MiB, peak %.1f "
                "MiB; live GDI objects start %d, end %d, after close %d (%d before start); exit "
                "code %d: %s\n",
                done, clicked, warmUp, seconds, presents,
                image.pixels.empty() ? 0.0 : 100.0 * inked / double(image.pixels.size()),
                rssStart / 1024.0, rssEnd / 1024.0, rssPeak / 1024.0, objectsStart, objectsEnd,
                objectsAfter, objectsBefore, exitCode, flat ? "flat" : "NOT FLAT");
    return flat ? 0 : 1;
}
