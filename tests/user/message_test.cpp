// The message queue: order of posted and input messages, WM_PAINT last and
// once for all damage, the quit message, filters and dispatching.
#include "user_fixture.h"

namespace {

using kptest::UserTest;

class MessageTest : public UserTest {};

struct Expected {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<MSG> TakeAll(HWND filter = nullptr)
{
    std::vector<MSG> got;
    MSG msg;
    while (got.size() < 1000 && PeekMessageA(&msg, filter, 0, 0, PM_REMOVE))
        got.push_back(msg);
    return got;
}

TEST_F(MessageTest, PostedMessagesAndInputEachKeepTheirOrder)
{
    HWND hwnd = ShownWindow();
    // Input as the host reports it, and posted messages, interleaved.
    kp::user::HostMouseButton(hwnd, WM_LBUTTONDOWN, 10, 20, MK_LBUTTON);
    PostMessageA(hwnd, WM_USER + 1, 11, 0);
    kp::user::HostMouseMove(hwnd, 11, 21, MK_LBUTTON);
    kp::user::HostMouseMove(hwnd, 12, 22, MK_LBUTTON | MK_SHIFT);
    PostMessageA(hwnd, WM_USER + 2, 12, 0);
    PostMessageA(NULL, WM_USER + 3, 13, 0);  // a thread message
    kp::user::HostMouseButton(hwnd, WM_LBUTTONUP, 12, 22, 0);
    kp::user::HostMouseButton(hwnd, WM_RBUTTONDOWN, 300, 400, MK_RBUTTON);

    std::vector<MSG> got = TakeAll();
    std::vector<Expected> posted, input;
    for (const MSG &m : got) {
        if (m.message >= WM_USER)
            posted.push_back({m.message, m.wParam, m.lParam});
        else
            input.push_back({m.message, m.wParam, m.lParam});
    }
    const Expected wantPosted[] = {
        {WM_USER + 1, 11, 0}, {WM_USER + 2, 12, 0}, {WM_USER + 3, 13, 0}};
    const Expected wantInput[] = {
        {WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 20)},
        {WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(11, 21)},
        {WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, MAKELPARAM(12, 22)},
        {WM_LBUTTONUP, 0, MAKELPARAM(12, 22)},
        {WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(300, 400)},
    };
    ASSERT_EQ(posted.size(), std::size(wantPosted));
    ASSERT_EQ(input.size(), std::size(wantInput));
    for (size_t i = 0; i < posted.size(); ++i) {
        EXPECT_EQ(posted[i].message, wantPosted[i].message) << i;
        EXPECT_EQ(posted[i].wParam, wantPosted[i].wParam) << i;
    }
    for (size_t i = 0; i < input.size(); ++i) {
        EXPECT_EQ(input[i].message, wantInput[i].message) << i;
        EXPECT_EQ(input[i].wParam, wantInput[i].wParam) << i;
        EXPECT_EQ(input[i].lParam, wantInput[i].lParam) << i;
    }
    for (const MSG &m : got)
        EXPECT_EQ(m.hwnd, m.message == WM_USER + 3 ? nullptr : hwnd);
}

TEST_F(MessageTest, InputCarriesScreenPositionAndClientCoordinates)
{
    HWND hwnd = ShownWindow();
    RECT outer;
    GetWindowRect(hwnd, &outer);
    kp::user::HostMouseMove(hwnd, 100, 200, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_MOUSEMOVE));
    EXPECT_EQ(LOWORD(msg.lParam), 100);
    EXPECT_EQ(HIWORD(msg.lParam), 200);
    EXPECT_EQ(msg.pt.x, outer.left + 8 + 100) << "the message's point is in screen coordinates";
    EXPECT_EQ(msg.pt.y, outer.top + 31 + 200);
}

TEST_F(MessageTest, PaintComesOnlyWhenNothingElseWaitsAndOnceForAllDamage)
{
    HWND hwnd = ShownWindow();
    const RECT pieces[] = {{10, 10, 20, 20}, {300, 5, 310, 6}, {50, 400, 60, 450}};
    InvalidateRect(hwnd, &pieces[0], FALSE);
    PostMessageA(hwnd, WM_USER, 0, 0);
    InvalidateRect(hwnd, &pieces[1], FALSE);
    kp::user::HostMouseMove(hwnd, 1, 1, 0);
    InvalidateRect(hwnd, &pieces[2], FALSE);
    PostMessageA(hwnd, WM_USER + 1, 0, 0);

    RECT painted = {-1, -1, -1, -1};
    handlers()[WM_PAINT] = [&](HWND h, WPARAM, LPARAM) -> LRESULT {
        PAINTSTRUCT ps;
        BeginPaint(h, &ps);
        painted = ps.rcPaint;
        EndPaint(h, &ps);
        return 0;
    };
    std::vector<UINT> got = DispatchAll();
    const std::vector<UINT> want = {WM_USER, WM_MOUSEMOVE, WM_USER + 1, WM_PAINT};
    EXPECT_EQ(got, want);
    EXPECT_EQ(painted.left, 10);
    EXPECT_EQ(painted.top, 5);
    EXPECT_EQ(painted.right, 310);
    EXPECT_EQ(painted.bottom, 450);
}

TEST_F(MessageTest, PaintKeepsComingUntilTheWindowIsValidated)
{
    HWND hwnd = ShownWindow();
    InvalidateRect(hwnd, NULL, FALSE);
    handlers()[WM_PAINT] = [](HWND, WPARAM, LPARAM) -> LRESULT { return 0; };  // no BeginPaint
    MSG msg;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) << i;
        EXPECT_EQ(msg.message, UINT(WM_PAINT));
        DispatchMessageA(&msg);
    }
    EXPECT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE)) << "a peek without removal too";
    ValidateRect(hwnd, NULL);
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
}

TEST_F(MessageTest, QuitComesAfterPostedMessagesWithItsCode)
{
    HWND hwnd = ShownWindow();
    InvalidateRect(hwnd, NULL, FALSE);
    PostMessageA(hwnd, WM_USER, 1, 0);
    PostQuitMessage(7);
    PostMessageA(hwnd, WM_USER + 1, 2, 0);
    MSG msg;
    ASSERT_EQ(GetMessageA(&msg, NULL, 0, 0), TRUE);
    EXPECT_EQ(msg.message, UINT(WM_USER));
    ASSERT_EQ(GetMessageA(&msg, NULL, 0, 0), TRUE);
    EXPECT_EQ(msg.message, UINT(WM_USER + 1));
    EXPECT_EQ(GetMessageA(&msg, NULL, 0, 0), FALSE) << "WM_QUIT ends the loop";
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, WPARAM(7));
    EXPECT_EQ(msg.hwnd, nullptr);
    // The quit request is used up; the pending paint is still there.
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_PAINT));
}

TEST_F(MessageTest, QuitCodesPassThroughUnchanged)
{
    const int codes[] = {0, 1, -1, 255, 0x7FFFFFFF};
    for (int code : codes) {
        PostQuitMessage(code);
        MSG msg;
        EXPECT_EQ(GetMessageA(&msg, NULL, 0, 0), FALSE);
        EXPECT_EQ(static_cast<int>(msg.wParam), code);
    }
}

TEST_F(MessageTest, GetMessageWaitsForInputThatTheHostDeliversInOrder)
{
    HWND hwnd = ShownWindow();
    // Injected through the host's inbox: GetMessageA has to ask the host.
    host.MouseButton(hwnd, WM_LBUTTONDOWN, 5, 6, MK_LBUTTON);
    host.MouseMove(hwnd, 7, 8, MK_LBUTTON);
    host.MouseMove(hwnd, 9000, 8, MK_LBUTTON);  // outside the client: a window system drops it
    host.RequestClose(hwnd);
    MSG msg;
    ASSERT_EQ(GetMessageA(&msg, NULL, 0, 0), TRUE);
    EXPECT_EQ(msg.message, UINT(WM_LBUTTONDOWN));
    ASSERT_EQ(GetMessageA(&msg, NULL, 0, 0), TRUE);
    EXPECT_EQ(msg.message, UINT(WM_MOUSEMOVE));
    EXPECT_EQ(msg.lParam, MAKELPARAM(7, 8));
    ASSERT_EQ(GetMessageA(&msg, NULL, 0, 0), TRUE);
    EXPECT_EQ(msg.message, UINT(WM_SYSCOMMAND));
    EXPECT_EQ(msg.wParam & 0xFFF0, WPARAM(SC_CLOSE));
    DispatchMessageA(&msg);
    EXPECT_FALSE(IsWindow(hwnd)) << "the default handling of a close destroys the window";
    EXPECT_EQ(CountOf(WM_CLOSE), 1);
    EXPECT_EQ(CountOf(WM_DESTROY), 1);
}

TEST_F(MessageTest, FiltersSelectByWindowAndRangeAndLeaveTheRest)
{
    HWND a = ShownWindow();
    HWND b = ShownWindow();
    PostMessageA(a, WM_USER + 1, 0, 0);
    PostMessageA(b, WM_USER + 2, 0, 0);
    PostMessageA(a, WM_USER + 3, 0, 0);
    PostMessageA(NULL, WM_USER + 4, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, b, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 2));
    ASSERT_TRUE(PeekMessageA(&msg, NULL, WM_USER + 3, WM_USER + 4, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 3));
    ASSERT_TRUE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 4)) << "(HWND)-1 asks for thread messages";
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 1));
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_USER + 1)) << "PM_NOREMOVE left it there";
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
}

TEST_F(MessageTest, DispatchCallsTheWindowsProcedureAndSendBypassesTheQueue)
{
    HWND hwnd = ShownWindow();
    handlers()[WM_USER] = [](HWND, WPARAM w, LPARAM l) -> LRESULT { return w * 100 + l; };
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 4, 2), 402);
    EXPECT_EQ(CountOf(WM_USER), 1) << "sent at once";
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE));
    PostMessageA(hwnd, WM_USER, 5, 3);
    EXPECT_EQ(CountOf(WM_USER), 1) << "posted: not yet";
    ASSERT_TRUE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(DispatchMessageA(&msg), 503);
    EXPECT_EQ(CountOf(WM_USER), 2);
    EXPECT_FALSE(TranslateMessage(&msg)) << "a mouse or user message is not translated";
}

}  // namespace
