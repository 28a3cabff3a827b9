// Bitmaps compatible with a DC.
#include <cstdlib>

#include "objects.h"

using namespace kp::gdi;

HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy)
{
    Object *dc = Lookup(hdc, Kind::Dc);
    if (dc == nullptr || cx < 0 || cy < 0)
        return nullptr;
    // As on Windows, an empty size gives the default 1 x 1 monochrome bitmap.
    if (cx == 0 || cy == 0)
        return DefaultBitmap();

    // The format is what the DC shows: a window DC shows the display's 32-bit
    // pixels, a memory DC its selected bitmap (monochrome when fresh).
    bool mono = false;
    if (dc->dc.memory) {
        Object *selected = Lookup(dc->dc.bitmap, Kind::Bitmap);
        mono = selected == nullptr || selected->bitmap.mono;
    }

    // A display bitmap starts black, a monochrome one too; calloc gives zero
    // pages cheaply. Sizes whose byte count does not fit are refused.
    size_t pixels = size_t(cx) * size_t(cy);
    if (pixels > (size_t(1) << 31) / sizeof(uint32_t))
        return nullptr;
    auto *bits = static_cast<uint32_t *>(std::calloc(pixels, sizeof(uint32_t)));
    if (bits == nullptr)
        return nullptr;
    Object *o = Allocate(Kind::Bitmap);
    if (o == nullptr) {
        std::free(bits);
        return nullptr;
    }
    o->bitmap = {bits, cx, cy, mono, {0, {}}};
    return static_cast<HBITMAP>(HandleOf(o));
}
