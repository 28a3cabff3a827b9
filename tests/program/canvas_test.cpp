// The canvas and pen code against a recording stand-in for USER/GDI: the
// calls they make, in order, with their arguments.
#include <gtest/gtest.h>

#include <time.h>

#include <string>
#include <vector>

#include "draw/canvas.h"
#include "draw/pen.h"
#include "recording_platform.h"

namespace {

using Calls = std::vector<std::string>;

HWND const kMainWindow = reinterpret_cast<HWND>(7);

std::string Num(const void *h)
{
    return std::to_string(reinterpret_cast<uintptr_t>(h));
}

class CanvasCalls : public ::testing::Test {
  protected:
    void SetUp() override
    {
        recording::Reset();
        hdcCanvas = CreateBackBuffer(kMainWindow, &hbmCanvas, WHITE_BRUSH);
        CreateInitialPen();
    }
    void TearDown() override { ReleaseDrawingState(); }
};

TEST_F(CanvasCalls, BackBufferIsScreenSizedCompatibleWithTheWindowAndFilledWhite)
{
    // Handles are numbered from 100 in creation order: window DC 100,
    // memory DC 101, bitmap 102, pen 103. Stock white brush 10, the DC's
    // default brush 21, default pen 20.
    const Calls expected = {
        "GetDesktopWindow()",
        "GetWindowRect(1)",
        "GetDC(7)=100",
        "CreateCompatibleDC(100)=101",
        "CreateCompatibleBitmap(100,1920,1080)=102",
        "SelectObject(101,102)",
        "GetStockObject(0)",
        "SelectObject(101,10)",
        "PatBlt(101,0,0,1920,1080," + std::to_string(PATCOPY) + ")",
        "SelectObject(101,21)",
        "ReleaseDC(7,100)",
        "CreatePen(0,1,0)=103",
        "SelectObject(101,103)",
    };
    EXPECT_EQ(recording::calls, expected);
    EXPECT_EQ(Num(hdcCanvas), "101");
    EXPECT_EQ(Num(hbmCanvas), "102");
    EXPECT_EQ(Num(hpenCurrent), "103");
    EXPECT_EQ(Num(hpenSaved), "20");  // the DC's own pen is kept, never deleted
}

TEST_F(CanvasCalls, ReleaseFreesTheDcThenTheBitmapThenThePenAndNotTheSavedPen)
{
    recording::calls.clear();
    ReleaseDrawingState();
    const Calls expected = {"DeleteDC(101)", "DeleteObject(102)", "DeleteObject(103)"};
    EXPECT_EQ(recording::calls, expected);
    EXPECT_EQ(hdcCanvas, nullptr);
    EXPECT_EQ(hbmCanvas, nullptr);
    EXPECT_EQ(hpenCurrent, nullptr);
}

TEST_F(CanvasCalls, PenChangeDeselectsDeletesCreatesAndSelectsInThatOrder)
{
    recording::calls.clear();
    time_t before = time(nullptr);
    ChangePenAtRandom();
    time_t after = time(nullptr);

    ASSERT_EQ(recording::calls.size(), 4u);
    EXPECT_EQ(recording::calls[0], "SelectObject(101,20)");
    EXPECT_EQ(recording::calls[1], "DeleteObject(103)");
    EXPECT_EQ(recording::calls[3], "SelectObject(101,104)");

    // The new pen is the generator's pen for the second of the call.
    bool matched = false;
    for (time_t t = before; t <= after; ++t) {
        COLORREF colour;
        int width;
        RandomPenParameters((DWORD)t, &colour, &width);
        std::string create =
            "CreatePen(0," + std::to_string(width) + "," + std::to_string(colour) + ")=104";
        matched = matched || recording::calls[2] == create;
    }
    EXPECT_TRUE(matched) << recording::calls[2];
    EXPECT_EQ(Num(hpenCurrent), "104");
}

TEST_F(CanvasCalls, FailedPenLeavesTheSavedPenInUseUntilTheNextChange)
{
    recording::failNextPen = true;
    ChangePenAtRandom();
    EXPECT_EQ(hpenCurrent, nullptr);

    // The next change selects the saved pen again and deletes the null pen,
    // both harmless, then makes a real pen.
    recording::calls.clear();
    ChangePenAtRandom();
    ASSERT_EQ(recording::calls.size(), 4u);
    EXPECT_EQ(recording::calls[0], "SelectObject(101,20)");
    EXPECT_EQ(recording::calls[1], "DeleteObject(0)");
    EXPECT_NE(hpenCurrent, nullptr);
}

// If even the first pen cannot be made, the saved pen is still the DC's own
// stock pen, so later right clicks take their pen out of the DC before
// deleting it.
TEST(CanvasFailure, FailedFirstPenStillSavesTheDcsOwnPen)
{
    recording::Reset();
    hdcCanvas = CreateBackBuffer(kMainWindow, &hbmCanvas, WHITE_BRUSH);
    recording::failNextPen = true;
    CreateInitialPen();
    EXPECT_EQ(hpenCurrent, nullptr);
    EXPECT_EQ(Num(hpenSaved), "20") << "the DC's default pen";

    ChangePenAtRandom();  // makes a real pen
    const HPEN first = hpenCurrent;
    ASSERT_NE(first, nullptr);
    recording::calls.clear();
    ChangePenAtRandom();
    ASSERT_GE(recording::calls.size(), 2u);
    EXPECT_EQ(recording::calls[0], "SelectObject(" + Num(hdcCanvas) + ",20)");
    EXPECT_EQ(recording::calls[1], "DeleteObject(" + Num(first) + ")");
    EXPECT_EQ(recording::currentPen, hpenCurrent);
    ReleaseDrawingState();
}

TEST(CanvasSize, FollowsTheScreenAtCreation)
{
    struct Case {
        int w, h;
    } cases[] = {{1, 1}, {640, 480}, {3840, 2160}};
    for (const Case &c : cases) {
        recording::Reset();
        recording::screenWidth = c.w;
        recording::screenHeight = c.h;
        HBITMAP bm;
        CreateBackBuffer(kMainWindow, &bm, WHITE_BRUSH);
        std::string size = std::to_string(c.w) + "," + std::to_string(c.h);
        EXPECT_EQ(recording::calls[4], "CreateCompatibleBitmap(100," + size + ")=102");
        EXPECT_EQ(recording::calls[8],
                  "PatBlt(101,0,0," + size + "," + std::to_string(PATCOPY) + ")");
    }
    recording::screenWidth = 1920;
    recording::screenHeight = 1080;
}

}  // namespace
