// Painting: the update region, the erase request, UpdateWindow, BeginPaint
// and EndPaint, and the default handling of WM_ERASEBKGND and WM_CLOSE.
#include "user_fixture.h"

#include "gdi/surface.h"
#include "kp_diagnostics.h"

namespace {

using kp::host::Image;
using kp::host::kLostPixel;
using kptest::AllPixelsIn;
using kptest::UserTest;

constexpr uint32_t kWhite = 0x00FFFFFF;
constexpr uint32_t kBlack = 0x00000000;

class PaintTest : public UserTest {
  protected:
    // WM_PAINT that fills the whole client with a solid colour: the DC's
    // clipping decides what changes.
    void PaintSolid(COLORREF colour)
    {
        handlers()[WM_PAINT] = [this, colour](HWND h, WPARAM, LPARAM) -> LRESULT {
            PAINTSTRUCT ps;
            HDC hdc = BeginPaint(h, &ps);
            lastPaint = ps;
            RECT all = {0, 0, 10000, 10000};
            HBRUSH brush = CreateSolidBrush(colour);
            FillRect(hdc, &all, brush);
            DeleteObject(brush);
            EndPaint(h, &ps);
            return 0;
        };
    }

    PAINTSTRUCT lastPaint = {};
};

TEST_F(PaintTest, ShowingPaintsTheWholeClientWithTheClassBrush)
{
    ASSERT_NE(Register(kClass, (HBRUSH)GetStockObject(BLACK_BRUSH)), 0);
    HWND hwnd = Create();
    EXPECT_TRUE(AllPixelsIn(host.Pixels(hwnd), RECT{0, 0, 584, 461}, kLostPixel))
        << "nothing is painted before the window is shown";
    ShowWindow(hwnd, SW_SHOWNORMAL);
    EXPECT_EQ(CountOf(WM_PAINT), 0) << "ShowWindow only invalidates";
    UpdateWindow(hwnd);
    EXPECT_EQ(CountOf(WM_PAINT), 1) << "UpdateWindow paints at once, without the queue";
    EXPECT_EQ(CountOf(WM_ERASEBKGND), 1);
    EXPECT_TRUE(AllPixelsIn(host.Pixels(hwnd), RECT{0, 0, 584, 461}, kBlack));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) << "and leaves it valid";
    std::vector<kp::host::PresentRecord> presents = host.Presents();
    ASSERT_EQ(presents.size(), 1u);
    EXPECT_EQ(presents[0].hwnd, hwnd);
    EXPECT_EQ(presents[0].rect.right, 584);
    EXPECT_EQ(presents[0].rect.bottom, 461);
}

TEST_F(PaintTest, UpdateWindowSendsNothingWhenValidOrHidden)
{
    ASSERT_NE(Register(), 0);
    HWND hidden = Create();
    InvalidateRect(hidden, NULL, TRUE);
    UpdateWindow(hidden);
    EXPECT_EQ(CountOf(WM_PAINT), 0) << "a hidden window is not painted";
    HWND shown = ShownWindow();
    EXPECT_TRUE(UpdateWindow(shown));
    EXPECT_EQ(CountOf(WM_PAINT), 0) << "nothing to paint";
}

TEST_F(PaintTest, EraseHappensOnlyWhenSomeInvalidationAskedForIt)
{
    HWND hwnd = ShownWindow();
    const RECT a = {0, 0, 5, 5}, b = {50, 60, 70, 80};
    struct Case {
        const char *what;
        std::function<void()> damage;
        bool erased;
    };
    const Case cases[] = {
        {"FALSE", [&] { InvalidateRect(hwnd, &a, FALSE); }, false},
        {"TRUE", [&] { InvalidateRect(hwnd, &a, TRUE); }, true},
        {"whole client, FALSE", [&] { InvalidateRect(hwnd, NULL, FALSE); }, false},
        {"FALSE then TRUE",
         [&] {
             InvalidateRect(hwnd, &a, FALSE);
             InvalidateRect(hwnd, &b, TRUE);
         },
         true},
        {"TRUE then FALSE",
         [&] {
             InvalidateRect(hwnd, &a, TRUE);
             InvalidateRect(hwnd, &b, FALSE);
         },
         true},
        {"TRUE, validated, then FALSE",
         [&] {
             InvalidateRect(hwnd, &a, TRUE);
             ValidateRect(hwnd, NULL);
             InvalidateRect(hwnd, &b, FALSE);
         },
         false},
        {"TRUE outside the client",
         [&] {
             RECT off = {700, 700, 800, 800};
             InvalidateRect(hwnd, &off, TRUE);
             InvalidateRect(hwnd, &b, FALSE);
         },
         false},
    };
    for (const Case &c : cases) {
        log().clear();
        c.damage();
        DispatchAll();
        EXPECT_EQ(CountOf(WM_PAINT), 1) << c.what;
        EXPECT_EQ(CountOf(WM_ERASEBKGND), c.erased ? 1 : 0) << c.what;
    }
}

TEST_F(PaintTest, BeginPaintErasesWithItsOwnDcThenValidates)
{
    HWND hwnd = ShownWindow();
    HDC eraseDc = nullptr;
    bool eraseBeforeBeginPaintReturned = false;
    bool inBeginPaint = false;
    handlers()[WM_ERASEBKGND] = [&](HWND h, WPARAM w, LPARAM l) -> LRESULT {
        eraseDc = reinterpret_cast<HDC>(w);
        eraseBeforeBeginPaintReturned = inBeginPaint;
        return DefWindowProcA(h, WM_ERASEBKGND, w, l);
    };
    const RECT damage = {20, 30, 40, 50};
    InvalidateRect(hwnd, &damage, TRUE);
    PAINTSTRUCT ps;
    inBeginPaint = true;
    HDC hdc = BeginPaint(hwnd, &ps);
    inBeginPaint = false;
    EXPECT_TRUE(eraseBeforeBeginPaintReturned);
    EXPECT_EQ(eraseDc, hdc);
    EXPECT_EQ(ps.hdc, hdc);
    EXPECT_FALSE(ps.fErase) << "the default handling erased";
    EXPECT_EQ(ps.rcPaint.left, 20);
    EXPECT_EQ(ps.rcPaint.top, 30);
    EXPECT_EQ(ps.rcPaint.right, 40);
    EXPECT_EQ(ps.rcPaint.bottom, 50);
    RECT update;
    EXPECT_FALSE(GetUpdateRect(hwnd, &update, FALSE)) << "BeginPaint validated the window";
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE));
    EXPECT_TRUE(EndPaint(hwnd, &ps));

    // An erase that the procedure declines leaves fErase set for the painter.
    handlers()[WM_ERASEBKGND] = [](HWND, WPARAM, LPARAM) -> LRESULT { return 0; };
    InvalidateRect(hwnd, &damage, TRUE);
    BeginPaint(hwnd, &ps);
    EXPECT_TRUE(ps.fErase);
    EndPaint(hwnd, &ps);
}

TEST_F(PaintTest, AllDamageMergesIntoOneRegionAndPaintingIsClippedToIt)
{
    ASSERT_NE(Register(kClass, (HBRUSH)GetStockObject(BLACK_BRUSH)), 0);
    HWND hwnd = ShownWindow();
    ASSERT_TRUE(AllPixelsIn(host.Pixels(hwnd), RECT{0, 0, 584, 461}, kBlack));
    PaintSolid(RGB(255, 255, 255));
    const RECT pieces[] = {{10, 10, 20, 20}, {100, 200, 130, 210}, {570, 450, 600, 500}};
    for (const RECT &r : pieces)
        InvalidateRect(hwnd, &r, FALSE);
    host.ClearPresents();
    std::vector<UINT> got = DispatchAll();
    EXPECT_EQ(got, std::vector<UINT>{WM_PAINT}) << "one WM_PAINT for all three";
    EXPECT_EQ(lastPaint.rcPaint.left, 10);
    EXPECT_EQ(lastPaint.rcPaint.top, 10);
    EXPECT_EQ(lastPaint.rcPaint.right, 584) << "clipped to the client";
    EXPECT_EQ(lastPaint.rcPaint.bottom, 461);

    Image image = host.Pixels(hwnd);
    RECT clipped[] = {pieces[0], pieces[1], {570, 450, 584, 461}};
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            bool inside = false;
            for (const RECT &r : clipped)
                inside = inside || (x >= r.left && x < r.right && y >= r.top && y < r.bottom);
            ASSERT_EQ(image.At(x, y), inside ? kWhite : kBlack) << x << "," << y;
        }
    }
    std::vector<kp::host::PresentRecord> presents = host.Presents();
    ASSERT_EQ(presents.size(), 1u);
    EXPECT_EQ(presents[0].rect.left, 10);
    EXPECT_EQ(presents[0].rect.right, 584);
}

TEST_F(PaintTest, DefaultEraseFillsOnlyTheDamageWithTheClassBrush)
{
    struct Case {
        COLORREF brushColour;
        uint32_t pixel;
    };
    const Case cases[] = {
        {RGB(255, 255, 255), kWhite}, {RGB(0, 0, 0), kBlack}, {RGB(10, 20, 30), 0x000A141E}};
    for (const Case &c : cases) {
        kp::user::ResetForNewProcess();
        HBRUSH brush = CreateSolidBrush(c.brushColour);
        ASSERT_NE(Register(kClass, brush), 0);
        HWND hwnd = ShownWindow();
        ASSERT_TRUE(AllPixelsIn(host.Pixels(hwnd), RECT{0, 0, 584, 461}, c.pixel));
        // The host loses a rectangle's pixels; the default paint handling
        // erases exactly that with the brush.
        host.CoverAndUncover(hwnd, RECT{100, 100, 200, 150});
        host.Scribble(hwnd, RECT{300, 300, 310, 310}, 0x00123456);
        DispatchAll();
        Image image = host.Pixels(hwnd);
        EXPECT_TRUE(AllPixelsIn(image, RECT{100, 100, 200, 150}, c.pixel));
        EXPECT_TRUE(AllPixelsIn(image, RECT{300, 300, 310, 310}, 0x00123456))
            << "what was not damaged is not painted";
        EXPECT_EQ(CountOf(WM_ERASEBKGND), 1);
        DestroyWindow(hwnd);
        kp::user::ResetForNewProcess();
        DeleteObject(brush);
    }
}

TEST_F(PaintTest, NullClassBrushErasesNothing)
{
    WNDCLASSEXA wc = ClassRecord(kClass);
    wc.hbrBackground = NULL;
    ASSERT_NE(RegisterClassExA(&wc), 0);
    HWND hwnd = Create();
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    EXPECT_EQ(CountOf(WM_ERASEBKGND), 1);
    EXPECT_TRUE(AllPixelsIn(host.Pixels(hwnd), RECT{0, 0, 584, 461}, kLostPixel));
}

TEST_F(PaintTest, WindowDcsAreGivenBackByEndPaintAndReleaseDc)
{
    HWND hwnd = ShownWindow();
    KpGdiCounts before;
    KpGetGdiCounts(&before);
    HDC dc = GetDC(hwnd);
    ASSERT_NE(dc, nullptr);
    KpGdiCounts during;
    KpGetGdiCounts(&during);
    EXPECT_EQ(during.dcs, before.dcs + 1);
    SetPixel(dc, 3, 4, RGB(1, 2, 3));
    EXPECT_EQ(host.Pixels(hwnd).At(3, 4), 0x00010203u) << "a window DC draws on the client";
    EXPECT_EQ(ReleaseDC(hwnd, dc), 1);

    InvalidateRect(hwnd, NULL, TRUE);
    DispatchAll();  // DefWindowProcA's WM_PAINT: BeginPaint, erase, EndPaint
    KpGdiCounts after;
    KpGetGdiCounts(&after);
    EXPECT_EQ(after.dcs, before.dcs);
    EXPECT_EQ(after.total, before.total);
    EXPECT_EQ(after.invalidHandleUses, before.invalidHandleUses);
}

TEST_F(PaintTest, ResizingInvalidatesOnlyTheUncoveredStripsWithErase)
{
    HWND hwnd = ShownWindow();
    PaintSolid(RGB(0, 0, 0));
    struct Case {
        int width, height;
        bool sized, painted;
        RECT paint;            // rcPaint of the one WM_PAINT
        SIZE held = {-1, -1};  // the client it gets, where not the size asked for
    };
    const Case cases[] = {
        {700, 461, true, true, {584, 0, 700, 461}},  // wider: the strip on the right
        {700, 600, true, true, {0, 461, 700, 600}},  // taller: the strip at the bottom
        {300, 200, true, false, {}},                 // smaller: nothing
        {300, 200, false, false, {}},                // the same size again: nothing at all
        {0, 0, true, false, {}},                     // nothing left
        {50, 40, true, true, {0, 0, 50, 40}},        // back from nothing: all of it
        // Larger than the 1920 x 1080 screen and a frame's margin: held to that.
        {2000, 1500, true, true, {0, 0, 1940, 1100}, {1940, 1100}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        log().clear();
        host.Resize(hwnd, c.width, c.height);
        DispatchAll();
        const int width = c.held.cx < 0 ? c.width : c.held.cx;
        const int height = c.held.cy < 0 ? c.height : c.held.cy;
        RECT client;
        GetClientRect(hwnd, &client);
        EXPECT_EQ(client.right, width);
        EXPECT_EQ(client.bottom, height);
        EXPECT_EQ(CountOf(WM_SIZE), c.sized ? 1 : 0);
        EXPECT_EQ(CountOf(WM_PAINT), c.painted ? 1 : 0);
        EXPECT_EQ(CountOf(WM_ERASEBKGND), c.painted ? 1 : 0);
        if (c.painted) {
            EXPECT_EQ(lastPaint.rcPaint.left, c.paint.left);
            EXPECT_EQ(lastPaint.rcPaint.top, c.paint.top);
            EXPECT_EQ(lastPaint.rcPaint.right, c.paint.right);
            EXPECT_EQ(lastPaint.rcPaint.bottom, c.paint.bottom);
        }
        Image image = host.Pixels(hwnd);
        EXPECT_EQ(image.width, width);
        bool lost = false;
        for (uint32_t p : image.pixels)
            lost = lost || p == kLostPixel;
        EXPECT_FALSE(lost) << "everything that the resize uncovered was painted";
    }
}

TEST_F(PaintTest, RedrawClassStylesRepaintEverythingOnResize)
{
    ASSERT_NE(Register(kClass, nullptr, CS_HREDRAW | CS_VREDRAW), 0);
    HWND hwnd = ShownWindow();
    PaintSolid(RGB(0, 0, 0));
    kp::user::HostResized(hwnd, 600, 461);
    DispatchAll();
    EXPECT_EQ(lastPaint.rcPaint.left, 0);
    EXPECT_EQ(lastPaint.rcPaint.right, 600);
    EXPECT_EQ(lastPaint.rcPaint.bottom, 461);
}

TEST_F(PaintTest, MinimizedWindowsAreNotPaintedAndRestoringRepaintsAll)
{
    HWND hwnd = ShownWindow();
    PaintSolid(RGB(0, 0, 0));
    InvalidateRect(hwnd, NULL, FALSE);
    kp::user::HostMinimized(hwnd);
    EXPECT_TRUE(IsIconic(hwnd));
    RECT client;
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 0);
    EXPECT_EQ(client.bottom, 0);
    InvalidateRect(hwnd, NULL, TRUE);
    DispatchAll();
    EXPECT_EQ(CountOf(WM_PAINT), 0) << "a minimized window has nothing to paint";
    kp::user::HostRestored(hwnd, 584, 461);
    DispatchAll();
    EXPECT_EQ(CountOf(WM_PAINT), 1);
    EXPECT_EQ(CountOf(WM_ERASEBKGND), 1);
    EXPECT_EQ(lastPaint.rcPaint.right, 584);
    EXPECT_EQ(lastPaint.rcPaint.bottom, 461);
}

TEST_F(PaintTest, CloseByDefaultDestroysTheWindow)
{
    HWND hwnd = ShownWindow();
    EXPECT_EQ(SendMessageA(hwnd, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(IsWindow(hwnd));
    const std::vector<UINT> got = MessagesOf(hwnd);
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got.front(), UINT(WM_CLOSE));
    EXPECT_EQ(got.back(), UINT(WM_NCDESTROY));
    EXPECT_EQ(CountOf(WM_DESTROY), 1);

    // A procedure that answers WM_CLOSE itself keeps its window.
    HWND kept = ShownWindow();
    handlers()[WM_CLOSE] = [](HWND, WPARAM, LPARAM) -> LRESULT { return 0; };
    SendMessageA(kept, WM_CLOSE, 0, 0);
    kp::user::HostCloseRequested(kept);
    DispatchAll();
    EXPECT_TRUE(IsWindow(kept));
}

}  // namespace
