// Input handling allocates nothing: moves, presses and paints take no heap
// memory in the program or the layer, and a right click at most the new
// pen's own record. Counted across the real WinMain and PaintWndProc on the
// headless host.
#include <gtest/gtest.h>

#include <kp_diagnostics.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "host/headless/headless.h"

namespace {
std::atomic<long> allocations{0};
}

extern "C" {
void *__real_malloc(size_t size);
void *__real_calloc(size_t count, size_t size);
void *__real_realloc(void *p, size_t size);
void *__real_aligned_alloc(size_t alignment, size_t size);

void *__wrap_malloc(size_t size)
{
    ++allocations;
    return __real_malloc(size);
}
void *__wrap_calloc(size_t count, size_t size)
{
    ++allocations;
    return __real_calloc(count, size);
}
void *__wrap_realloc(void *p, size_t size)
{
    ++allocations;
    return __real_realloc(p, size);
}
void *__wrap_aligned_alloc(size_t alignment, size_t size)
{
    ++allocations;
    return __real_aligned_alloc(alignment, size);
}
}

void *operator new(size_t size)
{
    ++allocations;
    if (void *p = __real_malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void *operator new[](size_t size)
{
    return operator new(size);
}
void *operator new(size_t size, const std::nothrow_t &) noexcept
{
    ++allocations;
    return __real_malloc(size ? size : 1);
}
void *operator new[](size_t size, const std::nothrow_t &) noexcept
{
    return operator new(size, std::nothrow);
}
void operator delete(void *p) noexcept
{
    std::free(p);
}
void operator delete[](void *p) noexcept
{
    std::free(p);
}
void operator delete(void *p, size_t) noexcept
{
    std::free(p);
}
void operator delete[](void *p, size_t) noexcept
{
    std::free(p);
}

namespace {

using kp::host::HeadlessHost;

// Drags back and forth across the client, with a right click every
// rightClickEvery moves. The program is let to go idle after every move, so
// that each move gets its own paint. The press is where no move goes (a
// move to where the pointer already is makes no message).
void Drag(HeadlessHost &host, HWND hwnd, int moves, int rightClickEvery)
{
    host.MouseButton(hwnd, WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
    for (int i = 0; i < moves; ++i) {
        int x = 10 + (i * 7) % 560, y = 10 + (i * 13) % 440;
        host.MouseMove(hwnd, x, y, MK_LBUTTON);
        if (rightClickEvery && i % rightClickEvery == 0) {
            host.MouseButton(hwnd, WM_RBUTTONDOWN, x, y, MK_LBUTTON | MK_RBUTTON);
            host.MouseButton(hwnd, WM_RBUTTONUP, x, y, MK_LBUTTON);
        }
        host.WaitIdle();
    }
    host.MouseButton(hwnd, WM_LBUTTONUP, 300, 200, 0);
}

TEST(Allocations, NoneForMovesAndPaintsAtMostOnePerRightClick)
{
    HeadlessHost host;
    const long beforeStart = allocations.load();
    ASSERT_TRUE(host.Start(WinMain));
    // Creating the window allocates (its queue, its title, the canvas): the
    // counters see the program thread and the layer.
    ASSERT_GT(allocations.load(), beforeStart);
    HWND hwnd = host.MainWindow();
    ASSERT_NE(hwnd, nullptr);

    // Once through every path first: anything made on first use is made now.
    Drag(host, hwnd, 50, 10);
    host.CoverAndUncover(hwnd, RECT{0, 0, 100, 100});
    ASSERT_TRUE(host.WaitIdle());
    const long presentsBefore = host.PresentCount();

    const long start = allocations.load();
    Drag(host, hwnd, 10000, 0);
    ASSERT_TRUE(host.WaitIdle());
    const long afterMoves = allocations.load();
    Drag(host, hwnd, 10000, 10);  // 1,000 right clicks among the moves
    ASSERT_TRUE(host.WaitIdle());
    const long afterClicks = allocations.load();

    EXPECT_GE(host.PresentCount() - presentsBefore, 20000) << "every move was painted";
    EXPECT_EQ(afterMoves - start, 0) << "allocations for 10,000 moves with their paints";
    EXPECT_LE(afterClicks - afterMoves, 1000) << "allocations for 10,000 moves, 1,000 right clicks";
    std::printf("allocations: %ld for 10,000 moves, %ld for 10,000 moves and 1,000 right clicks\n",
                afterMoves - start, afterClicks - afterMoves);

    host.RequestClose(hwnd);
    EXPECT_EQ(host.Join(), 0);
}

}  // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
