// Windows: their rectangles and the system metrics, creation and destruction
// and the messages they send, and handles that are null, stale or made up.
#include "user_fixture.h"

#include <algorithm>

namespace {

using kptest::Logged;
using kptest::UserTest;

class WindowTest : public UserTest {};

TEST_F(WindowTest, OuterSizeIncludesTheWindows10FrameAndClientIsTheRest)
{
    ASSERT_NE(Register(), 0);
    struct Case {
        int width, height;
        LONG clientWidth, clientHeight;
    };
    const Case cases[] = {
        {600, 500, 584, 461}, {1000, 800, 984, 761}, {17, 40, 1, 1},
        {16, 39, 0, 0},       {10, 10, 0, 0},        {0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        HWND hwnd = Create(c.width, c.height);
        ASSERT_NE(hwnd, nullptr) << c.width << "x" << c.height;
        RECT outer, client;
        ASSERT_TRUE(GetWindowRect(hwnd, &outer));
        ASSERT_TRUE(GetClientRect(hwnd, &client));
        EXPECT_EQ(outer.right - outer.left, c.width);
        EXPECT_EQ(outer.bottom - outer.top, c.height);
        EXPECT_EQ(client.left, 0);
        EXPECT_EQ(client.top, 0);
        EXPECT_EQ(client.right, c.clientWidth) << c.width << "x" << c.height;
        EXPECT_EQ(client.bottom, c.clientHeight) << c.width << "x" << c.height;
        kp::host::Image pixels = host.Pixels(hwnd);
        EXPECT_EQ(pixels.width, c.clientWidth) << "the host's surface is the client area";
        EXPECT_EQ(pixels.height, c.clientHeight);
        DestroyWindow(hwnd);
    }
}

TEST_F(WindowTest, FrameFollowsTheStyle)
{
    struct Case {
        DWORD style;
        BOOL menu;
        BOOL ok;
        RECT expected;  // around the client rectangle (100, 100, 300, 200)
    };
    const Case cases[] = {
        {WS_OVERLAPPEDWINDOW, FALSE, TRUE, {92, 69, 308, 208}},
        {WS_CAPTION, FALSE, TRUE, {92, 69, 308, 208}},
        {WS_THICKFRAME, FALSE, TRUE, {92, 92, 308, 208}},
        {WS_POPUP, FALSE, TRUE, {100, 100, 300, 200}},
        {WS_OVERLAPPEDWINDOW, TRUE, FALSE, {100, 100, 300, 200}},  // no menus here
    };
    for (const Case &c : cases) {
        RECT r = {100, 100, 300, 200};
        EXPECT_EQ(AdjustWindowRectEx(&r, c.style, c.menu, 0), c.ok) << c.style;
        EXPECT_TRUE(EqualRect(&r, &c.expected))
            << c.style << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
    EXPECT_FALSE(AdjustWindowRectEx(nullptr, WS_OVERLAPPEDWINDOW, FALSE, 0));

    // The window's own style decides its client area: a popup has no frame,
    // an overlapped window always a caption.
    ASSERT_NE(Register(), 0);
    struct Made {
        DWORD style;
        LONG clientWidth, clientHeight;
    };
    for (const Made &m : {Made{WS_POPUP, 600, 500}, Made{WS_OVERLAPPED, 584, 461}}) {
        HWND hwnd = Create(600, 500, kClass, m.style);
        ASSERT_NE(hwnd, nullptr);
        RECT client;
        ASSERT_TRUE(GetClientRect(hwnd, &client));
        EXPECT_EQ(client.right, m.clientWidth) << m.style;
        EXPECT_EQ(client.bottom, m.clientHeight) << m.style;
        DestroyWindow(hwnd);
    }
}

TEST_F(WindowTest, SystemMetricsAreTheFrameAndTheHostsScreen)
{
    struct Case {
        int index, value;
    };
    const Case fixed[] = {
        {SM_CXFRAME, 4}, {SM_CYFRAME, 4}, {SM_CXPADDEDBORDER, 4}, {SM_CYCAPTION, 23}};
    for (const Case &c : fixed)
        EXPECT_EQ(GetSystemMetrics(c.index), c.value) << c.index;
    EXPECT_EQ(GetSystemMetrics(SM_CXFRAME) + GetSystemMetrics(SM_CXPADDEDBORDER), 8);
    EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFRAME), 31);

    const int screens[][2] = {{1920, 1080}, {1280, 1024}, {3840, 2160}, {640, 480}};
    for (const auto &s : screens) {
        host.SetScreenSize(s[0], s[1]);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), s[0]);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), s[1]);
        RECT desktop;
        ASSERT_TRUE(GetWindowRect(GetDesktopWindow(), &desktop));
        EXPECT_EQ(desktop.left, 0);
        EXPECT_EQ(desktop.top, 0);
        EXPECT_EQ(desktop.right, s[0]);
        EXPECT_EQ(desktop.bottom, s[1]);
        // The largest window, as Windows 10 has it: the screen and 20 pixels.
        EXPECT_EQ(GetSystemMetrics(SM_CXMAXTRACK), s[0] + 20);
        EXPECT_EQ(GetSystemMetrics(SM_CYMAXTRACK), s[1] + 20);
    }
}

TEST_F(WindowTest, TheProgramsSizesAreHeldToTheLargestWindow)
{
    // As SetWindowPos and MoveWindow do on Windows (and Wine): the window,
    // frame included, at most SM_CXMAXTRACK x SM_CYMAXTRACK; its place kept.
    HWND hwnd = ShownWindow();
    host.SetScreenSize(1280, 1024);
    const struct {
        int x, y, width, height;
        RECT window;
    } cases[] = {
        {10, 20, 30000, 30000, {10, 20, 1310, 1064}},
        {-50, 0, 65535, 400, {-50, 0, 1250, 400}},
        {0, 0, 700, 500, {0, 0, 700, 500}},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(MoveWindow(hwnd, c.x, c.y, c.width, c.height, TRUE));
        RECT r;
        ASSERT_TRUE(GetWindowRect(hwnd, &r));
        EXPECT_TRUE(EqualRect(&r, &c.window)) << c.width << "x" << c.height << " gave "
                                              << r.right - r.left << "x" << r.bottom - r.top;
    }
}

TEST_F(WindowTest, DefaultPositionIsOnTheScreenAndCaptionIsKept)
{
    ASSERT_NE(Register(), 0);
    HWND hwnd = Create();
    RECT outer;
    GetWindowRect(hwnd, &outer);
    EXPECT_GE(outer.left, 0);
    EXPECT_GE(outer.top, 0);
    EXPECT_LT(outer.left, 1920);
    EXPECT_LT(outer.top, 1080);
    char text[64] = {};
    EXPECT_EQ(GetWindowTextA(hwnd, text, sizeof(text)), 11);
    EXPECT_STREQ(text, "test window");
    EXPECT_EQ(host.TitleOf(hwnd), "test window");
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "not visible until shown";
    EXPECT_EQ(host.StateOf(hwnd), kp::host::ShowState::Hidden);
}

TEST_F(WindowTest, CreationSendsNcCreateThenCreateInsideTheCall)
{
    ASSERT_NE(Register(), 0);
    HWND seenInCreate = nullptr;
    LPVOID paramInCreate = nullptr;
    int sizeInCreate[2] = {-1, -1};
    handlers()[WM_CREATE] = [&](HWND hwnd, WPARAM, LPARAM lParam) -> LRESULT {
        seenInCreate = hwnd;
        const CREATESTRUCTA *cs = reinterpret_cast<const CREATESTRUCTA *>(lParam);
        paramInCreate = cs->lpCreateParams;
        sizeInCreate[0] = cs->cx;
        sizeInCreate[1] = cs->cy;
        // The window already exists and has its size while WM_CREATE runs.
        RECT client;
        EXPECT_TRUE(GetClientRect(hwnd, &client));
        EXPECT_EQ(client.right, 584);
        EXPECT_EQ(client.bottom, 461);
        return 0;
    };
    int marker = 0;
    HWND hwnd = CreateWindowExA(0, kClass, "t", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                600, 500, NULL, NULL, NULL, &marker);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(seenInCreate, hwnd);
    EXPECT_EQ(paramInCreate, &marker);
    EXPECT_EQ(sizeInCreate[0], 600);
    EXPECT_EQ(sizeInCreate[1], 500);

    std::vector<UINT> got = MessagesOf(hwnd);
    auto nc = std::find(got.begin(), got.end(), UINT(WM_NCCREATE));
    auto create = std::find(got.begin(), got.end(), UINT(WM_CREATE));
    ASSERT_NE(nc, got.end());
    ASSERT_NE(create, got.end());
    EXPECT_LT(nc, create) << "WM_NCCREATE comes first";
    EXPECT_EQ(CountOf(WM_CREATE), 1);
    EXPECT_EQ(CountOf(WM_DESTROY), 0);
    EXPECT_EQ(CountOf(WM_PAINT), 0) << "a window is not painted before it is shown";
}

TEST_F(WindowTest, RefusedCreationFailsAndLeavesNoWindow)
{
    ASSERT_NE(Register(), 0);
    struct Case {
        UINT message;
        LRESULT answer;
        std::vector<UINT> expected;  // what the procedure sees, in order
    };
    const Case cases[] = {
        {WM_NCCREATE, FALSE, {WM_NCCREATE, WM_NCDESTROY}},
        {WM_CREATE, -1, {WM_NCCREATE, WM_CREATE, WM_NCDESTROY}},
    };
    for (const Case &c : cases) {
        log().clear();
        handlers().clear();
        handlers()[c.message] = [&](HWND, WPARAM, LPARAM) { return c.answer; };
        HWND hwnd = Create();
        EXPECT_EQ(hwnd, nullptr) << c.message;
        ASSERT_FALSE(log().empty());
        HWND attempted = log().front().hwnd;
        EXPECT_EQ(MessagesOf(attempted), c.expected)
            << "a window that was never created gets no WM_DESTROY";
        EXPECT_FALSE(IsWindow(attempted));
        EXPECT_TRUE(host.Windows().empty());
    }
    // Other answers from WM_CREATE let creation go on.
    handlers().clear();
    handlers()[WM_CREATE] = [](HWND, WPARAM, LPARAM) -> LRESULT { return 5; };
    EXPECT_NE(Create(), nullptr);
}

TEST_F(WindowTest, DestroySendsDestroyThenNcDestroyLastAndKillsTheHandle)
{
    HWND hwnd = ShownWindow();
    ASSERT_NE(hwnd, nullptr);
    PostMessageA(hwnd, WM_USER, 0, 0);
    ASSERT_TRUE(DestroyWindow(hwnd));
    std::vector<UINT> got = MessagesOf(hwnd);
    auto destroy = std::find(got.begin(), got.end(), UINT(WM_DESTROY));
    ASSERT_NE(destroy, got.end());
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back(), UINT(WM_NCDESTROY)) << "WM_NCDESTROY is the last message";
    EXPECT_EQ(std::count(got.begin(), got.end(), UINT(WM_NCDESTROY)), 1);
    EXPECT_LT(destroy, got.end() - 1);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(host.Windows().empty());

    log().clear();
    EXPECT_TRUE(DispatchAll().empty()) << "queued messages of a destroyed window are dropped";
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_TRUE(log().empty());
}

TEST_F(WindowTest, DestroyWindowInsideDestroyIsNotRepeated)
{
    HWND hwnd = ShownWindow();
    BOOL inner = FALSE;
    handlers()[WM_DESTROY] = [&](HWND h, WPARAM, LPARAM) -> LRESULT {
        inner = DestroyWindow(h);
        return 0;
    };
    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_TRUE(inner);
    EXPECT_EQ(CountOf(WM_DESTROY), 1);
    EXPECT_EQ(CountOf(WM_NCDESTROY), 1);
}

TEST_F(WindowTest, HandlesOfDestroyedWindowsStayDeadWhenSlotsAreReused)
{
    ASSERT_NE(Register(), 0);
    HWND first = Create();
    ASSERT_TRUE(DestroyWindow(first));
    // Enough windows to go round the whole table, each destroyed again.
    for (int i = 0; i < 600; ++i) {
        HWND hwnd = Create();
        ASSERT_NE(hwnd, nullptr) << i;
        ASSERT_NE(hwnd, first) << "a new window never gets a dead window's handle";
        EXPECT_FALSE(IsWindow(first));
        ASSERT_TRUE(DestroyWindow(hwnd));
    }
}

// Every call that takes a window, given one that does not exist.
TEST_F(WindowTest, NullStaleAndMadeUpHandlesFailWithoutHarm)
{
    ASSERT_NE(Register(), 0);
    HWND stale = Create();
    ASSERT_TRUE(DestroyWindow(stale));
    HWND live = ShownWindow();
    const HWND bad[] = {nullptr, stale, reinterpret_cast<HWND>(0x12345678),
                        reinterpret_cast<HWND>(static_cast<uintptr_t>(0xFFFF)),
                        reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(live) + 1)};
    for (HWND h : bad) {
        SCOPED_TRACE(reinterpret_cast<uintptr_t>(h));
        RECT r = {1, 2, 3, 4};
        PAINTSTRUCT ps;
        char text[8] = "xx";
        EXPECT_FALSE(IsWindow(h));
        EXPECT_FALSE(IsWindowVisible(h));
        EXPECT_FALSE(IsIconic(h));
        EXPECT_FALSE(IsZoomed(h));
        EXPECT_FALSE(DestroyWindow(h));
        EXPECT_FALSE(ShowWindow(h, SW_SHOW));
        EXPECT_FALSE(GetWindowRect(h, &r));
        EXPECT_FALSE(GetClientRect(h, &r));
        EXPECT_FALSE(GetUpdateRect(h, &r, FALSE));
        EXPECT_FALSE(SetWindowPos(h, NULL, 0, 0, 10, 10, 0));
        EXPECT_FALSE(MoveWindow(h, 0, 0, 10, 10, TRUE));
        EXPECT_EQ(GetWindowTextA(h, text, sizeof(text)), 0);
        EXPECT_EQ(SendMessageA(h, WM_CLOSE, 0, 0), 0);
        EXPECT_EQ(DefWindowProcA(h, WM_CLOSE, 0, 0), 0);
        EXPECT_EQ(BeginPaint(h, &ps), nullptr);
        UpdateWindow(h);
        MSG msg;
        if (h != nullptr) {
            EXPECT_FALSE(InvalidateRect(h, NULL, TRUE));
            EXPECT_FALSE(ValidateRect(h, NULL));
            EXPECT_FALSE(PostMessageA(h, WM_USER, 0, 0));
            EXPECT_EQ(GetDC(h), nullptr);
            EXPECT_FALSE(PeekMessageA(&msg, h, 0, 0, PM_REMOVE));
            EXPECT_EQ(GetMessageA(&msg, h, 0, 0), -1);
        }
        msg.hwnd = h;
        msg.message = WM_CLOSE;
        EXPECT_EQ(DispatchMessageA(&msg), 0);
        // What a host reports about it is dropped.
        kp::user::HostMouseMove(h, 5, 5, MK_LBUTTON);
        kp::user::HostMouseButton(h, WM_LBUTTONDOWN, 5, 5, MK_LBUTTON);
        kp::user::HostExposed(h, RECT{0, 0, 10, 10});
        kp::user::HostResized(h, 10, 10);
        kp::user::HostMinimized(h);
        kp::user::HostRestored(h, 10, 10);
        kp::user::HostMaximized(h, 10, 10);
        kp::user::HostCloseRequested(h);
    }
    // Nothing of that reached the live window.
    EXPECT_TRUE(log().empty());
    EXPECT_TRUE(IsWindow(live));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    RECT client;
    GetClientRect(live, &client);
    EXPECT_EQ(client.right, 584);
}

TEST_F(WindowTest, ShowWindowReportsThePreviousVisibilityAndTellsTheHost)
{
    ASSERT_NE(Register(), 0);
    HWND hwnd = Create();
    struct Step {
        int command;
        BOOL wasVisible;
        kp::host::ShowState state;
        BOOL iconic, zoomed;
    };
    using S = kp::host::ShowState;
    const Step steps[] = {
        {SW_SHOWNORMAL, FALSE, S::Normal, FALSE, FALSE},
        {SW_SHOW, TRUE, S::Normal, FALSE, FALSE},
        {SW_MINIMIZE, TRUE, S::Minimized, TRUE, FALSE},
        {SW_RESTORE, TRUE, S::Normal, FALSE, FALSE},
        {SW_MAXIMIZE, TRUE, S::Maximized, FALSE, TRUE},
        {SW_HIDE, TRUE, S::Hidden, FALSE, TRUE},
        {SW_SHOWNORMAL, FALSE, S::Normal, FALSE, FALSE},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.command);
        EXPECT_EQ(ShowWindow(hwnd, s.command), s.wasVisible);
        EXPECT_EQ(host.StateOf(hwnd), s.state);
        EXPECT_EQ(IsIconic(hwnd), s.iconic);
        EXPECT_EQ(IsZoomed(hwnd), s.zoomed);
        EXPECT_EQ(IsWindowVisible(hwnd), s.state != S::Hidden);
    }
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 584) << "restored to its normal size";
    EXPECT_EQ(client.bottom, 461);
}

TEST_F(WindowTest, MaximizedClientIsTheScreenBelowTheCaption)
{
    host.SetScreenSize(1280, 1024);
    HWND hwnd = ShownWindow();
    ShowWindow(hwnd, SW_MAXIMIZE);
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 1280);
    EXPECT_EQ(client.bottom, 1024 - 23);
    kp::host::Image pixels = host.Pixels(hwnd);
    EXPECT_EQ(pixels.width, 1280);
    EXPECT_EQ(pixels.height, 1001);
}

TEST_F(WindowTest, StartupShowCommandIsWhatShowDefaultMeansOnce)
{
    ASSERT_NE(Register(), 0);
    host.SetStartupShowCommand(SW_SHOWMINIMIZED);
    HWND first = Create();
    ShowWindow(first, SW_SHOWDEFAULT);
    EXPECT_TRUE(IsIconic(first));
    HWND second = Create();
    ShowWindow(second, SW_SHOWDEFAULT);
    EXPECT_FALSE(IsIconic(second)) << "only the first SW_SHOWDEFAULT takes the start-up command";
    EXPECT_TRUE(IsWindowVisible(second));
}

}  // namespace
