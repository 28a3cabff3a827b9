// Pattern fills and copies between DCs.
#include <algorithm>
#include <cstring>

#include "copy_tracking.h"
#include "gdi_internal.h"
#include "raster.h"
#include "rects.h"
#include "window_surface.h"

using namespace kp::gdi;

namespace {

enum class PatternOp { Copy, Invert, InvertPattern, White, Black };

bool PatternOpOf(DWORD rop, PatternOp *op)
{
    switch (rop) {
    case PATCOPY:
        *op = PatternOp::Copy;
        return true;
    case DSTINVERT:
        *op = PatternOp::Invert;
        return true;
    case PATINVERT:
        *op = PatternOp::InvertPattern;
        return true;
    case WHITENESS:
        *op = PatternOp::White;
        return true;
    case BLACKNESS:
        *op = PatternOp::Black;
        return true;
    default:
        return false;
    }
}

// Applies op with the DC's brush to [x, x + w) x [y, y + h), w and h >= 0.
BOOL PatternFill(const DcData &dc, long x, long y, long w, long h, PatternOp op)
{
    Target t;
    if (!TargetOf(dc, &t))
        return TRUE;  // nothing visible to draw on
    uint32_t brushPixel = 0;
    bool needsBrush = op == PatternOp::Copy || op == PatternOp::InvertPattern;
    if (needsBrush) {
        COLORREF color;
        if (!BrushColor(dc.brush, &color))
            return TRUE;  // a hollow brush paints nothing
        brushPixel = StoredPixel(t, color);
    }
    NoteWritten(t, kp::ClampedRect(x, y, x + w, y + h));
    switch (op) {
    case PatternOp::Copy:
        FillOnTarget(t, x, y, x + w, y + h, brushPixel);
        return TRUE;
    case PatternOp::White:
        FillOnTarget(t, x, y, x + w, y + h, 0x00FFFFFFu);
        return TRUE;
    case PatternOp::Black:
        FillOnTarget(t, x, y, x + w, y + h, 0);
        return TRUE;
    default:
        break;
    }
    const uint32_t xorWith = (op == PatternOp::Invert ? 0x00FFFFFFu : brushPixel);
    for (int i = 0; i < t.clipCount; ++i) {
        const RECT &c = t.clip[i];
        long left = std::max(x, long(c.left)), right = std::min(x + w, long(c.right));
        long top = std::max(y, long(c.top)), bottom = std::min(y + h, long(c.bottom));
        for (long row = top; row < bottom; ++row) {
            uint32_t *p = t.surface.pixels + size_t(row) * size_t(t.surface.stride);
            for (long col = left; col < right; ++col)
                p[col] ^= xorWith;
        }
    }
    return TRUE;
}

enum class SourceOp { Copy, NotCopy, And, Or, Xor };

bool SourceOpOf(DWORD rop, SourceOp *op)
{
    switch (rop) {
    case SRCCOPY:
        *op = SourceOp::Copy;
        return true;
    case NOTSRCCOPY:
        *op = SourceOp::NotCopy;
        return true;
    case SRCAND:
        *op = SourceOp::And;
        return true;
    case SRCPAINT:
        *op = SourceOp::Or;
        return true;
    case SRCINVERT:
        *op = SourceOp::Xor;
        return true;
    default:
        return false;
    }
}

// One row of n pixels from src to dst; src and dst may overlap.
void BlitRow(uint32_t *dst, const uint32_t *src, long n, SourceOp op, bool toMono)
{
    for (long i = 0; i < n; ++i) {
        // Onto a monochrome bitmap, the source's background colour (white)
        // becomes white and every other colour black.
        uint32_t s = toMono ? (src[i] == 0x00FFFFFFu ? 0x00FFFFFFu : 0u) : src[i];
        uint32_t d = dst[i];
        switch (op) {
        case SourceOp::Copy:
            d = s;
            break;
        case SourceOp::NotCopy:
            d = ~s & 0x00FFFFFFu;
            break;
        case SourceOp::And:
            d &= s;
            break;
        case SourceOp::Or:
            d |= s;
            break;
        case SourceOp::Xor:
            d ^= s;
            break;
        }
        dst[i] = d;
    }
}

// The pixels [*lo, *hi) that an extent covers from start. As Windows does, a
// negative extent reaches back from start but keeps start's own pixel:
// x = 10, w = -3 covers 8, 9 and 10.
void Span(long start, long extent, long *lo, long *hi)
{
    if (extent >= 0) {
        *lo = start;
        *hi = start + extent;
    } else {
        *lo = start + extent + 1;
        *hi = start + 1;
    }
}

}  // namespace

BOOL WINAPI PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop)
{
    Object *o = Lookup(hdc, Kind::Dc);
    PatternOp op;
    if (o == nullptr || !PatternOpOf(rop, &op))
        return FALSE;
    long left, right, top, bottom;
    Span(x, w, &left, &right);
    Span(y, h, &top, &bottom);
    return PatternFill(o->dc, left, top, right - left, bottom - top, op);
}

namespace {

// The destination pixels that a copy of dest from (dx, dy) further on can
// reach: inside dest, one of the destination's clip rectangles and the
// source's. Returns how many pieces were written to out.
int CopyPieces(const Target &dst, const Target &src, const RECT &dest, long dx, long dy,
               RECT out[kMaxClipRects * kMaxClipRects])
{
    int n = 0;
    for (int i = 0; i < dst.clipCount; ++i) {
        for (int j = 0; j < src.clipCount; ++j) {
            RECT r = kp::Intersection(kp::Intersection(dest, dst.clip[i]),
                                      kp::Offset(src.clip[j], -dx, -dy));
            if (!kp::Empty(r))
                out[n++] = r;
        }
    }
    return n;
}

}  // namespace

namespace {

// Copies the pieces (destination rectangles) from the source at
// (x + dx, y + dy) with op: a plain copy of a bitmap onto a window through
// copy tracking, any other row by row.
void CopyPiecesWith(const Target &dst, const Target &src, const RECT *pieces, int count, long dx,
                    long dy, SourceOp op)
{
    const bool toMono = dst.mono && !src.mono;
    const bool sameBitmap = dst.surface.pixels == src.surface.pixels;
    if (op == SourceOp::Copy && !toMono && dst.window != nullptr && src.bitmap != nullptr) {
        // WM_PAINT's copy from the canvas.
        CopyBitmapToWindow(dst, src, pieces, count, dx, dy);
        return;
    }
    for (int i = 0; i < count; ++i) {
        const RECT &r = pieces[i];
        NoteWritten(dst, r);
        if (op == SourceOp::Copy && !toMono && !sameBitmap) {
            CopyRows(dst.surface, src.surface, r, dx, dy);
            continue;
        }
        // Rows in the order that keeps an overlapping copy within one bitmap
        // correct.
        const bool upwards = sameBitmap && dy < 0;
        for (long k = 0; k < r.bottom - r.top; ++k) {
            long row = upwards ? r.bottom - 1 - k : r.top + k;
            uint32_t *d = dst.surface.pixels + size_t(row) * size_t(dst.surface.stride) + r.left;
            const uint32_t *s =
                src.surface.pixels + size_t(row + dy) * size_t(src.surface.stride) + r.left + dx;
            if (op == SourceOp::Copy && !toMono)
                std::memmove(d, s, size_t(r.right - r.left) * sizeof(uint32_t));
            else
                BlitRow(d, s, r.right - r.left, op, toMono);
        }
    }
}

}  // namespace

BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop)
{
    Object *dstDc = Lookup(hdc, Kind::Dc);
    if (dstDc == nullptr)
        return FALSE;
    // A negative extent reaches back from the start and keeps the start's own
    // pixel, on both sides alike (nothing is mirrored): x = 20, cx = -10 with
    // x1 = 12 copies source columns 3..12 to destination columns 11..20.
    long long left = x, top = y, srcLeft = x1, srcTop = y1, width = cx, height = cy;
    if (width < 0) {
        left += width + 1;
        srcLeft += width + 1;
        width = -width;
    }
    if (height < 0) {
        top += height + 1;
        srcTop += height + 1;
        height = -height;
    }
    PatternOp patternOp;
    if (PatternOpOf(rop, &patternOp))
        return width > 0 && height > 0 ? PatternFill(dstDc->dc, long(left), long(top), long(width),
                                                     long(height), patternOp)
                                       : TRUE;
    SourceOp op;
    if (!SourceOpOf(rop, &op))
        return FALSE;
    Object *srcDc = Lookup(hdcSrc, Kind::Dc);
    if (srcDc == nullptr)
        return FALSE;
    Target dst, src;
    if (width == 0 || height == 0 || !TargetOf(dstDc->dc, &dst) || !TargetOf(srcDc->dc, &src))
        return TRUE;
    const long dx = long(srcLeft - left), dy = long(srcTop - top);  // source = dest + (dx, dy)
    RECT pieces[kMaxClipRects * kMaxClipRects];
    const int count = CopyPieces(
        dst, src, kp::ClampedRect(left, top, left + width, top + height), dx, dy, pieces);
    CopyPiecesWith(dst, src, pieces, count, dx, dy, op);
    return TRUE;
}

int WINAPI FillRect(HDC hdc, const RECT *rect, HBRUSH brush)
{
    Object *o = Lookup(hdc, Kind::Dc);
    COLORREF color;
    if (o == nullptr || rect == nullptr || !BrushColor(brush, &color))
        return 0;
    // A pattern fill of the rectangle's extents with this brush: an inverted
    // rectangle fills as a negative extent does.
    long left, right, top, bottom;
    Span(rect->left, long(rect->right) - rect->left, &left, &right);
    Span(rect->top, long(rect->bottom) - rect->top, &top, &bottom);
    Target t;
    if (TargetOf(o->dc, &t)) {
        FillOnTarget(t, left, top, right, bottom, StoredPixel(t, color));
        NoteWritten(t, kp::ClampedRect(left, top, right, bottom));
    }
    return 1;
}
