#include "recording_platform.h"

#include <cstdint>
#include <set>
#include <string>

namespace recording {

std::vector<std::string> calls;
bool failNextPen = false;
std::set<const void *> bitmaps;
const void *currentPen = nullptr;  // the canvas DC's pen; nullptr: its default pen
int screenWidth = 1920;
int screenHeight = 1080;

namespace {
uintptr_t nextHandle = 100;

std::string H(const void *h)
{
    return std::to_string(reinterpret_cast<uintptr_t>(h));
}

template <typename T> T NewHandle()
{
    return reinterpret_cast<T>(nextHandle++);
}
}  // namespace

void Reset()
{
    calls.clear();
    failNextPen = false;
    bitmaps.clear();
    currentPen = nullptr;
    nextHandle = 100;
}

}  // namespace recording

using recording::calls;
using recording::H;

// Fixed handles for the objects the platform owns.
static HWND const kDesktop = reinterpret_cast<HWND>(1);
static HGDIOBJ const kStockBrush[] = {reinterpret_cast<HGDIOBJ>(10), reinterpret_cast<HGDIOBJ>(11)};
static HGDIOBJ const kDefaultPen = reinterpret_cast<HGDIOBJ>(20);
static HGDIOBJ const kDefaultBrush = reinterpret_cast<HGDIOBJ>(21);
static HGDIOBJ const kDefaultBitmap = reinterpret_cast<HGDIOBJ>(22);

HWND WINAPI GetDesktopWindow(void)
{
    calls.push_back("GetDesktopWindow()");
    return kDesktop;
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect)
{
    calls.push_back("GetWindowRect(" + H(hwnd) + ")");
    if (hwnd != kDesktop)
        return FALSE;
    *rect = RECT{0, 0, recording::screenWidth, recording::screenHeight};
    return TRUE;
}

HDC WINAPI GetDC(HWND hwnd)
{
    HDC hdc = recording::NewHandle<HDC>();
    calls.push_back("GetDC(" + H(hwnd) + ")=" + H(hdc));
    return hdc;
}

int WINAPI ReleaseDC(HWND hwnd, HDC hdc)
{
    calls.push_back("ReleaseDC(" + H(hwnd) + "," + H(hdc) + ")");
    return 1;
}

HDC WINAPI CreateCompatibleDC(HDC hdc)
{
    HDC mem = recording::NewHandle<HDC>();
    calls.push_back("CreateCompatibleDC(" + H(hdc) + ")=" + H(mem));
    return mem;
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy)
{
    HBITMAP bm = recording::NewHandle<HBITMAP>();
    recording::bitmaps.insert(bm);
    calls.push_back("CreateCompatibleBitmap(" + H(hdc) + "," + std::to_string(cx) + "," +
                    std::to_string(cy) + ")=" + H(bm));
    return bm;
}

HGDIOBJ WINAPI GetStockObject(int i)
{
    calls.push_back("GetStockObject(" + std::to_string(i) + ")");
    return (i >= 0 && i < 2) ? kStockBrush[i] : nullptr;
}

// Returns the DC's default object of the kind selected, which is what a
// fresh memory DC gives back the first time: enough to see which handle the
// code keeps.
HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h)
{
    calls.push_back("SelectObject(" + H(hdc) + "," + H(h) + ")");
    if (h == nullptr)
        return nullptr;
    if (h == kStockBrush[0] || h == kStockBrush[1])
        return kDefaultBrush;
    if (h == kDefaultBrush)
        return kStockBrush[0];
    if (recording::bitmaps.count(h))
        return kDefaultBitmap;
    // A pen: the one it displaces comes back.
    const void *previous = recording::currentPen ? recording::currentPen : kDefaultPen;
    recording::currentPen = h;
    return const_cast<HGDIOBJ>(previous);
}

HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type)
{
    calls.push_back("GetCurrentObject(" + H(hdc) + "," + std::to_string(type) + ")");
    if (type != OBJ_PEN)
        return nullptr;
    return const_cast<HGDIOBJ>(recording::currentPen ? recording::currentPen : kDefaultPen);
}

BOOL WINAPI PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop)
{
    calls.push_back("PatBlt(" + H(hdc) + "," + std::to_string(x) + "," + std::to_string(y) + "," +
                    std::to_string(w) + "," + std::to_string(h) + "," + std::to_string(rop) + ")");
    return TRUE;
}

HPEN WINAPI CreatePen(int style, int width, COLORREF colour)
{
    HPEN pen = nullptr;
    if (!recording::failNextPen)
        pen = recording::NewHandle<HPEN>();
    recording::failNextPen = false;
    calls.push_back("CreatePen(" + std::to_string(style) + "," + std::to_string(width) + "," +
                    std::to_string(colour) + ")=" + H(pen));
    return pen;
}

BOOL WINAPI DeleteDC(HDC hdc)
{
    calls.push_back("DeleteDC(" + H(hdc) + ")");
    return hdc != nullptr;
}

BOOL WINAPI DeleteObject(HGDIOBJ h)
{
    calls.push_back("DeleteObject(" + H(h) + ")");
    return h != nullptr;
}
