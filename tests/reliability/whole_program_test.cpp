// One whole session of the real program, start to close, touching every
// path of its window procedure: strokes, right clicks, covering, minimizing,
// restoring, maximizing, resizing down to nothing and beyond the canvas.
// Short enough to run under valgrind as well (tests/reliability/valgrind.sh).
#include "scenarios/program_fixture.h"

namespace {

using kptest::CanvasModel;
using kptest::ShowsCanvas;

class WholeProgram : public kptest::ProgramTest {};

TEST_F(WholeProgram, SessionFromStartToClose)
{
    Launch(1280, 720);
    CanvasModel model(1280, 720);
    const kptest::Pen black;
    Press(10, 10);
    model.MoveTo(10, 10);
    for (int i = 1; i <= 60; ++i) {
        int x = (i * 37) % 584, y = (i * 53) % 461;
        Move(x, y);
        model.LineTo(x, y, black);
    }
    EXPECT_TRUE(ShowsCanvas(Pixels(), model));

    host.CoverAndUncover(hwnd, RECT{100, 100, 400, 300});
    host.Minimize(hwnd);
    host.Restore(hwnd);
    ASSERT_TRUE(host.WaitIdle());
    EXPECT_TRUE(ShowsCanvas(Pixels(), model)) << "the canvas came back";

    for (int i = 0; i < 5; ++i) {
        RightClick(200, 200, MK_LBUTTON);
        Move(100 + i * 50, 300);
    }
    host.Resize(hwnd, 0, 0);
    host.Resize(hwnd, 1, 1);
    host.Resize(hwnd, 1500, 800);  // beyond the canvas
    host.Maximize(hwnd);
    ASSERT_TRUE(host.WaitIdle());
    Press(1200, 600);
    Move(1279, 690);
    host.Restore(hwnd);
    ASSERT_TRUE(host.WaitIdle());

    KpGdiCounts now = GdiCounts();
    EXPECT_EQ(now.total, CountsBefore().total + 3) << "the canvas DC, its bitmap and one pen";
    CloseAndCheck();
}

}  // namespace
