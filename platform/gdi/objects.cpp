// The object table, stock objects, pens, brushes and object deletion.
#include "objects.h"

#include <kp_diagnostics.h>

#include <cstdlib>

namespace kp::gdi {

namespace {

// Stock objects sit in the slots of their GetStockObject index; the default
// bitmap follows them.
constexpr int kStockSlots = 20;
constexpr int kDefaultBitmapSlot = kStockSlots;
constexpr int kFirstFreeSlot = kStockSlots + 1;

struct Table {
    // Static storage starts zeroed: every slot Kind::Free, generation 0. Slots
    // are handed out from nextUnused upwards, then reused from freeSlots.
    Object objects[kMaxObjects];
    int freeSlots[kMaxObjects];
    int freeCount = 0;
    int nextUnused = kFirstFreeSlot;
    uint32_t defaultBitmapPixel = 0;

    int livePens = 0;
    int liveBrushes = 0;
    int liveBitmaps = 0;
    int liveMemoryDcs = 0;
    int liveWindowDcs = 0;
    int deletedWhileSelected = 0;
    int invalidHandleUses = 0;

    Table();
};

void MakeStockPen(Object &o, int style, COLORREF color)
{
    o.kind = Kind::Pen;
    o.pen = {style, 0, color};
}

void MakeStockBrush(Object &o, bool hollow, COLORREF color)
{
    o.kind = Kind::Brush;
    o.brush = {hollow, color};
}

Table::Table()
{
    for (int i = 0; i <= kDefaultBitmapSlot; ++i) {
        objects[i].generation = 1;
        objects[i].stock = true;
    }
    MakeStockBrush(objects[WHITE_BRUSH], false, RGB(255, 255, 255));
    MakeStockBrush(objects[LTGRAY_BRUSH], false, RGB(192, 192, 192));
    MakeStockBrush(objects[GRAY_BRUSH], false, RGB(128, 128, 128));
    MakeStockBrush(objects[DKGRAY_BRUSH], false, RGB(64, 64, 64));
    MakeStockBrush(objects[BLACK_BRUSH], false, RGB(0, 0, 0));
    MakeStockBrush(objects[NULL_BRUSH], true, 0);
    MakeStockPen(objects[WHITE_PEN], PS_SOLID, RGB(255, 255, 255));
    MakeStockPen(objects[BLACK_PEN], PS_SOLID, RGB(0, 0, 0));
    MakeStockPen(objects[NULL_PEN], PS_NULL, 0);
    // The DC brush and pen keep their default colours: the layer has no
    // SetDCBrushColor or SetDCPenColor.
    MakeStockBrush(objects[DC_BRUSH], false, RGB(255, 255, 255));
    MakeStockPen(objects[DC_PEN], PS_SOLID, RGB(0, 0, 0));

    Object &bitmap = objects[kDefaultBitmapSlot];
    bitmap.kind = Kind::Bitmap;
    bitmap.bitmap = {&defaultBitmapPixel, 1, 1, true, {0, {}}};
}

Table &TheTable()
{
    // Never touched beyond the slots in use, so the table costs little memory.
    static Table table;
    return table;
}

int &LiveCounter(Table &t, const Object &o)
{
    switch (o.kind) {
    case Kind::Pen:
        return t.livePens;
    case Kind::Brush:
        return t.liveBrushes;
    case Kind::Bitmap:
        return t.liveBitmaps;
    default:
        return o.dc.memory ? t.liveMemoryDcs : t.liveWindowDcs;
    }
}

constexpr uintptr_t kSlotBits = 16;

}  // namespace

int SlotOf(const Object *object)
{
    return static_cast<int>(object - TheTable().objects);
}

void *HandleOf(const Object *object)
{
    uintptr_t value = (uintptr_t(object->generation) << kSlotBits) | uintptr_t(SlotOf(object) + 1);
    return reinterpret_cast<void *>(value);
}

Object *Lookup(const void *handle, Kind kind)
{
    Table &t = TheTable();
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    uintptr_t slot = (value & ((uintptr_t(1) << kSlotBits) - 1)) - 1;
    uintptr_t generation = value >> kSlotBits;
    if (value != 0 && slot < uintptr_t(kMaxObjects)) {
        Object &o = t.objects[slot];
        if (o.kind != Kind::Free && o.generation == generation &&
            (kind == Kind::Any || o.kind == kind))
            return &o;
    }
    ++t.invalidHandleUses;
    return nullptr;
}

Object *Allocate(Kind kind, bool memoryDc)
{
    Table &t = TheTable();
    int slot;
    if (t.freeCount > 0)
        slot = t.freeSlots[--t.freeCount];
    else if (t.nextUnused < kMaxObjects)
        slot = t.nextUnused++;
    else
        return nullptr;
    Object &o = t.objects[slot];
    o.generation = static_cast<WORD>(o.generation + 1);
    if (o.generation == 0)
        o.generation = 1;
    o.kind = kind;
    o.deletePending = false;
    o.selections = 0;
    if (kind == Kind::Dc) {
        o.dc = DcData{};
        o.dc.memory = memoryDc;
    }
    ++LiveCounter(t, o);
    return &o;
}

void Release(Object *object)
{
    Table &t = TheTable();
    if (object->stock)
        return;
    --LiveCounter(t, *object);
    if (object->kind == Kind::Bitmap)
        std::free(object->bitmap.bits);
    object->kind = Kind::Free;
    t.freeSlots[t.freeCount++] = SlotOf(object);
}

void AddSelection(Object *object)
{
    if (!object->stock)
        ++object->selections;
}

void DropSelection(Object *object)
{
    if (object->stock)
        return;
    if (--object->selections == 0 && object->deletePending)
        Release(object);
}

void CountInvalidUse()
{
    ++TheTable().invalidHandleUses;
}

HBITMAP DefaultBitmap()
{
    return static_cast<HBITMAP>(HandleOf(&TheTable().objects[kDefaultBitmapSlot]));
}

}  // namespace kp::gdi

using namespace kp::gdi;

HGDIOBJ WINAPI GetStockObject(int i)
{
    if (i < 0 || i >= kStockSlots)
        return nullptr;
    Object &o = TheTable().objects[i];
    return o.kind == Kind::Free ? nullptr : HandleOf(&o);
}

HPEN WINAPI CreatePen(int style, int width, COLORREF color)
{
    if (style < PS_SOLID || style > PS_INSIDEFRAME)
        return nullptr;
    Object *o = Allocate(Kind::Pen);
    if (o == nullptr)
        return nullptr;
    o->pen = {style, width < 0 ? -width : width, color & 0x00FFFFFFu};
    return static_cast<HPEN>(HandleOf(o));
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color)
{
    Object *o = Allocate(Kind::Brush);
    if (o == nullptr)
        return nullptr;
    o->brush = {false, color & 0x00FFFFFFu};
    return static_cast<HBRUSH>(HandleOf(o));
}

BOOL WINAPI DeleteObject(HGDIOBJ handle)
{
    Object *o = Lookup(handle, Kind::Any);
    if (o == nullptr || o->kind == Kind::Dc)
        return FALSE;
    if (o->stock)
        return TRUE;
    if (o->selections > 0) {
        // Windows says yes and frees it once no DC holds it any more; a
        // correct program never relies on that.
        if (!o->deletePending)
            ++TheTable().deletedWhileSelected;
        o->deletePending = true;
        return TRUE;
    }
    Release(o);
    return TRUE;
}

DWORD WINAPI GetObjectType(HGDIOBJ handle)
{
    Object *o = Lookup(handle, Kind::Any);
    if (o == nullptr)
        return 0;
    switch (o->kind) {
    case Kind::Pen:
        return OBJ_PEN;
    case Kind::Brush:
        return OBJ_BRUSH;
    case Kind::Bitmap:
        return OBJ_BITMAP;
    case Kind::Dc:
        return o->dc.memory ? OBJ_MEMDC : OBJ_DC;
    default:
        return 0;
    }
}

void KpGetGdiCounts(KpGdiCounts *counts)
{
    if (counts == nullptr)
        return;
    const Table &t = TheTable();
    counts->dcs = t.liveWindowDcs;
    counts->memoryDcs = t.liveMemoryDcs;
    counts->bitmaps = t.liveBitmaps;
    counts->pens = t.livePens;
    counts->brushes = t.liveBrushes;
    counts->total = t.liveWindowDcs + t.liveMemoryDcs + t.liveBitmaps + t.livePens + t.liveBrushes;
    counts->deletedWhileSelected = t.deletedWhileSelected;
    counts->invalidHandleUses = t.invalidHandleUses;
}
