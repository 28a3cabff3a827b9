// The program's start and end: the window it opens, how it is shown, and
// that closing it ends the program with 0 and gives everything back.
#include "program_fixture.h"

namespace {

using kp::host::ShowState;
using kptest::CanvasModel;
using kptest::ProgramTest;
using kptest::ShowsCanvas;

class StartupTest : public ProgramTest {};

TEST_F(StartupTest, WindowMapsWhiteWithTheWindows10Client)
{
    Launch();
    EXPECT_EQ(host.TitleOf(hwnd), "Kelvane Paint");
    EXPECT_EQ(host.StateOf(hwnd), ShowState::Normal);
    EXPECT_EQ(host.Windows().size(), 1u) << "one window";
    kp::host::Image image = Pixels();
    EXPECT_EQ(image.width, 584);
    EXPECT_EQ(image.height, 461);
    EXPECT_TRUE(ShowsCanvas(image, CanvasModel(1920, 1080)));

    RECT outer = {}, client = {};
    BOOL visible = FALSE;
    ASSERT_TRUE(host.RunOnProgramThread([&] {
        GetWindowRect(hwnd, &outer);
        GetClientRect(hwnd, &client);
        visible = IsWindowVisible(hwnd);
    }));
    EXPECT_EQ(outer.right - outer.left, 600);
    EXPECT_EQ(outer.bottom - outer.top, 500);
    EXPECT_EQ(client.right, 584);
    EXPECT_EQ(client.bottom, 461);
    EXPECT_TRUE(visible);

    // Painted once, at once, before the loop: by UpdateWindow.
    std::vector<kp::host::PresentRecord> presents = host.Presents();
    ASSERT_EQ(presents.size(), 1u);
    EXPECT_EQ(presents[0].rect.left, 0);
    EXPECT_EQ(presents[0].rect.top, 0);
    EXPECT_EQ(presents[0].rect.right, 584);
    EXPECT_EQ(presents[0].rect.bottom, 461);

    // While it runs it holds its drawing state: one memory DC with one
    // bitmap and one pen of its own, and no window DC.
    KpGdiCounts now = GdiCounts();
    EXPECT_EQ(now.memoryDcs, CountsBefore().memoryDcs + 1);
    EXPECT_EQ(now.bitmaps, CountsBefore().bitmaps + 1);
    EXPECT_EQ(now.pens, CountsBefore().pens + 1);
    EXPECT_EQ(now.brushes, CountsBefore().brushes);
    EXPECT_EQ(now.dcs, CountsBefore().dcs);
    CloseAndCheck();
}

TEST_F(StartupTest, CloseEndsTheProgramWithZeroAndReleasesEverything)
{
    Launch();
    Press(10, 10);
    Move(100, 50);
    RightClick(100, 50);
    Move(200, 80);
    CloseAndCheck();
    EXPECT_TRUE(host.Windows().empty());
}

TEST_F(StartupTest, CloseInTheMiddleOfADragOrMinimizedStillEndsCleanly)
{
    struct Case {
        const char *what;
        bool minimize;
    };
    const Case cases[] = {{"during a drag", false}, {"while minimized", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Launch();
        Press(30, 30);
        Move(60, 90);
        if (c.minimize) {
            host.Minimize(hwnd);
            ASSERT_TRUE(host.WaitIdle());
            EXPECT_EQ(host.StateOf(hwnd), ShowState::Minimized);
        }
        CloseAndCheck();
    }
}

TEST_F(StartupTest, StartupShowCommandIsObeyed)
{
    struct Case {
        int command;
        ShowState state;
        int width, height;  // the client size that the host shows
    };
    const Case cases[] = {
        {SW_SHOWNORMAL, ShowState::Normal, 584, 461},
        {SW_SHOWMINIMIZED, ShowState::Minimized, 584, 461},
        {SW_SHOWMAXIMIZED, ShowState::Maximized, 1920, 1080 - 23},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.command);
        Launch(1920, 1080, c.command);
        EXPECT_EQ(host.StateOf(hwnd), c.state);
        BOOL iconic = FALSE, zoomed = FALSE;
        host.RunOnProgramThread([&] {
            iconic = IsIconic(hwnd);
            zoomed = IsZoomed(hwnd);
        });
        EXPECT_EQ(iconic, c.state == ShowState::Minimized);
        EXPECT_EQ(zoomed, c.state == ShowState::Maximized);
        if (c.state == ShowState::Minimized) {
            host.Restore(hwnd);
            ASSERT_TRUE(host.WaitIdle());
        }
        kp::host::Image image = Pixels();
        EXPECT_EQ(image.width, c.width);
        EXPECT_EQ(image.height, c.height);
        EXPECT_TRUE(ShowsCanvas(image, CanvasModel(1920, 1080)));
        CloseAndCheck();
    }
}

TEST_F(StartupTest, CommandLineChangesNothing)
{
    host.SetScreenSize(1920, 1080);
    ASSERT_TRUE(host.Start(WinMain, "--size 10x10 -maximized /x file.kpt"));
    hwnd = host.MainWindow();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(host.StateOf(hwnd), ShowState::Normal);
    kp::host::Image image = Pixels();
    EXPECT_EQ(image.width, 584);
    EXPECT_EQ(image.height, 461);
    EXPECT_TRUE(ShowsCanvas(image, CanvasModel(1920, 1080)));
    CloseAndCheck();
}

// A program whose class name is already taken: the class cannot be
// registered, and the program ends at once with 0, showing nothing.
LRESULT CALLBACK SquatterProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int WINAPI SquatThenRun(HINSTANCE instance, HINSTANCE prev, LPSTR commandLine, int show)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = SquatterProc;
    wc.lpszClassName = "paint";
    if (RegisterClassExA(&wc) == 0)
        return 99;
    return WinMain(instance, prev, commandLine, show);
}

TEST_F(StartupTest, UnregistrableClassEndsTheProgramWithZeroShowingNothing)
{
    ASSERT_TRUE(host.Start(SquatThenRun));
    EXPECT_EQ(host.Join(), 0);
    EXPECT_EQ(host.PresentCount(), 0);
    KpGdiCounts after;
    KpGetGdiCounts(&after);
    EXPECT_EQ(after.total, CountsBefore().total);
}

}  // namespace
