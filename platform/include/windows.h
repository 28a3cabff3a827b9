// The Win32 USER/GDI subset that Kelvane Paint and its tests use, for hosts
// that are not Windows. Names, types and values are Windows' own, so that the
// same program sources compile here and against the real SDK.
#pragma once

#include <stddef.h>
#include <stdint.h>

#define WINAPI
#define CALLBACK
#define APIENTRY

#ifdef __cplusplus
#define KP_EXTERN_C extern "C"
#else
#define KP_EXTERN_C
#endif

#ifndef NULL
#define NULL 0
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef TRUE
#define TRUE 1
#endif

// ---- Basic types -----------------------------------------------------------

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint16_t ATOM;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef int INT;
typedef char CHAR;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef void *LPVOID;
typedef void *HANDLE;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef DWORD COLORREF;

// Distinct handle types: a handle of one kind never converts to another.
#define KP_DECLARE_HANDLE(name)                                                                    \
    struct name##__ {                                                                              \
        int unused;                                                                                \
    };                                                                                             \
    typedef struct name##__ *name

KP_DECLARE_HANDLE(HWND);
KP_DECLARE_HANDLE(HINSTANCE);
KP_DECLARE_HANDLE(HDC);
KP_DECLARE_HANDLE(HBITMAP);
KP_DECLARE_HANDLE(HPEN);
KP_DECLARE_HANDLE(HBRUSH);
KP_DECLARE_HANDLE(HICON);
KP_DECLARE_HANDLE(HMENU);
KP_DECLARE_HANDLE(HRGN);
typedef HINSTANCE HMODULE;
typedef HICON HCURSOR;
typedef void *HGDIOBJ;

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *LPPOINT;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *LPRECT;
typedef const RECT *LPCRECT;

typedef struct tagSIZE {
    LONG cx;
    LONG cy;
} SIZE, *LPSIZE;

typedef LRESULT(CALLBACK *WNDPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagWNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
} WNDCLASSEXA;

typedef struct tagCREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
} CREATESTRUCTA;

typedef struct tagMSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG, *LPMSG;

typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

// ---- Macros ----------------------------------------------------------------

#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define MAKELONG(a, b) ((LONG)(((WORD)((a)&0xffff)) | ((DWORD)((WORD)((b)&0xffff))) << 16))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELRESULT(l, h) ((LRESULT)(DWORD)MAKELONG(l, h))
#define RGB(r, g, b)                                                                               \
    ((COLORREF)(((BYTE)(r) | ((WORD)((BYTE)(g)) << 8)) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(rgb) ((BYTE)(rgb))
#define GetGValue(rgb) ((BYTE)(((WORD)(rgb)) >> 8))
#define GetBValue(rgb) ((BYTE)((rgb) >> 16))
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

// ---- Window messages -------------------------------------------------------

#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_ACTIVATEAPP 0x001C
#define WM_SETCURSOR 0x0020
#define WM_MOUSEACTIVATE 0x0021
#define WM_GETMINMAXINFO 0x0024
#define WM_WINDOWPOSCHANGING 0x0046
#define WM_WINDOWPOSCHANGED 0x0047
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_NCCALCSIZE 0x0083
#define WM_NCHITTEST 0x0084
#define WM_NCPAINT 0x0085
#define WM_NCACTIVATE 0x0086
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_MOUSEFIRST 0x0200
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_RBUTTONDBLCLK 0x0206
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MBUTTONDBLCLK 0x0209
#define WM_MOUSEWHEEL 0x020A
#define WM_XBUTTONDOWN 0x020B
#define WM_XBUTTONUP 0x020C
#define WM_XBUTTONDBLCLK 0x020D
#define WM_MOUSELAST 0x020D
#define WM_USER 0x0400

#define SC_SIZE 0xF000
#define SC_MINIMIZE 0xF020
#define SC_MAXIMIZE 0xF030
#define SC_CLOSE 0xF060
#define SC_RESTORE 0xF120

#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2

#define XBUTTON1 0x0001
#define XBUTTON2 0x0002

// Key state in the wParam of mouse messages.
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010
#define MK_XBUTTON1 0x0020
#define MK_XBUTTON2 0x0040

// PeekMessage flags.
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// ---- Window styles and creation --------------------------------------------

#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_THICKFRAME 0x00040000L
#define WS_SYSMENU 0x00080000L
#define WS_CAPTION 0x00C00000L
#define WS_VISIBLE 0x10000000L
#define WS_MINIMIZE 0x20000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_OVERLAPPEDWINDOW                                                                        \
    (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008

#define CW_USEDEFAULT ((int)0x80000000)

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080

#define RDW_INVALIDATE 0x0001
#define RDW_ERASE 0x0004

// GetSystemMetrics indices.
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXFRAME 32
#define SM_CYFRAME 33
#define SM_CYCAPTION 4
#define SM_CXMAXTRACK 59
#define SM_CYMAXTRACK 60
#define SM_CXSIZEFRAME SM_CXFRAME
#define SM_CYSIZEFRAME SM_CYFRAME
#define SM_CXPADDEDBORDER 92

// System resources.
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)
#define IDI_HAND MAKEINTRESOURCEA(32513)
#define IDI_QUESTION MAKEINTRESOURCEA(32514)
#define IDI_EXCLAMATION MAKEINTRESOURCEA(32515)
#define IDI_ASTERISK MAKEINTRESOURCEA(32516)
#define IDI_WINLOGO MAKEINTRESOURCEA(32517)
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)

// ---- GDI constants ---------------------------------------------------------

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define DC_BRUSH 18
#define DC_PEN 19

#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_DASHDOT 3
#define PS_DASHDOTDOT 4
#define PS_NULL 5
#define PS_INSIDEFRAME 6

#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_BITMAP 7
#define OBJ_MEMDC 10

#define SRCCOPY 0x00CC0020
#define NOTSRCCOPY 0x00330008
#define SRCPAINT 0x00EE0086
#define SRCAND 0x008800C6
#define SRCINVERT 0x00660046
#define PATCOPY 0x00F00021
#define PATINVERT 0x005A0049
#define DSTINVERT 0x00550009
#define BLACKNESS 0x00000042
#define WHITENESS 0x00FF0062

#define CLR_INVALID 0xFFFFFFFF

// System colours: (HBRUSH)(COLOR_xxx + 1) may stand for a brush.
#define COLOR_SCROLLBAR 0
#define COLOR_BACKGROUND 1
#define COLOR_DESKTOP COLOR_BACKGROUND
#define COLOR_ACTIVECAPTION 2
#define COLOR_INACTIVECAPTION 3
#define COLOR_MENU 4
#define COLOR_WINDOW 5
#define COLOR_WINDOWFRAME 6
#define COLOR_MENUTEXT 7
#define COLOR_WINDOWTEXT 8
#define COLOR_CAPTIONTEXT 9
#define COLOR_BTNFACE 15
#define COLOR_3DFACE COLOR_BTNFACE
#define COLOR_BTNSHADOW 16
#define COLOR_GRAYTEXT 17
#define COLOR_BTNTEXT 18
#define COLOR_BTNHIGHLIGHT 20

#define HGDI_ERROR ((HGDIOBJ)(LONG_PTR)-1)

// ---- USER ------------------------------------------------------------------

KP_EXTERN_C ATOM WINAPI RegisterClassExA(const WNDCLASSEXA *lpwcx);
KP_EXTERN_C BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance);
KP_EXTERN_C HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName,
                                        DWORD dwStyle, int X, int Y, int nWidth, int nHeight,
                                        HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                                        LPVOID lpParam);
KP_EXTERN_C BOOL WINAPI DestroyWindow(HWND hWnd);
KP_EXTERN_C BOOL WINAPI IsWindow(HWND hWnd);
KP_EXTERN_C BOOL WINAPI IsWindowVisible(HWND hWnd);
KP_EXTERN_C BOOL WINAPI IsIconic(HWND hWnd);
KP_EXTERN_C BOOL WINAPI IsZoomed(HWND hWnd);
KP_EXTERN_C BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow);
KP_EXTERN_C BOOL WINAPI UpdateWindow(HWND hWnd);
KP_EXTERN_C int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount);

KP_EXTERN_C BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
KP_EXTERN_C BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                                     UINT wRemoveMsg);
KP_EXTERN_C BOOL WINAPI TranslateMessage(const MSG *lpMsg);
KP_EXTERN_C LRESULT WINAPI DispatchMessageA(const MSG *lpMsg);
KP_EXTERN_C BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
KP_EXTERN_C LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
KP_EXTERN_C void WINAPI PostQuitMessage(int nExitCode);
KP_EXTERN_C LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

KP_EXTERN_C HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint);
KP_EXTERN_C BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT *lpPaint);
KP_EXTERN_C BOOL WINAPI InvalidateRect(HWND hWnd, const RECT *lpRect, BOOL bErase);
KP_EXTERN_C BOOL WINAPI ValidateRect(HWND hWnd, const RECT *lpRect);
KP_EXTERN_C BOOL WINAPI GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL bErase);
KP_EXTERN_C HDC WINAPI GetDC(HWND hWnd);
KP_EXTERN_C int WINAPI ReleaseDC(HWND hWnd, HDC hDC);

KP_EXTERN_C HWND WINAPI GetDesktopWindow(void);
KP_EXTERN_C BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect);
KP_EXTERN_C BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect);
KP_EXTERN_C BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy,
                                     UINT uFlags);
KP_EXTERN_C BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint);
KP_EXTERN_C int WINAPI GetSystemMetrics(int nIndex);
// The window rectangle around a client rectangle for the given styles. The
// layer's windows have no menus: bMenu must be FALSE.
KP_EXTERN_C BOOL WINAPI AdjustWindowRectEx(LPRECT lpRect, DWORD dwStyle, BOOL bMenu,
                                           DWORD dwExStyle);

KP_EXTERN_C HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName);
KP_EXTERN_C HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName);

KP_EXTERN_C HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);

KP_EXTERN_C int WINAPI FillRect(HDC hDC, const RECT *lprc, HBRUSH hbr);

// Rectangle arithmetic. A rectangle is empty when right <= left or
// bottom <= top; an empty result is always (0, 0, 0, 0).
KP_EXTERN_C BOOL WINAPI SetRectEmpty(LPRECT lprc);
KP_EXTERN_C BOOL WINAPI IsRectEmpty(const RECT *lprc);
KP_EXTERN_C BOOL WINAPI EqualRect(const RECT *lprc1, const RECT *lprc2);
KP_EXTERN_C BOOL WINAPI PtInRect(const RECT *lprc, POINT pt);
KP_EXTERN_C BOOL WINAPI OffsetRect(LPRECT lprc, int dx, int dy);
KP_EXTERN_C BOOL WINAPI IntersectRect(LPRECT lprcDst, const RECT *lprcSrc1, const RECT *lprcSrc2);
KP_EXTERN_C BOOL WINAPI UnionRect(LPRECT lprcDst, const RECT *lprcSrc1, const RECT *lprcSrc2);
KP_EXTERN_C BOOL WINAPI SubtractRect(LPRECT lprcDst, const RECT *lprcSrc1, const RECT *lprcSrc2);

// ---- GDI -------------------------------------------------------------------

KP_EXTERN_C HGDIOBJ WINAPI GetStockObject(int i);
KP_EXTERN_C HDC WINAPI CreateCompatibleDC(HDC hdc);
KP_EXTERN_C HBITMAP WINAPI CreateCompatibleBitmap(HDC hdc, int cx, int cy);
KP_EXTERN_C HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color);
KP_EXTERN_C HBRUSH WINAPI CreateSolidBrush(COLORREF color);
KP_EXTERN_C HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h);
KP_EXTERN_C BOOL WINAPI DeleteObject(HGDIOBJ ho);
KP_EXTERN_C BOOL WINAPI DeleteDC(HDC hdc);
KP_EXTERN_C DWORD WINAPI GetObjectType(HGDIOBJ h);
KP_EXTERN_C HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type);
KP_EXTERN_C BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT lppt);
KP_EXTERN_C BOOL WINAPI LineTo(HDC hdc, int x, int y);
KP_EXTERN_C BOOL WINAPI GetCurrentPositionEx(HDC hdc, LPPOINT lppt);
KP_EXTERN_C BOOL WINAPI PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop);
KP_EXTERN_C BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1,
                               DWORD rop);
KP_EXTERN_C COLORREF WINAPI GetPixel(HDC hdc, int x, int y);
KP_EXTERN_C COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color);

// ---- Process start-up ------------------------------------------------------

// The program's entry point, called by the platform's start-up code.
KP_EXTERN_C int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine,
                               int nCmdShow);
