// The program when the platform cannot give it what it asks for: no canvas
// bitmap, no pen, no GDI objects at all, no window class, no window. It
// reports nothing and goes on with the handles it got; nothing it does then
// may crash, draw where it should not, hang, or keep an object after close.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "draw/canvas.h"
#include "scenarios/program_fixture.h"

namespace {

using kp::host::Image;
using kp::host::kLostPixel;
using kptest::CanvasModel;
using kptest::Pen;
using kptest::ShowsCanvas;

// The drawing state as the program holds it, and what its canvas DC has
// selected, read on the program thread.
struct DrawingState {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HPEN current = nullptr;
    HPEN saved = nullptr;
    HGDIOBJ selectedPen = nullptr;
};

bool AllPixelsAre(const Image &image, uint32_t pixel)
{
    for (uint32_t p : image.pixels)
        if (p != pixel)
            return false;
    return !image.pixels.empty();
}

// Pens until GDI's object table is full.
std::vector<HPEN> FillObjectTable()
{
    std::vector<HPEN> pens;
    while (HPEN pen = CreatePen(PS_SOLID, 1, RGB(9, 9, 9)))
        pens.push_back(pen);
    return pens;
}

void DeleteAll(std::vector<HPEN> &pens)
{
    for (HPEN pen : pens)
        DeleteObject(pen);
    pens.clear();
}

class FailurePathTest : public kptest::ProgramTest {
  protected:
    DrawingState State()
    {
        DrawingState s;
        EXPECT_TRUE(host.RunOnProgramThread([&] {
            s.dc = hdcCanvas;
            s.bitmap = hbmCanvas;
            s.current = hpenCurrent;
            s.saved = hpenSaved;
            if (hdcCanvas)
                s.selectedPen = GetCurrentObject(hdcCanvas, OBJ_PEN);
        }));
        return s;
    }

    // Makes the next right click's pen impossible: a DC of the test's own
    // holds the current pen, so that deleting it frees no slot, and GDI's
    // table is filled. Returns the holder; the hoard goes to *hoard.
    HDC HoldThePenAndFillTheTable(std::vector<HPEN> *hoard)
    {
        HDC holder = nullptr;
        EXPECT_TRUE(host.RunOnProgramThread([&] {
            holder = CreateCompatibleDC(NULL);
            SelectObject(holder, hpenCurrent);
            *hoard = FillObjectTable();
        }));
        EXPECT_NE(holder, nullptr);
        EXPECT_FALSE(hoard->empty());
        return holder;
    }

    // Frees the held pen and the hoard again.
    void GiveRoomBack(HDC holder, std::vector<HPEN> *hoard)
    {
        ASSERT_TRUE(host.RunOnProgramThread([&] {
            SelectObject(holder, GetStockObject(BLACK_PEN));
            DeleteDC(holder);
            DeleteAll(*hoard);
        }));
    }

    void CoverAll()
    {
        host.CoverAndUncover(hwnd, RECT{0, 0, 10000, 10000});
        ASSERT_TRUE(host.WaitIdle());
    }

    // Closes the window: exit code 0 and every object given back. Handles
    // that failed are null, and using them counts as a bad-handle use, which
    // is expected here; an object deleted while selected is not, apart from
    // the ones a test arranged itself.
    void CloseAndCheckObjects(int arrangedDeletesWhileSelected = 0)
    {
        host.RequestClose(hwnd);
        EXPECT_EQ(host.Join(), 0);
        KpGdiCounts after;
        KpGetGdiCounts(&after);
        const KpGdiCounts &before = CountsBefore();
        EXPECT_EQ(after.dcs, before.dcs) << "window DCs";
        EXPECT_EQ(after.memoryDcs, before.memoryDcs) << "memory DCs";
        EXPECT_EQ(after.bitmaps, before.bitmaps) << "bitmaps";
        EXPECT_EQ(after.pens, before.pens) << "pens";
        EXPECT_EQ(after.brushes, before.brushes) << "brushes";
        EXPECT_EQ(after.total, before.total);
        EXPECT_EQ(after.deletedWhileSelected - before.deletedWhileSelected,
                  arrangedDeletesWhileSelected);
    }
};

// A 65535 x 65535 screen would need a 16 GiB canvas: the bitmap cannot be
// made and the program goes on with a null one. Its memory DC keeps the 1 x 1
// default bitmap, so strokes land nowhere visible and paints copy nothing
// but that one pixel, which stays white as long as no stroke touches the
// origin (it is the default bitmap of every fresh memory DC of the process,
// as on Windows, so the test leaves it alone).
TEST_F(FailurePathTest, CanvasBitmapTooLargeToAllocate)
{
    Launch(65535, 65535);
    DrawingState s = State();
    EXPECT_EQ(s.bitmap, nullptr);
    ASSERT_NE(s.dc, nullptr) << "the memory DC itself needs no pixels";
    EXPECT_NE(s.current, nullptr);
    EXPECT_EQ(s.selectedPen, s.current);
    KpGdiCounts now = GdiCounts();
    EXPECT_EQ(now.memoryDcs, CountsBefore().memoryDcs + 1);
    EXPECT_EQ(now.bitmaps, CountsBefore().bitmaps) << "no bitmap was made";
    EXPECT_EQ(now.pens, CountsBefore().pens + 1);
    EXPECT_TRUE(AllPixelsAre(Pixels(), kptest::kWhite)) << "the first paint erased to white";

    Press(10, 10);
    Move(300, 200);
    Move(583, 460);
    Move(40, 400);
    RightClick(40, 400, MK_LBUTTON);
    Move(500, 30);
    EXPECT_TRUE(AllPixelsAre(Pixels(), kptest::kWhite)) << "strokes show nowhere";

    CoverAll();
    host.Minimize(hwnd);
    host.Restore(hwnd);
    host.Resize(hwnd, 1000, 900);
    ASSERT_TRUE(host.WaitIdle());
    Image image = Pixels();
    EXPECT_EQ(image.width, 1000);
    EXPECT_TRUE(AllPixelsAre(image, kptest::kWhite)) << "repaints copy nothing but white";
    CloseAndCheckObjects();
}

// The pen of a right click cannot be created. To get there the table must
// still be full after the click has deleted the old pen, so a DC of the
// test's own holds that pen too: its deletion then frees nothing (and is
// counted once as a delete while selected, the test's doing; filling the
// table alone is not enough, since the deletion frees the very slot that
// the new pen then takes). The saved black one-pixel pen stays in the canvas
// and strokes go on with it; the next right click selects and deletes the
// null pen harmlessly and brings a random pen back.
TEST_F(FailurePathTest, PenThatCannotBeCreatedLeavesTheSavedPenInUse)
{
    Launch();
    const Pen black;
    std::vector<Pen> firstPens = RightClick(5, 5);
    Press(10, 10);
    Move(200, 10);

    std::vector<HPEN> hoard;
    HDC holder = HoldThePenAndFillTheTable(&hoard);
    RightClick(7, 7, MK_LBUTTON);
    DrawingState s = State();
    EXPECT_EQ(s.current, nullptr) << "the new pen could not be created";
    EXPECT_EQ(s.selectedPen, GetStockObject(BLACK_PEN)) << "the saved pen is in the canvas";
    EXPECT_EQ(s.saved, GetStockObject(BLACK_PEN));
    Move(200, 300);
    Move(400, 250);

    // Room again; the window was not repainted meanwhile (no DC could be made
    // for it), so uncover it to see the canvas.
    GiveRoomBack(holder, &hoard);
    CoverAll();
    Image image = Pixels();
    bool shown = false;
    for (const Pen &first : firstPens) {
        CanvasModel model(1920, 1080);
        model.MoveTo(10, 10);
        model.LineTo(200, 10, first);
        model.LineTo(200, 300, black);
        model.LineTo(400, 250, black);
        shown = shown || ShowsCanvas(image, model);
    }
    EXPECT_TRUE(shown) << "the segments after the failed click are black and one pixel wide";

    KpGdiCounts before = GdiCounts();
    std::vector<Pen> nextPens = RightClick(9, 9);
    s = State();
    ASSERT_NE(s.current, nullptr);
    EXPECT_EQ(s.selectedPen, s.current);
    KpGdiCounts after = GdiCounts();
    EXPECT_EQ(after.pens, before.pens + 1) << "deleting the null pen deleted nothing else";
    EXPECT_EQ(after.total, before.total + 1);

    Press(50, 420);
    Move(550, 420);
    image = Pixels();
    shown = false;
    for (const Pen &first : firstPens) {
        for (const Pen &next : nextPens) {
            CanvasModel model(1920, 1080);
            model.MoveTo(10, 10);
            model.LineTo(200, 10, first);
            model.LineTo(200, 300, black);
            model.LineTo(400, 250, black);
            model.MoveTo(50, 420);
            model.LineTo(550, 420, next);
            shown = shown || ShowsCanvas(image, model);
        }
    }
    EXPECT_TRUE(shown) << "the next right click's pen draws";
    CloseAndCheckObjects(1);
}

// Closed while the pen is null: WM_DESTROY deletes the null pen, which does
// nothing, and everything else goes as usual.
TEST_F(FailurePathTest, CloseWithTheNullPen)
{
    Launch();
    std::vector<HPEN> hoard;
    HDC holder = HoldThePenAndFillTheTable(&hoard);
    RightClick(7, 7);
    EXPECT_EQ(State().current, nullptr);
    GiveRoomBack(holder, &hoard);
    KpGdiCounts now = GdiCounts();
    EXPECT_EQ(now.pens, CountsBefore().pens) << "the program holds no pen of its own";
    EXPECT_EQ(now.total, CountsBefore().total + 2) << "its canvas DC and bitmap";
    CloseAndCheckObjects(1);
}

// GDI's table is full before the program starts: no memory DC, no bitmap,
// no pen, and no DC to paint the window with. The window still opens and
// takes input; once there is room again a right click makes a pen, which
// the close gives back.
TEST_F(FailurePathTest, NoGdiObjectsAtAll)
{
    std::vector<HPEN> hoard = FillObjectTable();
    ASSERT_FALSE(hoard.empty());
    Launch();
    DrawingState s = State();
    EXPECT_EQ(s.dc, nullptr);
    EXPECT_EQ(s.bitmap, nullptr);
    EXPECT_EQ(s.current, nullptr);
    EXPECT_EQ(s.saved, nullptr);

    Press(10, 10);
    Move(300, 200);
    RightClick(300, 200, MK_LBUTTON);
    RightClick(300, 200);
    Move(20, 400);
    CoverAll();
    host.Minimize(hwnd);
    host.Restore(hwnd);
    ASSERT_TRUE(host.WaitIdle());
    EXPECT_TRUE(AllPixelsAre(Pixels(), kLostPixel)) << "no paint could draw anything";
    s = State();
    EXPECT_EQ(s.current, nullptr);

    ASSERT_TRUE(host.RunOnProgramThread([&] { DeleteAll(hoard); }));
    RightClick(5, 5);
    s = State();
    EXPECT_NE(s.current, nullptr) << "with room again the pen is made";
    EXPECT_EQ(GdiCounts().total, CountsBefore().total + 1);
    CoverAll();
    EXPECT_TRUE(AllPixelsAre(Pixels(), kptest::kWhite))
        << "erased; the copy from no canvas is a no-op";
    CloseAndCheckObjects();
}

// ---- No class, no window ---------------------------------------------------

LRESULT CALLBACK FillerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int fillersMade = 0;

WNDCLASSEXA FillerClass(const char *name)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = FillerProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = name;
    return wc;
}

// Registers classes until USER's class table is full, then runs the program.
int WINAPI FillClassTableThenRun(HINSTANCE instance, HINSTANCE prev, LPSTR cmdLine, int show)
{
    for (fillersMade = 0; fillersMade < 1000; ++fillersMade) {
        char name[32];
        std::snprintf(name, sizeof name, "filler %d", fillersMade);
        WNDCLASSEXA wc = FillerClass(name);
        if (RegisterClassExA(&wc) == 0)
            break;
    }
    return WinMain(instance, prev, cmdLine, show);
}

// Creates windows until USER's window table is full, then runs the program.
int WINAPI FillWindowTableThenRun(HINSTANCE instance, HINSTANCE prev, LPSTR cmdLine, int show)
{
    WNDCLASSEXA wc = FillerClass("filler");
    if (RegisterClassExA(&wc) == 0)
        return 98;
    for (fillersMade = 0; fillersMade < 1000; ++fillersMade) {
        if (CreateWindowExA(0, "filler", "filler", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, NULL, NULL,
                            instance, NULL) == NULL)
            break;
    }
    return WinMain(instance, prev, cmdLine, show);
}

// A host that cannot show windows: every call goes to the headless host,
// except that it has no window to give.
class WindowlessHost final : public kp::host::Host {
  public:
    explicit WindowlessHost(kp::host::HeadlessHost &inner) : inner_(inner)
    {
        kp::host::SetHost(this);
    }
    ~WindowlessHost() override
    {
        if (kp::host::CurrentHost() == this)
            kp::host::SetHost(&inner_);
    }
    WindowlessHost(const WindowlessHost &) = delete;
    WindowlessHost &operator=(const WindowlessHost &) = delete;

    int refused = 0;

    void ScreenSize(int *width, int *height) override { inner_.ScreenSize(width, height); }
    int StartupShowCommand() override { return inner_.StartupShowCommand(); }
    kp::host::HostWindow *CreateHostWindow(HWND, const char *, kp::gdi::WindowSurface *, int,
                                           int) override
    {
        ++refused;
        return nullptr;
    }
    void DestroyHostWindow(kp::host::HostWindow *window) override
    {
        inner_.DestroyHostWindow(window);
    }
    void SetShowState(kp::host::HostWindow *window, kp::host::ShowState state) override
    {
        inner_.SetShowState(window, state);
    }
    void ResizeHostWindow(kp::host::HostWindow *window, int width, int height) override
    {
        inner_.ResizeHostWindow(window, width, height);
    }
    void PumpEvents(bool wait) override { inner_.PumpEvents(wait); }

  private:
    kp::host::HeadlessHost &inner_;
};

class NoWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { KpGetGdiCounts(&before_); }

    kp::host::HeadlessHost host;
    KpGdiCounts before_ = {};
};

// Without its class or its window the program cannot show anything and
// nothing could ever end its message loop: it must end at once, with 0,
// having made and kept no GDI object.
TEST_F(NoWindowTest, ProgramEndsAtOnceWithZeroWhenItGetsNoClassOrNoWindow)
{
    enum class Cause { ClassTableFull, WindowTableFull, HostHasNoWindows };
    struct Case {
        const char *what;
        Cause cause;
    };
    const Case cases[] = {
        {"the class table is full", Cause::ClassTableFull},
        {"the window table is full", Cause::WindowTableFull},
        {"the host cannot make a window", Cause::HostHasNoWindows},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        fillersMade = 0;
        std::unique_ptr<WindowlessHost> windowless;
        kp::host::HeadlessHost::EntryPoint entry = WinMain;
        if (c.cause == Cause::ClassTableFull)
            entry = FillClassTableThenRun;
        else if (c.cause == Cause::WindowTableFull)
            entry = FillWindowTableThenRun;
        else
            windowless = std::make_unique<WindowlessHost>(host);

        ASSERT_TRUE(host.Start(entry));
        EXPECT_TRUE(host.Exited()) << "the program still waits for messages";
        if (c.cause != Cause::HostHasNoWindows) {
            EXPECT_GT(fillersMade, 0);
            EXPECT_LT(fillersMade, 1000) << "the table never filled";
        } else {
            EXPECT_EQ(windowless->refused, 1);
        }
        for (HWND w : host.Windows())
            EXPECT_NE(host.TitleOf(w), "Kelvane Paint");
        EXPECT_EQ(host.PresentCount(), 0) << "nothing was shown";
        EXPECT_EQ(host.Join(), 0);
        KpGdiCounts after;
        KpGetGdiCounts(&after);
        EXPECT_EQ(after.total, before_.total);
        EXPECT_EQ(after.deletedWhileSelected, before_.deletedWhileSelected);
        windowless.reset();
    }
}

}  // namespace
