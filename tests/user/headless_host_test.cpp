// The headless host itself: what it keeps of a window's pixels, and running
// a program on its own thread with input delivered in order.
#include "user_fixture.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

using kp::host::HeadlessHost;
using kp::host::Image;
using kp::host::kLostPixel;
using kptest::AllPixelsIn;
using kptest::UserTest;

class HeadlessHostTest : public UserTest {
  protected:
    // Lets the host deliver its inbox to USER without taking any message.
    static void DeliverInbox()
    {
        MSG msg;
        PeekMessageA(&msg, NULL, WM_USER + 100, WM_USER + 100, PM_NOREMOVE);
    }
};

TEST_F(HeadlessHostTest, ResizingKeepsWhatStaysInsideAndLosesWhatIsUncovered)
{
    HWND hwnd = ShownWindow(216, 131);                                         // a 200 x 100 client
    handlers()[WM_PAINT] = [](HWND, WPARAM, LPARAM) -> LRESULT { return 0; };  // leave it be
    HDC dc = GetDC(hwnd);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            SetPixel(dc, x, y, RGB(x, y, 7));
    ReleaseDC(hwnd, dc);

    struct Step {
        int width, height;
    };
    const Step steps[] = {{120, 60}, {300, 80}, {300, 300}, {50, 400}, {0, 0}, {200, 100}};
    int keptWidth = 200, keptHeight = 100;  // what still holds the pattern
    for (const Step &s : steps) {
        SCOPED_TRACE(testing::Message() << s.width << "x" << s.height);
        host.Resize(hwnd, s.width, s.height);
        DeliverInbox();
        keptWidth = std::min(keptWidth, s.width);
        keptHeight = std::min(keptHeight, s.height);
        Image image = host.Pixels(hwnd);
        ASSERT_EQ(image.width, s.width);
        ASSERT_EQ(image.height, s.height);
        for (int y = 0; y < s.height; ++y) {
            for (int x = 0; x < s.width; ++x) {
                bool kept = x < keptWidth && y < keptHeight;
                uint32_t want = kept ? (uint32_t(x) << 16 | uint32_t(y) << 8 | 7) : kLostPixel;
                ASSERT_EQ(image.At(x, y), want) << x << "," << y;
            }
        }
    }
}

// The process's peak resident set so far, in KiB.
long PeakRssKb()
{
    long kb = -1;
    if (FILE *f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, "VmHWM:", 6) == 0)
                kb = std::atol(line + 6);
        std::fclose(f);
    }
    return kb;
}

// A very wide client turned very tall needs room for the new size only, not
// for the widest by the tallest (which would be 17 GB here); and no client is
// larger than the screen (1920 x 1080) and a frame's margin: 1940 x 1100.
TEST_F(HeadlessHostTest, WideThenTallResizeKeepsTheCornerWithoutHugeBuffers)
{
    const long peakBefore = PeakRssKb();
    HWND hwnd = ShownWindow(216, 131);
    handlers()[WM_PAINT] = [](HWND, WPARAM, LPARAM) -> LRESULT { return 0; };
    HDC dc = GetDC(hwnd);
    SetPixel(dc, 5, 5, RGB(1, 2, 3));
    ReleaseDC(hwnd, dc);
    const struct {
        int width, height, heldWidth, heldHeight;
    } steps[] = {{65535, 16, 1940, 16}, {16, 65535, 16, 1100}, {200, 100, 200, 100}};
    for (const auto &s : steps) {
        host.Resize(hwnd, s.width, s.height);
        DeliverInbox();
        Image image = host.Pixels(hwnd);
        ASSERT_EQ(image.width, s.heldWidth);
        ASSERT_EQ(image.height, s.heldHeight);
        EXPECT_EQ(image.At(5, 5), 0x00010203u) << s.width << "x" << s.height;
    }
    // Each size holds at most 4 MiB of pixels, and the copies read back too.
    if (peakBefore > 0) {
        EXPECT_LT(PeakRssKb() - peakBefore, 64 * 1024) << "KiB more at the peak";
    }
}

TEST_F(HeadlessHostTest, CoverMinimizeAndHideLoseThePixels)
{
    HWND hwnd = ShownWindow();
    handlers()[WM_PAINT] = [](HWND, WPARAM, LPARAM) -> LRESULT { return 0; };
    const RECT all = {0, 0, 584, 461};
    ASSERT_TRUE(AllPixelsIn(host.Pixels(hwnd), all, 0x00FFFFFF));
    host.CoverAndUncover(hwnd, RECT{-5, 400, 100, 900});
    DeliverInbox();
    Image image = host.Pixels(hwnd);
    EXPECT_TRUE(AllPixelsIn(image, RECT{0, 400, 100, 461}, kLostPixel));
    EXPECT_TRUE(AllPixelsIn(image, RECT{100, 0, 584, 461}, 0x00FFFFFF));
    RECT update;
    EXPECT_TRUE(GetUpdateRect(hwnd, &update, FALSE)) << "USER was told";
    EXPECT_EQ(update.left, 0);
    EXPECT_EQ(update.top, 400);
    EXPECT_EQ(update.right, 100);
    EXPECT_EQ(update.bottom, 461);

    ValidateRect(hwnd, NULL);
    host.Minimize(hwnd);
    DeliverInbox();
    EXPECT_TRUE(IsIconic(hwnd));
    EXPECT_EQ(host.StateOf(hwnd), kp::host::ShowState::Minimized);
    host.Restore(hwnd);
    DeliverInbox();
    EXPECT_FALSE(IsIconic(hwnd));
    EXPECT_TRUE(AllPixelsIn(host.Pixels(hwnd), all, kLostPixel));
    EXPECT_TRUE(GetUpdateRect(hwnd, &update, FALSE));
    EXPECT_EQ(update.right, 584);
    EXPECT_EQ(update.bottom, 461);
}

TEST_F(HeadlessHostTest, PointerEventsOutsideTheClientForHiddenWindowsOrDiscardedAreDropped)
{
    HWND hwnd = ShownWindow();
    host.MouseMove(hwnd, -1, 10, 0);
    host.MouseMove(hwnd, 584, 10, 0);
    host.MouseMove(hwnd, 10, 461, 0);
    host.MouseButton(hwnd, WM_LBUTTONDOWN, 10, -1, MK_LBUTTON);
    host.MouseMove(hwnd, 583, 460, 0);  // the last pixel inside
    std::vector<UINT> got = DispatchAll();
    EXPECT_EQ(got, std::vector<UINT>{WM_MOUSEMOVE});
    host.MouseMove(hwnd, 10, 10, 0);
    host.DiscardInput();
    EXPECT_TRUE(DispatchAll().empty());
    ShowWindow(hwnd, SW_HIDE);
    host.MouseMove(hwnd, 10, 10, 0);
    EXPECT_TRUE(DispatchAll().empty());
    ShowWindow(hwnd, SW_SHOWMINIMIZED);
    host.MouseMove(hwnd, 10, 10, 0);
    EXPECT_TRUE(DispatchAll().empty());
}

TEST_F(HeadlessHostTest, PresentLogKeepsTheLatestAndCountsAll)
{
    HWND hwnd = ShownWindow();
    host.ClearPresents();
    const int total = HeadlessHost::kPresentLogSize + 10;
    HDC dc = GetDC(hwnd);
    for (int i = 0; i < total; ++i) {
        SetPixel(dc, i % 500, 0, RGB(1, 2, 3));
        DeliverInbox();  // each pump shows what changed since the last one
    }
    ReleaseDC(hwnd, dc);
    EXPECT_EQ(host.PresentCount(), total);
    std::vector<kp::host::PresentRecord> log = host.Presents();
    ASSERT_EQ(log.size(), size_t(HeadlessHost::kPresentLogSize));
    EXPECT_EQ(log.back().rect.left, (total - 1) % 500) << "the newest last";
    EXPECT_EQ(log.front().rect.left, 10 % 500) << "the oldest ones dropped";
}

// ---- A program on the host's program thread --------------------------------

std::atomic<int> movesSeen{0};
std::vector<int> moveXs;  // touched on the program thread only, read when idle

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MOUSEMOVE) {
        ++movesSeen;
        moveXs.push_back(LOWORD(lParam));
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(5);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int WINAPI CountingProgram(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = instance;
    wc.lpszClassName = "counting";
    if (!RegisterClassExA(&wc))
        return 1;
    HWND hwnd = CreateWindowExA(0, "counting", "counting", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 600, 500, NULL, NULL, instance, NULL);
    ShowWindow(hwnd, show);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0))
        DispatchMessageA(&msg);
    return static_cast<int>(msg.wParam);
}

int WINAPI EndAtOnce(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    return commandLine[0] == 'x' ? 42 : 1;
}

TEST_F(HeadlessHostTest, ProgramThreadGetsEveryInjectedEventInOrder)
{
    movesSeen = 0;
    moveXs.clear();
    ASSERT_TRUE(host.Start(CountingProgram));
    HWND hwnd = host.MainWindow();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(host.Start(CountingProgram)) << "one program at a time";
    const int count = 20000;  // more than the inbox and the queue hold at once
    for (int i = 0; i < count; ++i)
        host.MouseMove(hwnd, i % 584, 1, 0);
    ASSERT_TRUE(host.WaitIdle());
    EXPECT_EQ(movesSeen.load(), count);
    ASSERT_EQ(moveXs.size(), size_t(count));
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(moveXs[i], i % 584) << i;
    bool onProgramThread = false;
    std::thread::id testThread = std::this_thread::get_id();
    ASSERT_TRUE(host.RunOnProgramThread(
        [&] { onProgramThread = std::this_thread::get_id() != testThread; }));
    EXPECT_TRUE(onProgramThread);
    host.RequestClose(hwnd);
    EXPECT_EQ(host.Join(), 5);
    EXPECT_TRUE(host.Exited());
    EXPECT_TRUE(host.Windows().empty());
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(HeadlessHostTest, ProgramThatEndsAtOnceGivesItsExitCode)
{
    ASSERT_TRUE(host.Start(EndAtOnce, "x marks the spot"));
    EXPECT_TRUE(host.Exited());
    EXPECT_TRUE(host.WaitIdle());
    EXPECT_EQ(host.Join(), 42);
    EXPECT_EQ(host.Join(), 42) << "and keeps it";
    // A second run is a new process.
    ASSERT_TRUE(host.Start(EndAtOnce, ""));
    EXPECT_EQ(host.Join(), 1);
}

TEST_F(HeadlessHostTest, AProgramLeftRunningIsEndedWhenTheHostGoes)
{
    auto other = std::make_unique<HeadlessHost>();
    ASSERT_TRUE(other->Start(CountingProgram));
    ASSERT_NE(other->MainWindow(), nullptr);
    other.reset();  // closes the window, ends the loop, joins the thread
    kp::host::SetHost(&host);
    EXPECT_EQ(kp::host::CurrentHost(), &host);
}

}  // namespace
