#include "canvas.h"

HDC hdcCanvas;
HBITMAP hbmCanvas;
HPEN hpenCurrent;
HPEN hpenSaved;

HDC CreateBackBuffer(HWND hwnd, HBITMAP *bitmapOut, int stockBrush)
{
    RECT rcScreen;
    GetWindowRect(GetDesktopWindow(), &rcScreen);
    int width = rcScreen.right;
    int height = rcScreen.bottom;

    HDC hdcWindow = GetDC(hwnd);
    HDC hdcMemory = CreateCompatibleDC(hdcWindow);
    // Compatible with the window's DC, not the new memory DC: the latter
    // would give a monochrome bitmap.
    *bitmapOut = CreateCompatibleBitmap(hdcWindow, width, height);
    SelectObject(hdcMemory, *bitmapOut);

    HGDIOBJ hbrFill = GetStockObject(stockBrush);
    HGDIOBJ hbrOld = SelectObject(hdcMemory, hbrFill);
    PatBlt(hdcMemory, 0, 0, width, height, PATCOPY);
    SelectObject(hdcMemory, hbrOld);

    ReleaseDC(hwnd, hdcWindow);
    return hdcMemory;
}

void CreateInitialPen(void)
{
    hpenCurrent = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    hpenSaved = (HPEN)SelectObject(hdcCanvas, hpenCurrent);
    // Without a first pen nothing was displaced, and a null saved pen could
    // never take a later pen out of the DC before it is deleted: remember the
    // pen the DC still holds, its own stock pen.
    if (hpenSaved == NULL)
        hpenSaved = (HPEN)GetCurrentObject(hdcCanvas, OBJ_PEN);
}

void ReleaseDrawingState(void)
{
    DeleteDC(hdcCanvas);
    DeleteObject(hbmCanvas);
    DeleteObject(hpenCurrent);
    // The handles are dead now; clear them so nothing can use them again.
    hdcCanvas = NULL;
    hbmCanvas = NULL;
    hpenCurrent = NULL;
    hpenSaved = NULL;
}
