// Device contexts: memory DCs, window DCs, selection, position and pixels.
#include <algorithm>

#include "gdi_internal.h"
#include "objects.h"
#include "rects.h"
#include "window_surface.h"

namespace kp::gdi {

namespace {

void InitDefaults(DcData &dc, bool memory)
{
    dc.memory = memory;
    dc.pen = static_cast<HPEN>(GetStockObject(BLACK_PEN));
    dc.brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    dc.bitmap = memory ? DefaultBitmap() : nullptr;
    dc.position = {0, 0};
}

// Lets go of everything the DC has selected, then frees it.
void FreeDc(Object *o)
{
    DcData &dc = o->dc;
    HGDIOBJ held[] = {dc.pen, dc.brush, dc.bitmap};
    for (HGDIOBJ h : held) {
        if (h == nullptr)
            continue;
        if (Object *selected = Lookup(h, Kind::Any))
            DropSelection(selected);
    }
    Release(o);
}

// Selects obj into dc in the slot of its kind; returns the object displaced.
HGDIOBJ Select(DcData &dc, Object *obj)
{
    HGDIOBJ handle = HandleOf(obj);
    HGDIOBJ *slot = nullptr;
    switch (obj->kind) {
    case Kind::Pen:
        slot = reinterpret_cast<HGDIOBJ *>(&dc.pen);
        break;
    case Kind::Brush:
        slot = reinterpret_cast<HGDIOBJ *>(&dc.brush);
        break;
    case Kind::Bitmap:
        // Only memory DCs hold bitmaps, and a bitmap sits in one DC at a time
        // (the shared default bitmap excepted).
        if (!dc.memory)
            return nullptr;
        if (dc.bitmap == handle)
            return handle;
        if (!obj->stock && obj->selections > 0)
            return nullptr;
        slot = reinterpret_cast<HGDIOBJ *>(&dc.bitmap);
        break;
    default:
        return nullptr;
    }
    HGDIOBJ previous = *slot;
    AddSelection(obj);
    *slot = handle;
    if (Object *old = Lookup(previous, Kind::Any))
        DropSelection(old);
    return previous;
}

}  // namespace

bool TargetOf(const DcData &dc, Target *target)
{
    target->window = nullptr;
    target->bitmap = nullptr;
    if (dc.memory) {
        Object *bm = Lookup(dc.bitmap, Kind::Bitmap);
        if (bm == nullptr)
            return false;
        const BitmapData &b = bm->bitmap;
        target->surface = {b.bits, b.width, b.height, b.width};
        target->mono = b.mono;
        target->clipCount = 1;
        target->clip[0] = {0, 0, b.width, b.height};
        target->bitmap = bm;
        return true;
    }
    if (dc.window == nullptr)
        return false;
    // The window may have changed size since the DC was made: clip to the
    // pixels it has now.
    target->surface = dc.window->Pixels();
    target->mono = false;
    target->window = dc.window;
    const RECT bounds = {0, 0, target->surface.width, target->surface.height};
    target->clipCount = 0;
    for (int i = 0; i < dc.clipCount; ++i) {
        RECT r = Intersection(dc.clip[i], bounds);
        if (!Empty(r))
            target->clip[target->clipCount++] = r;
    }
    return target->clipCount > 0 && target->surface.pixels != nullptr;
}

void NoteWritten(const Target &t, const RECT &bounds)
{
    RECT clipBounds = {0, 0, 0, 0};
    for (int i = 0; i < t.clipCount; ++i)
        clipBounds = BoundingBox(clipBounds, t.clip[i]);
    const RECT r = Intersection(bounds, clipBounds);
    if (Empty(r))
        return;
    if (t.window != nullptr) {
        t.window->Written(r);
    } else if (t.bitmap != nullptr) {
        BitmapData &b = t.bitmap->bitmap;
        BitmapWritten(b.copies, r, b.width, b.height);
    }
}

HDC CreateWindowDC(WindowSurface *surface, const RECT *clip, int clipCount)
{
    if (clipCount < 0 || clipCount > kMaxClipRects)
        return nullptr;
    Object *o = Allocate(Kind::Dc);
    if (o == nullptr)
        return nullptr;
    DcData &dc = o->dc;
    InitDefaults(dc, false);
    dc.window = surface;
    dc.clipCount = 0;
    for (int i = 0; surface != nullptr && i < clipCount; ++i)
        if (!Empty(clip[i]))
            dc.clip[dc.clipCount++] = clip[i];
    return static_cast<HDC>(HandleOf(o));
}

BOOL ReleaseWindowDC(HDC hdc)
{
    Object *o = Lookup(hdc, Kind::Dc);
    if (o == nullptr || o->dc.memory)
        return FALSE;
    FreeDc(o);
    return TRUE;
}

BOOL BrushColor(HBRUSH brush, COLORREF *color)
{
    // (HBRUSH)(COLOR_xxx + 1) stands for a system colour.
    uintptr_t value = reinterpret_cast<uintptr_t>(brush);
    if (value >= 1 && value <= COLOR_BTNHIGHLIGHT + 1) {
        static const COLORREF kSystemColors[COLOR_BTNHIGHLIGHT + 1] = {
            RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219),
            RGB(240, 240, 240), RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),
            RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(180, 180, 180), RGB(244, 247, 252),
            RGB(171, 171, 171), RGB(0, 120, 215),   RGB(255, 255, 255), RGB(240, 240, 240),
            RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(67, 78, 84),
            RGB(255, 255, 255)};
        *color = kSystemColors[value - 1];
        return TRUE;
    }
    Object *o = Lookup(brush, Kind::Brush);
    if (o == nullptr || o->brush.hollow)
        return FALSE;
    *color = o->brush.color;
    return TRUE;
}

}  // namespace kp::gdi

using namespace kp::gdi;

HDC WINAPI CreateCompatibleDC(HDC hdc)
{
    // NULL means compatible with the screen; any other handle must be a DC.
    if (hdc != nullptr && Lookup(hdc, Kind::Dc) == nullptr)
        return nullptr;
    Object *o = Allocate(Kind::Dc, true);
    if (o == nullptr)
        return nullptr;
    InitDefaults(o->dc, true);
    return static_cast<HDC>(HandleOf(o));
}

BOOL WINAPI DeleteDC(HDC hdc)
{
    Object *o = Lookup(hdc, Kind::Dc);
    if (o == nullptr)
        return FALSE;
    if (!o->dc.memory) {
        // A window DC is given back with ReleaseDC or EndPaint.
        CountInvalidUse();
        return FALSE;
    }
    FreeDc(o);
    return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h)
{
    Object *dc = Lookup(hdc, Kind::Dc);
    if (dc == nullptr)
        return nullptr;
    Object *obj = Lookup(h, Kind::Any);
    if (obj == nullptr || obj->deletePending)
        return nullptr;
    return Select(dc->dc, obj);
}

HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type)
{
    Object *o = Lookup(hdc, Kind::Dc);
    if (o == nullptr)
        return nullptr;
    switch (type) {
    case OBJ_PEN:
        return o->dc.pen;
    case OBJ_BRUSH:
        return o->dc.brush;
    case OBJ_BITMAP:
        return o->dc.bitmap;
    default:
        return nullptr;
    }
}

BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT previous)
{
    Object *o = Lookup(hdc, Kind::Dc);
    if (o == nullptr)
        return FALSE;
    if (previous)
        *previous = o->dc.position;
    o->dc.position = {x, y};
    return TRUE;
}

BOOL WINAPI GetCurrentPositionEx(HDC hdc, LPPOINT position)
{
    Object *o = Lookup(hdc, Kind::Dc);
    if (o == nullptr || position == nullptr)
        return FALSE;
    *position = o->dc.position;
    return TRUE;
}

namespace {

// The pixel at (x, y) of a DC's target when it lies inside the clip.
uint32_t *PixelAt(HDC hdc, int x, int y, Target *target)
{
    Object *o = Lookup(hdc, Kind::Dc);
    if (o == nullptr || !TargetOf(o->dc, target))
        return nullptr;
    for (int i = 0; i < target->clipCount; ++i) {
        const RECT &r = target->clip[i];
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return target->surface.pixels + size_t(y) * size_t(target->surface.stride) + x;
    }
    return nullptr;
}

}  // namespace

COLORREF WINAPI GetPixel(HDC hdc, int x, int y)
{
    Target target;
    uint32_t *p = PixelAt(hdc, x, y, &target);
    return p ? kp::ColorrefFromPixel(*p) : CLR_INVALID;
}

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color)
{
    Target target;
    uint32_t *p = PixelAt(hdc, x, y, &target);
    if (p == nullptr)
        return CLR_INVALID;
    *p = StoredPixel(target, color);
    NoteWritten(target, RECT{x, y, x + 1, y + 1});
    return kp::ColorrefFromPixel(*p);
}
