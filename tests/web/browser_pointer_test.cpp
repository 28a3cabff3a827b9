// The browser host's reading of pointer events: the window's mouse messages
// for mouse, touch and pen samples as the page reports them.
#include "web/browser_pointer.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace kp::host {
namespace {

std::string Describe(const MouseMessage &m)
{
    const char *name = "?";
    switch (m.message) {
    case WM_MOUSEMOVE:
        name = "move";
        break;
    case WM_LBUTTONDOWN:
        name = "ldown";
        break;
    case WM_LBUTTONUP:
        name = "lup";
        break;
    case WM_RBUTTONDOWN:
        name = "rdown";
        break;
    case WM_RBUTTONUP:
        name = "rup";
        break;
    case WM_MBUTTONDOWN:
        name = "mdown";
        break;
    case WM_XBUTTONDOWN:
        name = "xdown";
        break;
    case WM_XBUTTONUP:
        name = "xup";
        break;
    }
    return std::string(name) + " " + std::to_string(m.x) + "," + std::to_string(m.y) + " " +
           std::to_string(static_cast<unsigned long>(m.keys));
}

// A sample in a compact form: kind, position, buttons mask, changed button,
// modifiers (bit 0 Shift, bit 1 Ctrl), time; or a leave or cancel.
struct Step {
    enum Kind { Sample, Leave, Cancel } kind = Sample;
    PointerKind pointer = PointerKind::Mouse;
    int x = 0, y = 0;
    unsigned buttons = 0;
    int button = -1;
    unsigned modifiers = 0;
    double time = 0;
};

Step M(int x, int y, unsigned buttons, int button = -1, unsigned modifiers = 0)
{
    return Step{Step::Sample, PointerKind::Mouse, x, y, buttons, button, modifiers, 0};
}

Step T(int x, int y, unsigned buttons, int button, double time)
{
    return Step{Step::Sample, PointerKind::Touch, x, y, buttons, button, 0, time};
}

Step P(int x, int y, unsigned buttons, int button, double time)
{
    return Step{Step::Sample, PointerKind::Pen, x, y, buttons, button, 0, time};
}

const Step kLeave{Step::Leave};
const Step kCancel{Step::Cancel};

std::vector<std::string> Messages(const std::vector<Step> &steps)
{
    PointerState state;
    BrowserPointer pointer(state);
    pointer.SetClientSize(584, 461);
    std::vector<std::string> out;
    MouseMessage messages[BrowserPointer::kMaxMessages];
    for (const Step &s : steps) {
        int n = 0;
        if (s.kind == Step::Leave) {
            n = pointer.Left(messages);
        } else if (s.kind == Step::Cancel) {
            n = pointer.Cancel(messages);
        } else {
            PointerSample sample;
            sample.kind = s.pointer;
            sample.x = s.x;
            sample.y = s.y;
            sample.buttons = s.buttons;
            sample.button = s.button;
            sample.shift = (s.modifiers & 1) != 0;
            sample.control = (s.modifiers & 2) != 0;
            sample.time = s.time;
            n = pointer.Sample(sample, messages);
        }
        EXPECT_LE(n, BrowserPointer::kMaxMessages);
        for (int i = 0; i < n; ++i)
            out.push_back(Describe(messages[i]));
    }
    return out;
}

struct Case {
    const char *name;
    std::vector<Step> steps;
    std::vector<std::string> want;
};

// MK_LBUTTON 1, MK_RBUTTON 2, MK_SHIFT 4, MK_CONTROL 8, MK_MBUTTON 16,
// MK_XBUTTON1 32, MK_XBUTTON2 64; the X button rides in the high word.
const Case kCases[] = {
    {"mouse drag: a move to the press point, the press, moves, the release",
     {M(10, 10, 0), M(20, 10, 1, 0), M(30, 12, 1), M(30, 12, 0, 0)},
     {"move 10,10 0", "move 20,10 0", "ldown 20,10 1", "move 30,12 1", "lup 30,12 0"}},
    {"a release away from the last sample moves there first, with the button",
     {M(20, 10, 1, 0), M(40, 10, 0, 0)},
     {"move 20,10 0", "ldown 20,10 1", "move 40,10 1", "lup 40,10 0"}},
    {"a second button pressed during a drag comes as a move that names it",
     {M(5, 5, 1, 0), M(9, 5, 1), M(9, 5, 3, 2), M(12, 6, 3), M(12, 6, 1, 2)},
     {"move 5,5 0", "ldown 5,5 1", "move 9,5 1", "rdown 9,5 3", "move 12,6 3", "rup 12,6 1"}},
    {"Shift and Ctrl are in every message's key state",
     {M(5, 5, 1, 0, 1), M(8, 5, 1, -1, 1), M(9, 5, 1, -1, 2), M(10, 5, 1, -1, 3)},
     {"move 5,5 4", "ldown 5,5 5", "move 8,5 5", "move 9,5 9", "move 10,5 13"}},
    {"middle and the extra buttons, with the X button in the high word",
     {M(5, 5, 4, 1), M(5, 5, 12, 3), M(5, 5, 4, 3), M(5, 5, 20, 4), M(5, 5, 4, 4)},
     {"move 5,5 0", "mdown 5,5 16", "xdown 5,5 65584", "xup 5,5 65552", "xdown 5,5 131152",
      "xup 5,5 131088"}},
    {"released outside: back inside the button is up, and no segment is drawn",
     {M(5, 5, 1, 0), M(50, 5, 1), kLeave, M(70, 40, 0)},
     {"move 5,5 0", "ldown 5,5 1", "move 50,5 1", "move 70,40 0"}},
    {"pressed outside and brought in: the first move inside carries the button",
     {M(100, 100, 0), kLeave, M(0, 50, 1), M(3, 50, 1)},
     {"move 100,100 0", "move 0,50 1", "move 3,50 1"}},
    {"after leaving, coming back to the same point is a move again",
     {M(7, 7, 1, 0), kLeave, M(7, 7, 1)},
     {"move 7,7 0", "ldown 7,7 1", "move 7,7 1"}},
    {"samples outside the client area make no messages",
     {M(-1, 5, 0), M(584, 5, 0), M(5, 461, 1, 0), M(583, 460, 1)},
     {"move 583,460 1"}},
    {"touch: the press waits until the contact moves, then every sample comes",
     {T(100, 100, 1, 0, 0), T(103, 101, 1, -1, 10), T(105, 104, 1, -1, 20), T(130, 100, 1, -1, 30),
      T(140, 100, 0, 0, 40)},
     {"move 100,100 0", "ldown 100,100 1", "move 103,101 1", "move 105,104 1", "move 130,100 1",
      "move 140,100 1", "lup 140,100 0"}},
    {"touch: a tap is a click",
     {T(50, 60, 1, 0, 0), T(50, 60, 0, 0, 120)},
     {"move 50,60 0", "ldown 50,60 1", "lup 50,60 0"}},
    {"touch: press and hold, still, is a right click where the finger was",
     {T(50, 60, 1, 0, 0), T(52, 61, 1, -1, 400), T(52, 61, 0, 0, 900)},
     {"move 50,60 0", "rdown 50,60 2", "rup 50,60 0"}},
    {"touch: held long but moved is a drag",
     {T(50, 60, 1, 0, 0), T(80, 60, 1, -1, 1000), T(80, 60, 0, 0, 1200)},
     {"move 50,60 0", "ldown 50,60 1", "move 80,60 1", "lup 80,60 0"}},
    {"touch: a contact that ended outside is over; the next one starts afresh",
     {T(10, 10, 1, 0, 0), T(40, 10, 1, -1, 10), kLeave, T(300, 300, 1, 0, 500),
      T(320, 300, 1, -1, 510)},
     {"move 10,10 0", "ldown 10,10 1", "move 40,10 1", "move 300,300 0", "ldown 300,300 1",
      "move 320,300 1"}},
    {"touch: an undecided contact that leaves has moved: it is a drag",
     {T(10, 10, 1, 0, 0), T(12, 10, 1, -1, 5), kLeave},
     {"move 10,10 0", "ldown 10,10 1", "move 12,10 1"}},
    {"touch: a cancelled contact makes nothing, and the next one works",
     {T(10, 10, 1, 0, 0), kCancel, T(200, 10, 1, 0, 100), T(200, 10, 0, 0, 150)},
     {"move 200,10 0", "ldown 200,10 1", "lup 200,10 0"}},
    {"pen: the barrel button is the right button",
     {P(10, 10, 0, -1, 0), P(10, 10, 1, 0, 5), P(30, 10, 1, -1, 10), P(30, 10, 3, 2, 20),
      P(40, 10, 3, -1, 30)},
     {"move 10,10 0", "ldown 10,10 1", "move 30,10 1", "rdown 30,10 3", "move 40,10 3"}},
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}

class BrowserPointerTest : public ::testing::TestWithParam<Case> {};

TEST_P(BrowserPointerTest, Messages)
{
    EXPECT_EQ(Messages(GetParam().steps), GetParam().want) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Samples, BrowserPointerTest, ::testing::ValuesIn(kCases));

TEST(BrowserPointer, ContactStillForLongerThanItsBufferKeepsEverySample)
{
    // Samples that wander inside the tolerance fill the buffer; then the
    // contact is a drag, and none of them is lost.
    std::vector<Step> steps{T(100, 100, 1, 0, 0)};
    for (int i = 1; i <= BrowserPointer::kPendingCapacity + 3; ++i)
        steps.push_back(T(100 + i % 2, 100, 1, -1, i));
    std::vector<std::string> out = Messages(steps);
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(out[0], "move 100,100 0");
    EXPECT_EQ(out[1], "ldown 100,100 1");
    EXPECT_EQ(out.size(), 2u + BrowserPointer::kPendingCapacity + 3);
    for (size_t i = 2; i < out.size(); ++i)
        EXPECT_EQ(out[i], (i % 2 ? "move 100,100 1" : "move 101,100 1")) << i;
}

}  // namespace
}  // namespace kp::host
