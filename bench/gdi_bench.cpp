// GDI on a screen-sized canvas: LineTo per pen width, and the copy of a
// client area against memcpy of the same bytes.
#include <benchmark/benchmark.h>

#include <windows.h>

#include <cstring>
#include <random>
#include <vector>

#include "gdi/gdi_internal.h"
#include "gdi_fixture.h"

namespace {

using kptest::Canvas;

constexpr int kScreenW = 1920, kScreenH = 1080;

// A random walk of segments minLen..maxLen pixels long that stays on the
// canvas, precomputed so that only LineTo is timed.
std::vector<POINT> RandomWalk(int minLen, int maxLen, size_t count)
{
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> angle(0, 6.283185307179586);
    std::uniform_int_distribution<int> len(minLen, maxLen);
    std::vector<POINT> pts;
    double x = kScreenW / 2.0, y = kScreenH / 2.0;
    while (pts.size() < count) {
        double a = angle(rng), l = len(rng);
        double nx = x + l * std::cos(a), ny = y + l * std::sin(a);
        if (nx < 0 || ny < 0 || nx >= kScreenW || ny >= kScreenH)
            continue;
        x = nx;
        y = ny;
        pts.push_back({LONG(x), LONG(y)});
    }
    return pts;
}

void LineToBench(benchmark::State &state, int minLen, int maxLen)
{
    const int width = int(state.range(0));
    Canvas canvas(kScreenW, kScreenH);
    HPEN pen = CreatePen(PS_SOLID, width, RGB(200, 30, 40));
    SelectObject(canvas.dc(), pen);
    const std::vector<POINT> walk = RandomWalk(minLen, maxLen, 1 << 14);
    MoveToEx(canvas.dc(), walk[0].x, walk[0].y, NULL);
    size_t i = 0;
    double pixels = 0;
    for (auto _ : state) {
        const POINT &p = walk[i];
        LineTo(canvas.dc(), p.x, p.y);
        const POINT &q = walk[i == 0 ? walk.size() - 1 : i - 1];
        pixels += std::max(std::abs(p.x - q.x), std::abs(p.y - q.y));
        i = (i + 1) % walk.size();
    }
    state.counters["px/s"] = benchmark::Counter(pixels, benchmark::Counter::kIsRate);
    SelectObject(canvas.dc(), GetStockObject(BLACK_PEN));
    DeleteObject(pen);
}

void BM_LineToShort(benchmark::State &state)
{
    LineToBench(state, 1, 16);
}
BENCHMARK(BM_LineToShort)->DenseRange(0, 9);

void BM_LineToLong(benchmark::State &state)
{
    LineToBench(state, 100, 400);
}
BENCHMARK(BM_LineToLong)->DenseRange(0, 9);

// Exactly 16 pixels along the major axis, in every direction.
void BM_LineTo16(benchmark::State &state)
{
    const int width = int(state.range(0));
    Canvas canvas(kScreenW, kScreenH);
    HPEN pen = CreatePen(PS_SOLID, width, RGB(0, 0, 0));
    SelectObject(canvas.dc(), pen);
    // Eight steps that return to the start, so the walk stays on the canvas.
    const POINT steps[] = {{16, 0},  {0, 16},    {-16, 0}, {0, -16},
                           {16, 16}, {-16, -16}, {16, -9}, {-16, 9}};
    int x = 900, y = 500, k = 0;
    MoveToEx(canvas.dc(), x, y, NULL);
    for (auto _ : state) {
        x += steps[k].x;
        y += steps[k].y;
        k = (k + 1) & 7;
        LineTo(canvas.dc(), x, y);
    }
    SelectObject(canvas.dc(), GetStockObject(BLACK_PEN));
    DeleteObject(pen);
}
BENCHMARK(BM_LineTo16)->Arg(0)->Arg(1)->Arg(5)->Arg(9);

// WM_PAINT's copy of a whole client area from the canvas to the window's
// pixels, all of it (copy tracking off: what the first copy costs), against
// memcpy of the same rows.
void BM_BlitClient(benchmark::State &state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    Canvas canvas(kScreenW, kScreenH);
    kp::gdi::WindowSurface window;
    window.Resize(w, h);
    window.SetCopyTracking(false);
    RECT all = {0, 0, w, h};
    for (auto _ : state) {
        HDC dc = kp::gdi::CreateWindowDC(&window, &all, 1);
        BitBlt(dc, 0, 0, w, h, canvas.dc(), 0, 0, SRCCOPY);
        kp::gdi::ReleaseWindowDC(dc);
        window.ClearDamage();
        benchmark::DoNotOptimize(window.Pixels().pixels);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * w * h * 4);
}
BENCHMARK(BM_BlitClient)->Args({584, 461})->Args({1920, 1080});

// A move as the program makes it: a 16-pixel segment on the canvas, then the
// whole client copied to the window, which copies only the segment.
void BM_SegmentThenBlitClient(benchmark::State &state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    Canvas canvas(kScreenW, kScreenH);
    kp::gdi::WindowSurface window;
    window.Resize(w, h);
    RECT all = {0, 0, w, h};
    const POINT steps[] = {{16, 0}, {0, 16}, {-16, 0}, {0, -16}};
    int x = w / 2, y = h / 2, k = 0;
    MoveToEx(canvas.dc(), x, y, NULL);
    for (auto _ : state) {
        x += steps[k].x;
        y += steps[k].y;
        k = (k + 1) & 3;
        LineTo(canvas.dc(), x, y);
        HDC dc = kp::gdi::CreateWindowDC(&window, &all, 1);
        BitBlt(dc, 0, 0, w, h, canvas.dc(), 0, 0, SRCCOPY);
        kp::gdi::ReleaseWindowDC(dc);
        window.ClearDamage();
        benchmark::DoNotOptimize(window.Pixels().pixels);
    }
}
BENCHMARK(BM_SegmentThenBlitClient)->Args({584, 461})->Args({3840, 2137});

void BM_MemcpyClient(benchmark::State &state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    std::vector<uint32_t> src(size_t(kScreenW) * kScreenH, 0x00FFFFFF);
    std::vector<uint32_t> dst(size_t(w) * h);
    for (auto _ : state) {
        for (int y = 0; y < h; ++y)
            std::memcpy(dst.data() + size_t(y) * w, src.data() + size_t(y) * kScreenW,
                        size_t(w) * 4);
        benchmark::DoNotOptimize(dst.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * w * h * 4);
}
BENCHMARK(BM_MemcpyClient)->Args({584, 461})->Args({1920, 1080});

}  // namespace

BENCHMARK_MAIN();
