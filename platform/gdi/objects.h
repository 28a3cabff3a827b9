// GDI's object table: pens, brushes, bitmaps and DCs in one fixed table.
// A handle carries its slot and a generation, so a null, stale or made-up
// handle, or one of the wrong kind, is recognised and refused, never used.
#pragma once

#include <windows.h>

#include <cstdint>

#include "copy_tracking.h"
#include "gdi_internal.h"
#include "surface.h"

namespace kp::gdi {

class WindowSurface;

// What a slot holds. Any is no kind of its own: it asks Lookup for an object
// of whatever kind.
enum class Kind : uint8_t { Free, Pen, Brush, Bitmap, Dc, Any };

// Windows' default per-process quota of GDI objects.
constexpr int kMaxObjects = 10000;

struct PenData {
    int style;
    int width;
    COLORREF color;
};

struct BrushData {
    bool hollow;
    COLORREF color;
};

struct BitmapData {
    uint32_t *bits;  // width * height pixels, 0x00RRGGBB; black or white when mono
    int width;
    int height;
    bool mono;
    BitmapCopies copies;  // copy_tracking.h
};

struct DcData {
    bool memory;  // CreateCompatibleDC; otherwise a window DC
    HPEN pen;
    HBRUSH brush;
    HBITMAP bitmap;         // memory DCs only
    WindowSurface *window;  // window DCs only: the client pixels (none for the screen)
    POINT position;
    int clipCount;  // window DCs: rectangles in client coordinates
    RECT clip[kMaxClipRects];
};

struct Object {
    // Slots live in zeroed static storage and are set up when allocated.
    Object() {}

    Kind kind;
    bool stock;
    bool deletePending;  // deleted while selected: freed when the last DC lets go
    WORD generation;
    int selections;  // how many DCs have it selected (pens, brushes, bitmaps)
    union {
        PenData pen;
        BrushData brush;
        BitmapData bitmap;
        DcData dc;
    };
};

// The live object for a handle of the given kind (or Kind::Any),
// or nullptr, and the misuse is counted.
Object *Lookup(const void *handle, Kind kind);
// Slot number of a live object, and the handle for a slot.
int SlotOf(const Object *object);
void *HandleOf(const Object *object);

// A free slot set to kind (generation advanced), or nullptr when the table
// is full. DCs say whether they are memory DCs.
Object *Allocate(Kind kind, bool memoryDc = false);
// Frees the object's own resources and its slot.
void Release(Object *object);

// Selection bookkeeping: a DC took or gave back obj (stock objects ignored).
void AddSelection(Object *object);
void DropSelection(Object *object);

void CountInvalidUse();

// The default 1 x 1 monochrome bitmap of new memory DCs.
HBITMAP DefaultBitmap();

// What a DC draws on: its pixels and its clip rectangles (already inside the
// surface). mono: colours are reduced to black or white. Exactly one of
// window and bitmap is set: who is told what was written.
struct Target {
    Surface surface;
    bool mono;
    int clipCount;  // only the first clipCount rectangles are set
    RECT clip[kMaxClipRects];
    WindowSurface *window;
    Object *bitmap;
};

// The target of a DC (memory or window); false when the DC draws nowhere.
bool TargetOf(const DcData &dc, Target *target);

// Every operation that writes pixels reports a rectangle holding all it may
// have written (clipped here to the target): a window records it as damage
// to show, a bitmap as a change that a window's next copy must carry over.
void NoteWritten(const Target &t, const RECT &bounds);

// The colour to store for c on a target.
inline uint32_t StoredPixel(const Target &t, COLORREF c)
{
    uint32_t p = PixelFromColorref(c & 0x00FFFFFFu);
    if (!t.mono)
        return p;
    int sum = int(p & 0xFF) + int((p >> 8) & 0xFF) + int((p >> 16) & 0xFF);
    return sum > 382 ? 0x00FFFFFFu : 0u;
}

}  // namespace kp::gdi
