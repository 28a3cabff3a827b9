// The random pen of a right click: the pen follows from the clock's second,
// changes only the segments after it, and each replaced pen is given back.
#include "program_fixture.h"

#include <functional>

namespace {

using kptest::CanvasModel;
using kptest::Pen;
using kptest::ProgramTest;
using kptest::ShowsCanvas;

class PenTest : public ProgramTest {
  protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        Launch();
    }

    // Whether the window shows the canvas that draw() makes with one of the
    // candidate pens (the clock may have turned a second during the click).
    testing::AssertionResult
    ShowsCanvasWithOneOf(const std::vector<Pen> &candidates,
                         const std::function<void(CanvasModel &, const Pen &)> &draw)
    {
        kp::host::Image image = Pixels();
        testing::AssertionResult last = testing::AssertionFailure() << "no candidate pen";
        for (const Pen &pen : candidates) {
            CanvasModel model(1920, 1080);
            draw(model, pen);
            last = ShowsCanvas(image, model);
            if (last)
                return last;
            last << " (pen width " << pen.width << ", colour 0x" << std::hex << pen.colour << ")";
        }
        return last;
    }

    const Pen black;
};

TEST_F(PenTest, RightClickMidDragChangesOnlyTheFollowingSegments)
{
    Press(20, 20);
    Move(200, 20);
    Move(220, 60);
    // Clicked somewhere else, with the left button still held: neither the
    // click's position nor its key state matter.
    std::vector<Pen> pens = RightClick(500, 400, MK_LBUTTON);
    EXPECT_TRUE(ShowsCanvasWithOneOf(pens, [&](CanvasModel &m, const Pen &) {
        m.MoveTo(20, 20);
        m.LineTo(200, 20, black);
        m.LineTo(220, 60, black);
    })) << "the click itself draws nothing";
    Move(220, 200);
    Move(400, 250);
    Move(380, 100);
    EXPECT_TRUE(ShowsCanvasWithOneOf(pens, [&](CanvasModel &m, const Pen &pen) {
        m.MoveTo(20, 20);
        m.LineTo(200, 20, black);
        m.LineTo(220, 60, black);
        m.LineTo(220, 200, pen);
        m.LineTo(400, 250, pen);
        m.LineTo(380, 100, pen);
    }));
    CloseAndCheck();
}

TEST_F(PenTest, EachRightClickReplacesThePenAndGivesTheOldOneBack)
{
    std::vector<std::vector<Pen>> clicks;
    for (int i = 0; i < 5; ++i) {
        clicks.push_back(RightClick(100 + i, 100));
        KpGdiCounts now = GdiCounts();
        EXPECT_EQ(now.pens, CountsBefore().pens + 1) << "one pen of the program's at a time";
        EXPECT_EQ(now.deletedWhileSelected, CountsBefore().deletedWhileSelected)
            << "the pen is taken out of the canvas before it is deleted";
        EXPECT_EQ(now.invalidHandleUses, CountsBefore().invalidHandleUses);
    }
    // The last pen draws the next stroke.
    Press(50, 300);
    Move(300, 320);
    Move(310, 420);
    EXPECT_TRUE(ShowsCanvasWithOneOf(clicks.back(), [&](CanvasModel &m, const Pen &pen) {
        m.MoveTo(50, 300);
        m.LineTo(300, 320, pen);
        m.LineTo(310, 420, pen);
    }));
    CloseAndCheck();
}

TEST_F(PenTest, ClickWithoutMovementLeavesNothingWhateverThePen)
{
    RightClick(10, 10);
    Press(250, 250);
    Release(250, 250);
    EXPECT_TRUE(ShowsCanvas(Pixels(), CanvasModel(1920, 1080)));
    CloseAndCheck();
}

TEST_F(PenTest, MovesWithTheRightButtonAlsoHeldDrawNothing)
{
    Press(100, 100);
    Move(150, 100);
    // The new pen comes with the press of the right button.
    time_t before = time(NULL);
    host.MouseButton(hwnd, WM_RBUTTONDOWN, 150, 100, MK_LBUTTON | MK_RBUTTON);
    ASSERT_TRUE(host.WaitIdle());
    time_t after = time(NULL);
    std::vector<Pen> pens;
    for (time_t t = before; t <= after; ++t)
        pens.push_back(kptest::PenForSeed(static_cast<DWORD>(t)));
    Move(200, 200, MK_LBUTTON | MK_RBUTTON);
    Move(250, 200, MK_LBUTTON | MK_RBUTTON);
    host.MouseButton(hwnd, WM_RBUTTONUP, 250, 200, MK_LBUTTON);
    ASSERT_TRUE(host.WaitIdle());
    EXPECT_TRUE(ShowsCanvasWithOneOf(pens, [&](CanvasModel &m, const Pen &) {
        m.MoveTo(100, 100);
        m.LineTo(150, 100, black);
    }));
    // The left button alone again: on from where the last drawing move ended.
    Move(300, 300);
    EXPECT_TRUE(ShowsCanvasWithOneOf(pens, [&](CanvasModel &m, const Pen &pen) {
        m.MoveTo(100, 100);
        m.LineTo(150, 100, black);
        m.LineTo(300, 300, pen);
    }));
    CloseAndCheck();
}

}  // namespace
