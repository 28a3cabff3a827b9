// The host's pointer state: which window-system pointer events become mouse
// messages, with which key state, in event order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pointer_state.h"

namespace {

using kp::host::MouseButton;
using kp::host::MouseMessage;
using kp::host::PointerState;

constexpr int kWidth = 584;
constexpr int kHeight = 461;

// One step of a scenario: an event given to the pointer state, and the
// message it must produce (message 0: none).
struct Step {
    enum Kind { Move, Press, Release, Modifiers, Reported, Left } kind;
    int x = 0;
    int y = 0;
    MouseButton button = MouseButton::Left;
    WPARAM keys = 0;      // Reported: the state; Modifiers: MK_SHIFT/MK_CONTROL
    WPARAM reported = 0;  // Reported: which flags the state covers
    UINT message = 0;     // expected
    WPARAM wParam = 0;    // expected
};

Step MoveTo(int x, int y, UINT message, WPARAM wParam)
{
    return {Step::Move, x, y, MouseButton::Left, 0, 0, message, wParam};
}
Step PressAt(MouseButton b, int x, int y, UINT message, WPARAM wParam)
{
    return {Step::Press, x, y, b, 0, 0, message, wParam};
}
Step ReleaseAt(MouseButton b, int x, int y, UINT message, WPARAM wParam)
{
    return {Step::Release, x, y, b, 0, 0, message, wParam};
}
Step SetModifiers(WPARAM keys)
{
    return {Step::Modifiers, 0, 0, MouseButton::Left, keys, 0, 0, 0};
}
Step Report(WPARAM keys, WPARAM reported)
{
    return {Step::Reported, 0, 0, MouseButton::Left, keys, reported, 0, 0};
}
Step PointerLeft()
{
    return {Step::Left, 0, 0, MouseButton::Left, 0, 0, 0, 0};
}

constexpr WPARAM X1High = static_cast<WPARAM>(XBUTTON1) << 16;
constexpr WPARAM X2High = static_cast<WPARAM>(XBUTTON2) << 16;
constexpr WPARAM kX11Reported = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON | MK_SHIFT | MK_CONTROL;

struct Scenario {
    std::string name;
    std::vector<Step> steps;
};

void RunScenario(const Scenario &s)
{
    PointerState p;
    p.SetClientSize(kWidth, kHeight);
    for (size_t i = 0; i < s.steps.size(); ++i) {
        const Step &step = s.steps[i];
        MouseMessage m;
        bool produced = false;
        switch (step.kind) {
        case Step::Move:
            produced = p.Move(step.x, step.y, &m);
            break;
        case Step::Press:
            produced = p.Press(step.button, step.x, step.y, &m);
            break;
        case Step::Release:
            produced = p.Release(step.button, step.x, step.y, &m);
            break;
        case Step::Modifiers:
            p.SetModifiers((step.keys & MK_SHIFT) != 0, (step.keys & MK_CONTROL) != 0);
            break;
        case Step::Reported:
            p.SetReportedKeys(step.keys, step.reported);
            break;
        case Step::Left:
            p.PointerLeft();
            break;
        }
        SCOPED_TRACE(s.name + ", step " + std::to_string(i));
        ASSERT_EQ(produced, step.message != 0);
        if (!produced)
            continue;
        EXPECT_EQ(m.message, step.message);
        EXPECT_EQ(m.x, step.x);
        EXPECT_EQ(m.y, step.y);
        EXPECT_EQ(m.keys, step.wParam);
    }
}

TEST(PointerState, ButtonsAndModifiersInEventOrder)
{
    const MouseButton L = MouseButton::Left, R = MouseButton::Right, M = MouseButton::Middle,
                      X1 = MouseButton::X1, X2 = MouseButton::X2;
    const std::vector<Scenario> scenarios = {
        {"left drag",
         {MoveTo(10, 10, WM_MOUSEMOVE, 0), PressAt(L, 10, 10, WM_LBUTTONDOWN, MK_LBUTTON),
          MoveTo(20, 15, WM_MOUSEMOVE, MK_LBUTTON), MoveTo(30, 15, WM_MOUSEMOVE, MK_LBUTTON),
          ReleaseAt(L, 30, 15, WM_LBUTTONUP, 0), MoveTo(31, 15, WM_MOUSEMOVE, 0)}},
        {"right and middle join the left button",
         {PressAt(L, 5, 5, WM_LBUTTONDOWN, MK_LBUTTON),
          PressAt(R, 5, 5, WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON),
          MoveTo(6, 5, WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON),
          PressAt(M, 6, 5, WM_MBUTTONDOWN, MK_LBUTTON | MK_RBUTTON | MK_MBUTTON),
          ReleaseAt(R, 6, 5, WM_RBUTTONUP, MK_LBUTTON | MK_MBUTTON),
          ReleaseAt(M, 6, 5, WM_MBUTTONUP, MK_LBUTTON), MoveTo(7, 5, WM_MOUSEMOVE, MK_LBUTTON)}},
        {"X buttons carry their number in the high word of their own messages only",
         {PressAt(X1, 50, 60, WM_XBUTTONDOWN, MK_XBUTTON1 | X1High),
          MoveTo(51, 60, WM_MOUSEMOVE, MK_XBUTTON1),
          PressAt(X2, 51, 60, WM_XBUTTONDOWN, MK_XBUTTON1 | MK_XBUTTON2 | X2High),
          ReleaseAt(X1, 51, 60, WM_XBUTTONUP, MK_XBUTTON2 | X1High),
          ReleaseAt(X2, 51, 60, WM_XBUTTONUP, X2High), MoveTo(52, 60, WM_MOUSEMOVE, 0)}},
        {"Shift and Ctrl from key events",
         {PressAt(L, 1, 1, WM_LBUTTONDOWN, MK_LBUTTON), SetModifiers(MK_SHIFT),
          MoveTo(2, 1, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT), SetModifiers(MK_SHIFT | MK_CONTROL),
          MoveTo(3, 1, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT | MK_CONTROL), SetModifiers(0),
          MoveTo(4, 1, WM_MOUSEMOVE, MK_LBUTTON)}},
        {"reported state replaces only the flags it covers",
         {PressAt(X1, 9, 9, WM_XBUTTONDOWN, MK_XBUTTON1 | X1High),
          Report(MK_LBUTTON | MK_SHIFT, kX11Reported),
          MoveTo(10, 9, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT | MK_XBUTTON1), Report(0, kX11Reported),
          MoveTo(11, 9, WM_MOUSEMOVE, MK_XBUTTON1), Report(MK_CONTROL | MK_RBUTTON, MK_CONTROL),
          MoveTo(12, 9, WM_MOUSEMOVE, MK_XBUTTON1 | MK_CONTROL)}},
        {"a button pressed over another window shows in the reported state",
         {Report(MK_LBUTTON, kX11Reported), MoveTo(100, 100, WM_MOUSEMOVE, MK_LBUTTON),
          MoveTo(120, 110, WM_MOUSEMOVE, MK_LBUTTON)}},
        {"a press reported with the state before it",
         {Report(0, kX11Reported), PressAt(L, 3, 4, WM_LBUTTONDOWN, MK_LBUTTON),
          Report(MK_LBUTTON, kX11Reported), ReleaseAt(L, 3, 4, WM_LBUTTONUP, 0)}},
    };
    for (const Scenario &s : scenarios)
        RunScenario(s);
}

TEST(PointerState, PositionsOutsideTheClientAreaAreDropped)
{
    const MouseButton L = MouseButton::Left;
    const std::vector<Scenario> scenarios = {
        {"edges",
         {MoveTo(0, 0, WM_MOUSEMOVE, 0), MoveTo(kWidth - 1, kHeight - 1, WM_MOUSEMOVE, 0),
          MoveTo(kWidth, 5, 0, 0), MoveTo(5, kHeight, 0, 0), MoveTo(-1, 5, 0, 0),
          MoveTo(5, -1, 0, 0), MoveTo(-300, -300, 0, 0)}},
        {"dragged out and back: the button state survives the trip",
         {PressAt(L, 500, 200, WM_LBUTTONDOWN, MK_LBUTTON),
          MoveTo(580, 200, WM_MOUSEMOVE, MK_LBUTTON), MoveTo(600, 200, 0, 0),
          MoveTo(700, -20, 0, 0), MoveTo(570, 210, WM_MOUSEMOVE, MK_LBUTTON)}},
        {"released outside: no message, but the next move inside has no button",
         {PressAt(L, 10, 10, WM_LBUTTONDOWN, MK_LBUTTON), MoveTo(-5, 10, 0, 0),
          ReleaseAt(L, -5, 10, 0, 0), MoveTo(4, 10, WM_MOUSEMOVE, 0)}},
        {"pressed outside: no message, but the state counts inside",
         {PressAt(MouseButton::Right, 900, 10, 0, 0), MoveTo(8, 10, WM_MOUSEMOVE, MK_RBUTTON)}},
    };
    for (const Scenario &s : scenarios)
        RunScenario(s);
}

TEST(PointerState, RepeatedPositionIsNoMoveUntilThePointerLeft)
{
    const std::vector<Scenario> scenarios = {
        {"a crossing and a motion at one point make one move",
         {MoveTo(40, 40, WM_MOUSEMOVE, 0), MoveTo(40, 40, 0, 0), MoveTo(41, 40, WM_MOUSEMOVE, 0),
          MoveTo(40, 40, WM_MOUSEMOVE, 0)}},
        {"after leaving, the same point is a move again",
         {MoveTo(40, 40, WM_MOUSEMOVE, 0), PointerLeft(), MoveTo(40, 40, WM_MOUSEMOVE, 0)}},
        {"after a move outside, the same point is a move again",
         {MoveTo(40, 40, WM_MOUSEMOVE, 0), MoveTo(-1, 40, 0, 0), MoveTo(40, 40, WM_MOUSEMOVE, 0)}},
        {"a click's position counts as reported",
         {PressAt(MouseButton::Left, 7, 7, WM_LBUTTONDOWN, MK_LBUTTON), MoveTo(7, 7, 0, 0),
          MoveTo(8, 7, WM_MOUSEMOVE, MK_LBUTTON)}},
    };
    for (const Scenario &s : scenarios)
        RunScenario(s);
}

TEST(PointerState, EveryDistinctMoveBecomesOneMessageInOrder)
{
    // A fast drag: hundreds of moves in a row, none merged or skipped.
    PointerState p;
    p.SetClientSize(kWidth, kHeight);
    MouseMessage m;
    ASSERT_TRUE(p.Press(MouseButton::Left, 20, 20, &m));
    int count = 0;
    for (int i = 1; i <= 500; ++i) {
        int x = 20 + i % 540;
        int y = 20 + (i * 7) % 400;
        ASSERT_TRUE(p.Move(x, y, &m)) << "move " << i;
        EXPECT_EQ(m.message, static_cast<UINT>(WM_MOUSEMOVE));
        EXPECT_EQ(m.x, x);
        EXPECT_EQ(m.y, y);
        EXPECT_EQ(m.keys, static_cast<WPARAM>(MK_LBUTTON));
        ++count;
    }
    EXPECT_EQ(count, 500);
}

TEST(PointerState, ClientSizeDecidesWhatIsInside)
{
    PointerState p;
    MouseMessage m;
    EXPECT_FALSE(p.Move(0, 0, &m)) << "a window of no size has no inside";
    p.SetClientSize(200, 100);
    EXPECT_TRUE(p.Move(199, 99, &m));
    EXPECT_FALSE(p.Move(200, 50, &m));
    p.SetClientSize(300, 100);
    EXPECT_TRUE(p.Move(250, 50, &m));
    p.SetClientSize(0, 0);  // minimized
    EXPECT_FALSE(p.Move(10, 10, &m));
    EXPECT_FALSE(p.Press(MouseButton::Left, 10, 10, &m));
    p.SetClientSize(200, 100);
    ASSERT_TRUE(p.Move(10, 10, &m));
    EXPECT_EQ(m.keys, static_cast<WPARAM>(MK_LBUTTON)) << "the press while minimized still counts";
}

}  // namespace
