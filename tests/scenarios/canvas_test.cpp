// The canvas behind the window: its size, fixed at creation, and the picture
// coming back whole after covering, minimizing and resizing.
#include "program_fixture.h"

#include <functional>

namespace {

using kp::host::PresentRecord;
using kptest::CanvasModel;
using kptest::Pen;
using kptest::ProgramTest;
using kptest::ShowsCanvas;

class CanvasTest : public ProgramTest {
  protected:
    // A stroke through the whole default client, corners included.
    void DrawZigzag(CanvasModel &model)
    {
        const POINT points[] = {{0, 0}, {583, 460}, {583, 0}, {0, 460}, {300, 1}, {582, 230}};
        Press(points[0].x, points[0].y);
        model.MoveTo(points[0].x, points[0].y);
        for (const POINT &p : points) {
            Move(p.x, p.y);
            model.LineTo(p.x, p.y, black);
        }
    }

    void ResizeTo(int width, int height)
    {
        host.Resize(hwnd, width, height);
        ASSERT_TRUE(host.WaitIdle());
    }

    static bool SameRect(const RECT &a, const RECT &b)
    {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }

    const Pen black;
};

TEST_F(CanvasTest, CoveringMinimizingAndResizingBringBackExactlyTheCanvas)
{
    Launch();
    CanvasModel model(1920, 1080);
    DrawZigzag(model);
    ASSERT_TRUE(ShowsCanvas(Pixels(), model));
    struct Case {
        const char *what;
        std::function<void()> change;
    };
    const Case cases[] = {
        {"cover and uncover a band",
         [&] {
             host.CoverAndUncover(hwnd, RECT{100, 50, 400, 300});
         }},
        {"cover and uncover all",
         [&] {
             host.CoverAndUncover(hwnd, RECT{-10, -10, 900, 900});
         }},
        {"cover and uncover two corners",
         [&] {
             host.CoverAndUncover(hwnd, RECT{0, 0, 30, 30});
             host.CoverAndUncover(hwnd, RECT{554, 431, 584, 461});
         }},
        {"minimize and restore",
         [&] {
             host.Minimize(hwnd);
             host.Restore(hwnd);
         }},
        {"shrink and enlarge",
         [&] {
             host.Resize(hwnd, 200, 150);
             host.Resize(hwnd, 584, 461);
         }},
        {"shrink to nothing and enlarge",
         [&] {
             host.Resize(hwnd, 0, 0);
             host.Resize(hwnd, 584, 461);
         }},
        {"maximize and restore",
         [&] {
             host.Maximize(hwnd);
             host.Restore(hwnd);
         }},
        {"minimize, then maximize",
         [&] {
             host.Minimize(hwnd);
             host.Maximize(hwnd);
         }},
    };
    for (const Case &c : cases) {
        c.change();
        ASSERT_TRUE(host.WaitIdle()) << c.what;
        EXPECT_TRUE(ShowsCanvas(Pixels(), model)) << c.what;
    }
    // Each step also shows on the way: a minimized window that is restored
    // later, and the shrunken window, show their part of the canvas.
    host.Restore(hwnd);
    ResizeTo(120, 90);
    EXPECT_TRUE(ShowsCanvas(Pixels(), model));
    CloseAndCheck();
}

TEST_F(CanvasTest, EnlargingRepaintsOnlyTheNewStripsAndShrinkingNothing)
{
    Launch();
    CanvasModel model(1920, 1080);
    DrawZigzag(model);
    struct Case {
        int width, height;
        std::vector<RECT> presents;
    };
    const Case cases[] = {
        {700, 461, {{584, 0, 700, 461}}},  // wider: the strip on the right
        {700, 600, {{0, 461, 700, 600}}},  // taller: the strip at the bottom
        {650, 500, {}},                    // smaller: nothing
        {650, 500, {}},                    // no change: nothing
        {651, 500, {{650, 0, 651, 500}}},  // one column
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        host.ClearPresents();
        ResizeTo(c.width, c.height);
        std::vector<PresentRecord> presents = host.Presents();
        ASSERT_EQ(presents.size(), c.presents.size());
        for (size_t i = 0; i < presents.size(); ++i)
            EXPECT_TRUE(SameRect(presents[i].rect, c.presents[i]))
                << presents[i].rect.left << "," << presents[i].rect.top << ","
                << presents[i].rect.right << "," << presents[i].rect.bottom;
        EXPECT_TRUE(ShowsCanvas(Pixels(), model));
    }

    // Wider and taller at once: the paint's rectangle bounds both strips, but
    // only the strips are painted. A mark that the window system left in the
    // part that stays shows that nothing else was touched.
    const uint32_t mark = 0x00C0FFEE;
    host.Scribble(hwnd, RECT{10, 10, 20, 20}, mark);
    host.ClearPresents();
    ResizeTo(900, 700);
    EXPECT_EQ(host.PresentCount(), 1);
    kp::host::Image image = Pixels();
    for (int y = 10; y < 20; ++y)
        for (int x = 10; x < 20; ++x)
            ASSERT_EQ(image.At(x, y), mark) << x << "," << y;
    host.CoverAndUncover(hwnd, RECT{10, 10, 20, 20});
    EXPECT_TRUE(ShowsCanvas(Pixels(), model));
    CloseAndCheck();
}

TEST_F(CanvasTest, CanvasHasTheScreenSizeAndClipsWhatFallsOutside)
{
    Launch(1280, 1024);
    CanvasModel model(1280, 1024);
    // A window larger than the canvas (the screen's resolution was raised
    // after start-up): the canvas stops at the screen's size it was made
    // at; beyond it the window shows its white background.
    host.SetScreenSize(1700, 1300);
    ResizeTo(1600, 1200);
    Press(1200, 50);
    Move(1500, 50);    // across the right edge of the canvas
    Move(1500, 1150);  // wholly outside
    Move(100, 1100);   // across the bottom edge, from outside
    model.MoveTo(1200, 50);
    model.LineTo(1500, 50, black);
    model.LineTo(1500, 1150, black);
    model.LineTo(100, 1100, black);
    kp::host::Image image = Pixels();
    EXPECT_TRUE(ShowsCanvas(image, model));
    EXPECT_EQ(image.At(1279, 50), kptest::kBlack);
    EXPECT_EQ(image.At(1280, 50), kptest::kWhite) << "outside the canvas nothing is kept";
    // Still so after the window has lost its pixels.
    host.CoverAndUncover(hwnd, RECT{0, 0, 1600, 1200});
    ASSERT_TRUE(host.WaitIdle());
    EXPECT_TRUE(ShowsCanvas(Pixels(), model));
    CloseAndCheck();
}

TEST_F(CanvasTest, AScreenChangeLeavesTheCanvasAsItWasCreated)
{
    Launch(1920, 1080);
    CanvasModel model(1920, 1080);
    // A stroke far out, drawn while the window was large...
    ResizeTo(1900, 1000);
    Press(1500, 900);
    Move(1890, 990);
    Move(1890, 920);
    model.MoveTo(1500, 900);
    model.LineTo(1890, 990, black);
    model.LineTo(1890, 920, black);
    // ...kept while the window is small and the screen shrinks...
    ResizeTo(584, 461);
    host.SetScreenSize(800, 600);
    EXPECT_TRUE(ShowsCanvas(Pixels(), model));
    // ...and back when the window is large again.
    ResizeTo(1900, 1000);
    EXPECT_TRUE(ShowsCanvas(Pixels(), model));

    // A larger screen does not make the canvas larger either.
    host.SetScreenSize(2560, 1440);
    ResizeTo(2500, 1400);
    Press(1800, 1300);
    Move(2400, 1000);
    model.MoveTo(1800, 1300);
    model.LineTo(2400, 1000, black);
    host.CoverAndUncover(hwnd, RECT{0, 0, 2500, 1400});
    ASSERT_TRUE(host.WaitIdle());
    kp::host::Image image = Pixels();
    EXPECT_TRUE(ShowsCanvas(image, model));
    // Maximized on the new screen the client is the new screen's size; the
    // canvas still is not.
    host.Maximize(hwnd);
    ASSERT_TRUE(host.WaitIdle());
    image = Pixels();
    EXPECT_EQ(image.width, 2560);
    EXPECT_EQ(image.height, 1440 - 23);
    EXPECT_TRUE(ShowsCanvas(image, model));
    CloseAndCheck();
}

TEST_F(CanvasTest, HugeAndEmptyWindowsAreHarmless)
{
    Launch();
    CanvasModel model(1920, 1080);
    DrawZigzag(model);
    // Asked size, and the client it gets: never larger than the 1920 x 1080
    // screen and a frame's margin.
    const int sizes[][4] = {{0, 0, 0, 0},     {4000, 3000, 1940, 1100}, {1, 1, 1, 1},
                            {0, 461, 0, 461}, {584, 0, 584, 0},         {584, 461, 584, 461}};
    for (const auto &s : sizes) {
        SCOPED_TRACE(testing::Message() << s[0] << "x" << s[1]);
        ResizeTo(s[0], s[1]);
        kp::host::Image image = Pixels();
        EXPECT_EQ(image.width, s[2]);
        EXPECT_EQ(image.height, s[3]);
        EXPECT_TRUE(ShowsCanvas(image, model));
    }
    EXPECT_TRUE(ShowsCanvas(Pixels(), model));
    CloseAndCheck();
}

}  // namespace
