// The canvas: a screen-sized memory DC that every stroke is drawn into, and
// the pens it draws with. The window only ever shows copies of it.
#pragma once

#include <windows.h>

// The drawing state, zero until WM_CREATE and again after WM_DESTROY.
extern HDC hdcCanvas;      // memory DC holding hbmCanvas and the current pen
extern HBITMAP hbmCanvas;  // the picture, as large as the screen at creation
extern HPEN hpenCurrent;   // the pen strokes use
extern HPEN hpenSaved;     // the DC's own stock pen, displaced by our first pen

// Builds a memory DC compatible with hwnd's DC holding a screen-sized bitmap
// filled with the stock brush stockBrush. The bitmap's handle goes to
// *bitmapOut; the DC is returned.
HDC CreateBackBuffer(HWND hwnd, HBITMAP *bitmapOut, int stockBrush);

// Creates the solid black one-pixel pen and selects it into hdcCanvas,
// remembering the pen it displaces in hpenSaved.
void CreateInitialPen(void);

// Releases the drawing state: the DC first (which lets go of the bitmap and
// pen selected into it, without deleting them), then the bitmap, then the pen.
void ReleaseDrawingState(void);
