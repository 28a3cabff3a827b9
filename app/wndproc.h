// The window procedure of the class "paint": the program's whole event handling.
#pragma once

#include <windows.h>

LRESULT CALLBACK PaintWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
