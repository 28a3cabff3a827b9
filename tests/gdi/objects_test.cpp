// The object table: stock objects, DC defaults, selection, deletion, counts
// and the refusal of bad handles.
#include <gtest/gtest.h>

#include <kp_diagnostics.h>

#include <vector>

#include "gdi/gdi_internal.h"
#include "gdi_fixture.h"

namespace {

KpGdiCounts Counts()
{
    KpGdiCounts c;
    KpGetGdiCounts(&c);
    return c;
}

TEST(StockObjects, KindsAndColoursAndDeletionIsHarmless)
{
    struct Case {
        int index;
        DWORD type;
    };
    const Case cases[] = {
        {WHITE_BRUSH, OBJ_BRUSH},  {LTGRAY_BRUSH, OBJ_BRUSH}, {GRAY_BRUSH, OBJ_BRUSH},
        {DKGRAY_BRUSH, OBJ_BRUSH}, {BLACK_BRUSH, OBJ_BRUSH},  {NULL_BRUSH, OBJ_BRUSH},
        {WHITE_PEN, OBJ_PEN},      {BLACK_PEN, OBJ_PEN},      {NULL_PEN, OBJ_PEN},
        {DC_BRUSH, OBJ_BRUSH},     {DC_PEN, OBJ_PEN}};
    for (const Case &c : cases) {
        HGDIOBJ h = GetStockObject(c.index);
        ASSERT_NE(h, nullptr) << c.index;
        EXPECT_EQ(GetObjectType(h), c.type) << c.index;
        EXPECT_TRUE(DeleteObject(h)) << c.index;
        EXPECT_EQ(GetStockObject(c.index), h);
        EXPECT_EQ(GetObjectType(h), c.type) << "still alive after DeleteObject: " << c.index;
    }
    EXPECT_EQ(GetStockObject(-1), nullptr);
    EXPECT_EQ(GetStockObject(9), nullptr);
    EXPECT_EQ(GetStockObject(1000), nullptr);

    kptest::Canvas c(4, 4);
    const struct {
        int brush;
        COLORREF color;
    } fills[] = {{WHITE_BRUSH, RGB(255, 255, 255)},
                 {LTGRAY_BRUSH, RGB(192, 192, 192)},
                 {GRAY_BRUSH, RGB(128, 128, 128)},
                 {DKGRAY_BRUSH, RGB(64, 64, 64)},
                 {BLACK_BRUSH, RGB(0, 0, 0)}};
    for (const auto &f : fills) {
        SelectObject(c.dc(), GetStockObject(f.brush));
        PatBlt(c.dc(), 0, 0, 4, 4, PATCOPY);
        EXPECT_EQ(GetPixel(c.dc(), 2, 2), f.color) << f.brush;
    }
}

TEST(MemoryDc, StartsWithTheDocumentedDefaults)
{
    HDC dc = CreateCompatibleDC(NULL);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetObjectType(dc), DWORD(OBJ_MEMDC));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), GetStockObject(BLACK_PEN));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
    POINT p = {-1, -1};
    ASSERT_TRUE(GetCurrentPositionEx(dc, &p));
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);

    // The default bitmap is 1 x 1 and monochrome.
    HGDIOBJ bitmap = GetCurrentObject(dc, OBJ_BITMAP);
    EXPECT_EQ(GetObjectType(bitmap), DWORD(OBJ_BITMAP));
    EXPECT_NE(GetPixel(dc, 0, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, 1, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, 0, 1), CLR_INVALID);
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(CompatibleBitmap, FormatFollowsWhatTheDcShows)
{
    HDC screen = GetDC(NULL);
    ASSERT_NE(screen, nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP colour = CreateCompatibleBitmap(screen, 8, 8);
    HBITMAP mono = CreateCompatibleBitmap(mem, 8, 8);  // from a fresh memory DC
    ASSERT_NE(colour, nullptr);
    ASSERT_NE(mono, nullptr);

    HGDIOBJ old = SelectObject(mem, colour);
    EXPECT_EQ(GetPixel(mem, 3, 3), RGB(0, 0, 0)) << "new display bitmaps start black";
    EXPECT_EQ(SetPixel(mem, 3, 3, RGB(12, 200, 99)), RGB(12, 200, 99));
    EXPECT_EQ(GetPixel(mem, 3, 3), RGB(12, 200, 99));
    // A bitmap made from a memory DC showing a colour bitmap is colour too.
    HBITMAP colour2 = CreateCompatibleBitmap(mem, 2, 2);

    EXPECT_EQ(SelectObject(mem, mono), colour);
    EXPECT_EQ(SetPixel(mem, 1, 1, RGB(200, 220, 210)), RGB(255, 255, 255));
    EXPECT_EQ(SetPixel(mem, 2, 1, RGB(100, 20, 10)), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(mem, 1, 1), RGB(255, 255, 255));

    SelectObject(mem, colour2);
    EXPECT_EQ(SetPixel(mem, 0, 0, RGB(1, 2, 3)), RGB(1, 2, 3));

    SelectObject(mem, old);
    DeleteObject(colour);
    DeleteObject(colour2);
    DeleteObject(mono);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);

    // Sizes: zero gives the shared 1 x 1 bitmap, negative or absurd fail.
    HDC dc = CreateCompatibleDC(NULL);
    EXPECT_EQ(CreateCompatibleBitmap(dc, 0, 5), GetCurrentObject(dc, OBJ_BITMAP));
    EXPECT_EQ(CreateCompatibleBitmap(dc, -1, 5), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(dc, 65535, 65535), nullptr);
    DeleteDC(dc);
}

TEST(Selection, ReturnsTheDisplacedObjectOfTheSameKind)
{
    const int faultsBefore = Counts().deletedWhileSelected;
    kptest::Canvas c(4, 4);
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(1, 2, 3));
    HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
    EXPECT_EQ(SelectObject(c.dc(), pen), GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(c.dc(), brush), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_BRUSH), brush);
    EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_BITMAP), c.bitmap());
    EXPECT_EQ(SelectObject(c.dc(), GetStockObject(WHITE_PEN)), pen);
    EXPECT_EQ(SelectObject(c.dc(), GetStockObject(BLACK_BRUSH)), brush);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_EQ(Counts().deletedWhileSelected, faultsBefore);
}

TEST(Selection, ABitmapSitsInOneDcAtATime)
{
    kptest::Canvas c(4, 4);
    HDC other = CreateCompatibleDC(NULL);
    EXPECT_EQ(SelectObject(other, c.bitmap()), nullptr);
    EXPECT_EQ(SelectObject(c.dc(), c.bitmap()), c.bitmap()) << "reselecting is harmless";
    // A window DC holds no bitmap at all.
    HDC screen = GetDC(NULL);
    HBITMAP spare = CreateCompatibleBitmap(screen, 2, 2);
    EXPECT_EQ(SelectObject(screen, spare), nullptr);
    // A DC is not something to select.
    EXPECT_EQ(SelectObject(c.dc(), other), nullptr);
    ReleaseDC(NULL, screen);
    DeleteObject(spare);
    DeleteDC(other);
}

TEST(Deletion, DeletingASelectedObjectIsDeferredAndCounted)
{
    const KpGdiCounts before = Counts();
    HDC dc = CreateCompatibleDC(NULL);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(9, 9, 9));
    SelectObject(dc, pen);
    EXPECT_TRUE(DeleteObject(pen));
    KpGdiCounts mid = Counts();
    EXPECT_EQ(mid.deletedWhileSelected, before.deletedWhileSelected + 1);
    EXPECT_EQ(mid.pens, before.pens + 1) << "still held by the DC";
    EXPECT_EQ(GetObjectType(pen), DWORD(OBJ_PEN));
    EXPECT_EQ(SelectObject(dc, pen), nullptr) << "a deleted pen cannot be selected again";

    // Deleting the DC lets go of the pen, which goes with it.
    EXPECT_TRUE(DeleteDC(dc));
    KpGdiCounts after = Counts();
    EXPECT_EQ(after.pens, before.pens);
    EXPECT_EQ(after.memoryDcs, before.memoryDcs);
    EXPECT_EQ(GetObjectType(pen), 0u);
}

TEST(Deletion, DeleteDcFreesOnlyWhatWasDeletedWhileSelected)
{
    const KpGdiCounts before = Counts();
    HDC screen = GetDC(NULL);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bm = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(NULL, screen);
    SelectObject(dc, bm);
    EXPECT_EQ(Counts().bitmaps, before.bitmaps + 1);
    EXPECT_TRUE(DeleteDC(dc));
    // The bitmap survives its DC and can be selected elsewhere.
    EXPECT_EQ(GetObjectType(bm), DWORD(OBJ_BITMAP));
    HDC again = CreateCompatibleDC(NULL);
    EXPECT_NE(SelectObject(again, bm), nullptr);
    DeleteDC(again);
    EXPECT_TRUE(DeleteObject(bm));
    KpGdiCounts after = Counts();
    EXPECT_EQ(after.total, before.total);
    EXPECT_EQ(after.deletedWhileSelected, before.deletedWhileSelected);
}

// Every call given a handle that is null, stale, of the wrong kind or made up
// gives the failure result and changes nothing.
TEST(BadHandles, AreRefusedWithTheFailureResult)
{
    HDC goneDc = CreateCompatibleDC(NULL);
    DeleteDC(goneDc);
    HPEN gonePen = CreatePen(PS_SOLID, 1, 0);
    DeleteObject(gonePen);
    HPEN livePen = CreatePen(PS_SOLID, 1, 0);
    HDC reused = CreateCompatibleDC(NULL);  // may take the stale DC's slot

    const HDC badDcs[] = {nullptr, goneDc, reinterpret_cast<HDC>(livePen),
                          reinterpret_cast<HDC>(uintptr_t(0x12345678)),
                          reinterpret_cast<HDC>(uintptr_t(1))};
    const KpGdiCounts before = Counts();
    int calls = 0;
    for (HDC dc : badDcs) {
        POINT p;
        EXPECT_EQ(SelectObject(dc, livePen), nullptr);
        EXPECT_FALSE(MoveToEx(dc, 1, 1, &p));
        EXPECT_FALSE(LineTo(dc, 2, 2));
        EXPECT_FALSE(GetCurrentPositionEx(dc, &p));
        EXPECT_FALSE(PatBlt(dc, 0, 0, 1, 1, PATCOPY));
        EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, reused, 0, 0, SRCCOPY));
        EXPECT_FALSE(BitBlt(reused, 0, 0, 1, 1, dc, 0, 0, SRCCOPY));
        EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
        EXPECT_EQ(SetPixel(dc, 0, 0, 0), CLR_INVALID);
        EXPECT_FALSE(DeleteDC(dc));
        if (dc != nullptr) {  // NULL stands for the screen here
            EXPECT_EQ(CreateCompatibleDC(dc), nullptr);
        }
        EXPECT_EQ(CreateCompatibleBitmap(dc, 4, 4), nullptr);
        EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), nullptr);
        EXPECT_EQ(FillRect(dc, nullptr, nullptr), 0);
        calls += 14;
    }
    const HGDIOBJ badObjects[] = {nullptr, gonePen, reinterpret_cast<HGDIOBJ>(uintptr_t(0xdead0))};
    for (HGDIOBJ h : badObjects) {
        EXPECT_FALSE(DeleteObject(h));
        EXPECT_EQ(GetObjectType(h), 0u);
        EXPECT_EQ(SelectObject(reused, h), nullptr);
        calls += 3;
    }
    EXPECT_FALSE(DeleteObject(reused)) << "a DC is deleted with DeleteDC";
    EXPECT_GE(Counts().invalidHandleUses, before.invalidHandleUses + calls / 2);
    KpGdiCounts after = Counts();
    EXPECT_EQ(after.total, before.total);
    EXPECT_EQ(GetCurrentObject(reused, OBJ_PEN), GetStockObject(BLACK_PEN));
    DeleteDC(reused);
    DeleteObject(livePen);
}

TEST(Table, FullTableFailsCreationAndRecovers)
{
    const KpGdiCounts before = Counts();
    std::vector<HPEN> pens;
    for (;;) {
        HPEN p = CreatePen(PS_SOLID, 1, RGB(1, 1, 1));
        if (p == nullptr)
            break;
        pens.push_back(p);
        ASSERT_LT(pens.size(), 20000u);
    }
    EXPECT_GT(pens.size(), 9000u);
    EXPECT_EQ(CreateCompatibleDC(NULL), nullptr);
    EXPECT_EQ(CreateSolidBrush(0), nullptr);
    for (HPEN p : pens)
        EXPECT_TRUE(DeleteObject(p));
    EXPECT_EQ(Counts().total, before.total);
    HDC dc = CreateCompatibleDC(NULL);
    EXPECT_NE(dc, nullptr);
    DeleteDC(dc);
}

TEST(WindowDc, DrawsOnlyInsideItsClipRectangles)
{
    kp::gdi::WindowSurface surface;
    ASSERT_TRUE(surface.Resize(20, 10));
    const RECT clip[] = {{0, 0, 5, 10}, {15, 0, 30, 10}};
    HDC dc = kp::gdi::CreateWindowDC(&surface, clip, 2);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetObjectType(dc), DWORD(OBJ_DC));
    MoveToEx(dc, 0, 4, NULL);
    LineTo(dc, 20, 4);
    const kp::Surface pixels = surface.Pixels();
    for (int x = 0; x < 20; ++x) {
        bool inked = pixels.pixels[4 * pixels.stride + x] == 0;
        EXPECT_EQ(inked, x < 5 || x >= 15) << x;
    }
    // The surface shrinks under the DC: later drawing stays inside it.
    ASSERT_TRUE(surface.Resize(3, 3));
    MoveToEx(dc, 0, 1, NULL);
    EXPECT_TRUE(LineTo(dc, 20, 1));
    EXPECT_EQ(GetPixel(dc, 2, 1), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 3, 1), CLR_INVALID);
    EXPECT_EQ(GetPixel(dc, 10, 4), CLR_INVALID);
    EXPECT_FALSE(DeleteDC(dc)) << "window DCs are given back, not deleted";
    EXPECT_TRUE(kp::gdi::ReleaseWindowDC(dc));
    EXPECT_FALSE(kp::gdi::ReleaseWindowDC(dc));
}

}  // namespace
