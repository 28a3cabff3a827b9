#include "copy_tracking.h"

#include "objects.h"
#include "raster.h"
#include "rects.h"
#include "window_surface.h"

namespace kp::gdi {

namespace {

uint32_t lastToken = 0;

uint32_t NewToken()
{
    if (++lastToken == 0)
        ++lastToken;
    return lastToken;
}

// area grown by r, which now holds a copy too: still one rectangle, so the
// larger of the two unless together they make one.
RECT Grow(const RECT &area, const RECT &r)
{
    if (Empty(area) || Contains(r, area))
        return r;
    if (Contains(area, r))
        return area;
    const RECT both = BoundingBox(area, r);
    if (Area(both) == Area(area) + Area(r) - Area(Intersection(area, r)))
        return both;
    return Area(r) > Area(area) ? r : area;
}

// Copies the destination rectangle r from the source pixels at r + (dx, dy).
void CopyRect(const Target &dst, const Target &src, const RECT &r, long dx, long dy)
{
    if (Empty(r))
        return;
    CopyRows(dst.surface, src.surface, r, dx, dy);
    dst.window->Copied(r);
}

}  // namespace

void WindowCopies::Written(const RECT &rect, int width, int height)
{
    const RECT r = Intersection(rect, area_);
    if (!Empty(r))
        holes_.Add(r, width, height);
}

void WindowCopies::Clip(int width, int height)
{
    area_ = Intersection(area_, RECT{0, 0, width, height});
    holes_.ClipTo(width, height);
}

void BitmapWritten(BitmapCopies &copies, const RECT &rect, int width, int height)
{
    if (copies.token != 0)
        copies.changes.Add(rect, width, height);
}

void CopyBitmapToWindow(const Target &dst, const Target &src, const RECT *pieces, int count,
                        long dx, long dy)
{
    WindowSurface &window = *dst.window;
    WindowCopies &mine = window.copies_;
    BitmapCopies &theirs = src.bitmap->bitmap.copies;
    const auto handle = static_cast<HBITMAP>(HandleOf(src.bitmap));
    const bool continues = window.CopyTracking() && mine.token_ != 0 &&
                           mine.token_ == theirs.token && mine.bitmap_ == handle &&
                           mine.dx_ == dx && mine.dy_ == dy;
    if (!continues) {
        RECT largest = {0, 0, 0, 0};
        for (int i = 0; i < count; ++i) {
            CopyRect(dst, src, pieces[i], dx, dy);
            if (Area(pieces[i]) > Area(largest))
                largest = pieces[i];
        }
        if (!window.CopyTracking())
            return;
        // Rule 2: a new pair; the bitmap's changes count from now.
        mine.Forget();
        mine.token_ = theirs.token = NewToken();
        mine.bitmap_ = handle;
        mine.dx_ = dx;
        mine.dy_ = dy;
        mine.area_ = largest;
        theirs.changes.Clear();
        return;
    }
    for (int i = 0; i < count; ++i) {
        const RECT &piece = pieces[i];
        RECT outside[4];
        const int n = PartsOutside(piece, mine.area_, outside);
        for (int k = 0; k < n; ++k)
            CopyRect(dst, src, outside[k], dx, dy);
        const RECT inside = Intersection(piece, mine.area_);
        for (int k = 0; k < mine.holes_.Count(); ++k)
            CopyRect(dst, src, Intersection(mine.holes_[k], inside), dx, dy);
        for (int k = 0; k < theirs.changes.Count(); ++k)
            CopyRect(dst, src, Intersection(Offset(theirs.changes[k], -dx, -dy), inside), dx, dy);
    }
    for (int i = 0; i < count; ++i) {
        mine.holes_.Subtract(pieces[i]);
        theirs.changes.Subtract(Offset(pieces[i], dx, dy));
        mine.area_ = Grow(mine.area_, pieces[i]);
    }
}

bool CopiesHold(const WindowSurface &window)
{
    const WindowCopies &m = window.copies_;
    const Object *bitmap = Lookup(m.bitmap_, Kind::Bitmap);
    if (m.token_ == 0 || bitmap == nullptr || bitmap->bitmap.copies.token != m.token_)
        return true;  // no copy claimed
    const BitmapData &b = bitmap->bitmap;
    const Surface pixels = window.Pixels();
    const RECT area =
        Intersection(m.area_, Intersection(RECT{0, 0, pixels.width, pixels.height},
                                           Offset(RECT{0, 0, b.width, b.height}, -m.dx_, -m.dy_)));
    auto excluded = [&](LONG x, LONG y) {
        const POINT p = {x, y}, q = {x + LONG(m.dx_), y + LONG(m.dy_)};
        for (int i = 0; i < m.holes_.Count(); ++i)
            if (PtInRect(&m.holes_[i], p))
                return true;
        for (int i = 0; i < b.copies.changes.Count(); ++i)
            if (PtInRect(&b.copies.changes[i], q))
                return true;
        return false;
    };
    for (LONG y = area.top; y < area.bottom; ++y) {
        const uint32_t *row = pixels.pixels + size_t(y) * pixels.stride;
        const uint32_t *from = b.bits + size_t(y + m.dy_) * b.width + m.dx_;
        for (LONG x = area.left; x < area.right; ++x)
            if (row[x] != from[x] && !excluded(x, y))
                return false;
    }
    return true;
}

}  // namespace kp::gdi
