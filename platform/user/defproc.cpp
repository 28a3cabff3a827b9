// The default window procedure.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "class.h"
#include "window.h"

using namespace kp::user;

namespace {

LRESULT EraseBackground(HWND hwnd, HDC hdc)
{
    Window *w = FromHandle(hwnd);
    if (w == nullptr || hdc == nullptr || w->cls->background == nullptr)
        return 0;
    // A paint DC is clipped to the update region, so filling the whole client
    // fills exactly the area to be erased.
    RECT client = ClientRectOf(*w);
    return FillRect(hdc, &client, w->cls->background) ? 1 : 0;
}

LRESULT SystemCommand(HWND hwnd, WPARAM command)
{
    switch (command & 0xFFF0) {
    case SC_CLOSE:
        SendMessageA(hwnd, WM_CLOSE, 0, 0);
        break;
    case SC_MINIMIZE:
        ShowWindow(hwnd, SW_MINIMIZE);
        break;
    case SC_MAXIMIZE:
        ShowWindow(hwnd, SW_MAXIMIZE);
        break;
    case SC_RESTORE:
        ShowWindow(hwnd, SW_RESTORE);
        break;
    default:
        break;
    }
    return 0;
}

LRESULT CopyText(const Window &w, WPARAM size, LPARAM buffer)
{
    char *out = reinterpret_cast<char *>(buffer);
    if (out == nullptr || size == 0)
        return 0;
    size_t n = std::min(w.text.size(), static_cast<size_t>(size) - 1);
    std::memcpy(out, w.text.data(), n);
    out[n] = '\0';
    return static_cast<LRESULT>(n);
}

void SetText(Window &w, const char *text)
{
    w.text = (text && !IS_INTRESOURCE(text)) ? text : "";
}

}  // namespace

LRESULT WINAPI DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window *w = FromHandle(hwnd);
    if (w == nullptr)
        return 0;
    switch (message) {
    case WM_NCCREATE: {
        // The caption comes from the creation record here, as on Windows: a
        // procedure that handles WM_NCCREATE itself gets no caption.
        const CREATESTRUCTA *cs = reinterpret_cast<const CREATESTRUCTA *>(lParam);
        if (cs)
            SetText(*w, cs->lpszName);
        return TRUE;
    }
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_SYSCOMMAND:
        return SystemCommand(hwnd, wParam);
    case WM_ERASEBKGND:
        return EraseBackground(hwnd, reinterpret_cast<HDC>(wParam));
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_SETTEXT:
        SetText(*w, reinterpret_cast<const char *>(lParam));
        return TRUE;
    case WM_GETTEXT:
        return CopyText(*w, wParam, lParam);
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(w->text.size());
    default:
        return 0;
    }
}
