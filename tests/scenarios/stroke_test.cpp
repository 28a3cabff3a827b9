// Freehand strokes: where a segment starts, which moves draw, and what a
// stroke leaves on the canvas and in the window.
#include "program_fixture.h"

namespace {

using kptest::CanvasModel;
using kptest::kBlack;
using kptest::kWhite;
using kptest::Pen;
using kptest::ProgramTest;
using kptest::ShowsCanvas;

class StrokeTest : public ProgramTest {
  protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        Launch();
    }
    CanvasModel model{1920, 1080};
    const Pen black;
};

TEST_F(StrokeTest, OneStrokeIsBlackOnePixelSegmentsWithoutItsLastPoint)
{
    const POINT points[] = {{10, 10},  {50, 30},   {60, 80},   {20, 81},
                            {20, 120}, {300, 121}, {299, 400}, {580, 5}};
    Press(points[0].x, points[0].y);
    model.MoveTo(points[0].x, points[0].y);
    for (size_t i = 1; i < std::size(points); ++i) {
        Move(points[i].x, points[i].y);
        model.LineTo(points[i].x, points[i].y, black);
        ASSERT_TRUE(ShowsCanvas(Pixels(), model)) << "after segment " << i;
    }
    Release(580, 5);
    kp::host::Image image = Pixels();
    EXPECT_TRUE(ShowsCanvas(image, model));
    EXPECT_EQ(image.At(10, 10), kBlack) << "the press point starts the first segment";
    EXPECT_EQ(image.At(580, 5), kWhite) << "the stroke's very last point stays uncoloured";
    EXPECT_EQ(image.At(50, 30), kBlack) << "a segment's end starts the next one";
    // The test's own walk and GDI agree on these well-known pixels of the
    // first segment (dx 40, dy 20: two x steps per y step).
    EXPECT_EQ(image.At(11, 10), kBlack);
    EXPECT_EQ(image.At(12, 11), kBlack);
    EXPECT_EQ(image.At(12, 10), kWhite);
    CloseAndCheck();
}

TEST_F(StrokeTest, EveryDrawingMoveRepaintsTheWholeClientAndShowsOnlyItsSegment)
{
    Press(100, 100);
    host.ClearPresents();
    Move(110, 105);
    // The program copies the whole client from the canvas, but only the
    // segment's pixels changed, and only they reach the display.
    std::vector<kp::host::PresentRecord> presents = host.Presents();
    ASSERT_EQ(presents.size(), 1u);
    EXPECT_EQ(presents[0].rect.left, 100);
    EXPECT_EQ(presents[0].rect.top, 100);
    EXPECT_EQ(presents[0].rect.right, 111);
    EXPECT_EQ(presents[0].rect.bottom, 106);
    // Whatever the window showed, all of it is the canvas again after the
    // next drawing move, far from the new segment too.
    host.Scribble(hwnd, RECT{0, 0, 584, 461}, 0x00ABCDEF);
    Move(120, 110);
    model.MoveTo(100, 100);
    model.LineTo(110, 105, black);
    model.LineTo(120, 110, black);
    EXPECT_TRUE(ShowsCanvas(Pixels(), model));
    CloseAndCheck();
}

TEST_F(StrokeTest, DrawingMovesRepaintWithoutErasingTheBackground)
{
    // Where the client reaches beyond the canvas the copy brings nothing, so
    // there an erase would show: a mark left there must survive the repaint.
    // The 1920-pixel canvas is the screen's width; a window can be a little
    // wider than the screen (its client 1940 pixels at most).
    host.Resize(hwnd, 2000, 400);
    ASSERT_TRUE(host.WaitIdle());
    const uint32_t mark = 0x00FACADE;
    host.Scribble(hwnd, RECT{1921, 100, 1924, 110}, mark);
    Press(10, 10);
    host.ClearPresents();
    Move(30, 20);
    EXPECT_EQ(host.PresentCount(), 1);
    kp::host::Image image = Pixels();
    EXPECT_EQ(image.At(1922, 105), mark) << "the move's repaint erased the background";
    EXPECT_EQ(image.At(10, 10), kBlack);
    CloseAndCheck();
}

TEST_F(StrokeTest, PressAndReleaseWithoutMovementLeavesNoMark)
{
    host.ClearPresents();
    for (int i = 0; i < 3; ++i) {
        Press(200 + i, 200);
        Release(200 + i, 200);
    }
    EXPECT_TRUE(ShowsCanvas(Pixels(), model));
    EXPECT_EQ(host.PresentCount(), 0) << "a press invalidates nothing";
    CloseAndCheck();
}

TEST_F(StrokeTest, AMoveWithoutAPressStartsAtTheOriginBeforeAnyStroke)
{
    // The button went down outside the window: the press never arrives
    // (the host drops it), the moves inside do.
    host.MouseButton(hwnd, WM_LBUTTONDOWN, -20, 40, MK_LBUTTON);
    Move(40, 30);
    model.LineTo(40, 30, black);  // from (0, 0), a new DC's current position
    kp::host::Image image = Pixels();
    EXPECT_TRUE(ShowsCanvas(image, model));
    EXPECT_EQ(image.At(0, 0), kBlack);
    CloseAndCheck();
}

TEST_F(StrokeTest, AMoveWithoutAPressGoesOnFromTheEndOfThePreviousStroke)
{
    Press(10, 300);
    Move(90, 310);
    Release(90, 310);
    model.MoveTo(10, 300);
    model.LineTo(90, 310, black);
    Move(200, 200, 0);  // moved without a button: nothing
    Move(150, 100);     // came back in with the button held
    model.LineTo(150, 100, black);
    EXPECT_TRUE(ShowsCanvas(Pixels(), model));
    CloseAndCheck();
}

TEST_F(StrokeTest, OnlyTheLeftButtonAloneDraws)
{
    const WPARAM ignored[] = {
        0,
        MK_SHIFT,
        MK_CONTROL,
        MK_RBUTTON,
        MK_LBUTTON | MK_SHIFT,
        MK_LBUTTON | MK_CONTROL,
        MK_LBUTTON | MK_RBUTTON,
        MK_LBUTTON | MK_MBUTTON,
        MK_LBUTTON | MK_XBUTTON1,
        MK_LBUTTON | MK_XBUTTON2,
        MK_LBUTTON | MK_SHIFT | MK_CONTROL,
    };
    Press(300, 200);
    model.MoveTo(300, 200);
    host.ClearPresents();
    int y = 10;
    for (WPARAM keys : ignored) {
        Move(20 + y, y, keys);
        y += 25;
        EXPECT_TRUE(ShowsCanvas(Pixels(), model)) << "keys " << keys;
    }
    EXPECT_EQ(host.PresentCount(), 0) << "an ignored move invalidates nothing";
    // The ignored moves did not move the current position either.
    Move(350, 260);
    model.LineTo(350, 260, black);
    EXPECT_TRUE(ShowsCanvas(Pixels(), model));
    CloseAndCheck();
}

TEST_F(StrokeTest, LeavingTheClientStopsTheStrokeAndReentryDrawsOneStraightSegment)
{
    Press(100, 100);
    Move(200, 150);
    // Dragged out of the client area and round, then back in: the window does
    // not capture the mouse, so it sees nothing of what happened outside.
    Move(700, 150);
    Move(700, 600);
    Move(-50, 600);
    Move(150, -3);
    Move(40, 400);
    model.MoveTo(100, 100);
    model.LineTo(200, 150, black);
    model.LineTo(40, 400, black);
    EXPECT_TRUE(ShowsCanvas(Pixels(), model));
    CloseAndCheck();
}

TEST_F(StrokeTest, ADoubleClickIsTwoPresses)
{
    Press(50, 50);
    Release(50, 50);
    Press(60, 70);
    Release(60, 70);
    Press(60, 70);
    Move(100, 90);
    model.MoveTo(60, 70);
    model.LineTo(100, 90, black);
    EXPECT_TRUE(ShowsCanvas(Pixels(), model));
    CloseAndCheck();
}

TEST_F(StrokeTest, AFastDragDrawsEverySegmentAndPaintsOnceForAll)
{
    Press(5, 5);
    model.MoveTo(5, 5);
    std::vector<POINT> path;
    for (int i = 1; i <= 200; ++i)
        path.push_back(POINT{5 + (i * 37) % 570, 5 + (i * i * 11) % 450});
    host.ClearPresents();
    // Injected from the program's own thread between two events, so that all
    // of them are queued before the program looks at its queue again.
    ASSERT_TRUE(host.RunOnProgramThread([&] {
        for (const POINT &p : path)
            host.MouseMove(hwnd, p.x, p.y, MK_LBUTTON);
    }));
    ASSERT_TRUE(host.WaitIdle());
    EXPECT_EQ(host.PresentCount(), 1) << "the damage of 200 moves is painted once";
    for (const POINT &p : path)
        model.LineTo(p.x, p.y, black);
    EXPECT_TRUE(ShowsCanvas(Pixels(), model));
    CloseAndCheck();
}

TEST_F(StrokeTest, CoordinatesAreUnsignedSixteenBitValues)
{
    // A window and a screen wider than 32767 pixels: a sign-extending reader
    // would see these x as negative and draw nothing. (The screen is tall
    // enough for a client 20 pixels high.)
    host.RequestClose(hwnd);
    ASSERT_EQ(host.Join(), 0);
    Launch(40000, 40);
    host.Resize(hwnd, 40000, 20);
    ASSERT_TRUE(host.WaitIdle());
    CanvasModel wide(40000, 20);
    Press(32760, 3);
    Move(39990, 5);
    Move(39999, 15);
    wide.MoveTo(32760, 3);
    wide.LineTo(39990, 5, black);
    wide.LineTo(39999, 15, black);
    kp::host::Image image = Pixels();
    EXPECT_TRUE(ShowsCanvas(image, wide));
    EXPECT_EQ(image.At(39990, 5), kBlack);
    CloseAndCheck();
}

}  // namespace
