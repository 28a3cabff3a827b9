#include "wndproc.h"

#include "../draw/canvas.h"
#include "../draw/pen.h"

LRESULT CALLBACK PaintWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        hdcCanvas = CreateBackBuffer(hwnd, &hbmCanvas, WHITE_BRUSH);
        CreateInitialPen();
        return 0;

    case WM_DESTROY:
        ReleaseDrawingState();
        PostQuitMessage(0);
        return 0;

    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        BitBlt(hdc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
               ps.rcPaint.bottom - ps.rcPaint.top, hdcCanvas, ps.rcPaint.left, ps.rcPaint.top,
               SRCCOPY);
        EndPaint(hwnd, &ps);
        return 0;
    }

    case WM_MOUSEMOVE:
        // Only the left button alone draws: Shift, Ctrl or another button
        // held with it means the move is ignored (but still handled).
        if (wParam == MK_LBUTTON) {
            // Coordinates are unsigned 16-bit values, never sign-extended.
            LineTo(hdcCanvas, LOWORD(lParam), HIWORD(lParam));
            InvalidateRect(hwnd, NULL, FALSE);
        }
        return 0;

    case WM_LBUTTONDOWN:
        MoveToEx(hdcCanvas, LOWORD(lParam), HIWORD(lParam), NULL);
        return 0;

    case WM_RBUTTONDOWN:
        ChangePenAtRandom();
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
