// Runs drawing scripts through the Win32 API and writes what they drew.
//
// A script is text, one operation a line, '#' starting a comment:
//   frame SCRIPT CLASS NAME W H RRGGBB   new W x H bitmap (display format) filled with RRGGBB
//   pen WIDTH RRGGBB                     CreatePen(PS_SOLID, WIDTH, colour), selected
//   brush RRGGBB | brush-stock INDEX     CreateSolidBrush / GetStockObject, selected
//   move X Y | line X Y                  MoveToEx / LineTo
//   patblt X Y W H ROP                   PatBlt with the selected brush
//   fillrect L T R B RRGGBB              FillRect with a solid brush of that colour
//   setpixel X Y RRGGBB                  SetPixel
//   source W H                           a second bitmap with a fixed pattern, for blit
//   blit X Y W H SX SY ROP               BitBlt from the source bitmap
//   selfblit X Y W H SX SY ROP           BitBlt within the frame's own bitmap
//   keep X Y                             this pixel must stay background (checked later)
//   same-as NAME                         this frame must equal frame NAME (checked later)
//   snap [X Y W H]                       read the frame (or that part of it) back with
//                                        GetPixel, write it out and delete the bitmap
// The program's own window procedure, on a window of a registered class:
//   window-open                          CreateWindowExA: WM_CREATE builds the canvas
//   wm MESSAGE WPARAM X Y                SendMessageA with lParam = MAKELPARAM(X, Y)
//   window-pen WIDTH RRGGBB              replace the canvas pen the way a right click does,
//                                        with a chosen pen instead of a random one
//   window-update                        ShowWindow + UpdateWindow: WM_PAINT copies the canvas
//   window-snap SCRIPT CLASS NAME X Y W H [SAME-AS]  read that part of the canvas
//   window-client-snap SCRIPT CLASS NAME X Y W H [SAME-AS]  the same of the client area
//   window-close                         DestroyWindow and drain the queue
// ROP: srccopy srcpaint srcand srcinvert patcopy patinvert dstinvert blackness whiteness.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "../results.h"

namespace conf {

class Runner {
  public:
    explicit Runner(ResultsWriter *out) : out_(out) {}
    ~Runner();
    Runner(const Runner &) = delete;
    Runner &operator=(const Runner &) = delete;

    // Runs every line; stops at the first malformed one. *error names it.
    bool Run(const std::string &script, std::string *error);

    int FramesWritten() const { return framesWritten_; }

  private:
    bool Exec(const std::vector<std::string> &w, std::string *error);
    bool BeginFrame(const std::vector<std::string> &w, std::string *error);
    void Snap(HDC dc, int x, int y, int width, int height);
    void EndFrame();
    void SelectPen(HPEN pen);
    void SelectBrush(HBRUSH brush, bool owned);
    void MakeSource(int width, int height);
    void FreeSource();
    bool OpenWindow(std::string *error);
    void CloseWindow();
    void ChangeWindowPen(int width, COLORREF colour);

    ResultsWriter *out_;
    int framesWritten_ = 0;

    // The frame being drawn.
    Frame frame_;
    HDC dc_ = NULL;
    HBITMAP bitmap_ = NULL;
    HGDIOBJ oldBitmap_ = NULL;
    HGDIOBJ oldPen_ = NULL;
    HGDIOBJ oldBrush_ = NULL;
    HPEN pen_ = NULL;
    HBRUSH brush_ = NULL;  // created by us, or NULL when a stock brush is selected

    HDC sourceDc_ = NULL;
    HBITMAP sourceBitmap_ = NULL;
    HGDIOBJ sourceOldBitmap_ = NULL;

    HWND window_ = NULL;
};

}  // namespace conf
