// Helpers for USER tests: a headless host driven from the test's own thread,
// a window class whose procedure records every message it gets, and a way to
// make it answer some messages itself.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

#include "host/headless/headless.h"
#include "user/host_events.h"

namespace kptest {

struct Logged {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class UserTest : public ::testing::Test {
  protected:
    using Handler = std::function<LRESULT(HWND, WPARAM, LPARAM)>;

    static constexpr const char *kClass = "recorder";

    void SetUp() override
    {
        kp::user::ResetForNewProcess();
        log().clear();
        handlers().clear();
    }

    // Every message the recording procedure got, in order.
    static std::vector<Logged> &log()
    {
        static std::vector<Logged> messages;
        return messages;
    }
    // Messages that the procedure answers itself instead of DefWindowProcA.
    static std::map<UINT, Handler> &handlers()
    {
        static std::map<UINT, Handler> table;
        return table;
    }

    static LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        log().push_back(Logged{hwnd, message, wParam, lParam});
        auto it = handlers().find(message);
        if (it != handlers().end())
            return it->second(hwnd, wParam, lParam);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    static WNDCLASSEXA ClassRecord(const char *name, HBRUSH background = nullptr)
    {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof(WNDCLASSEXA);
        wc.lpfnWndProc = RecordingProc;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.hbrBackground = background ? background : (HBRUSH)GetStockObject(WHITE_BRUSH);
        wc.lpszClassName = name;
        return wc;
    }

    static ATOM Register(const char *name = kClass, HBRUSH background = nullptr, UINT style = 0)
    {
        WNDCLASSEXA wc = ClassRecord(name, background);
        wc.style = style;
        return RegisterClassExA(&wc);
    }

    static HWND Create(int width = 600, int height = 500, const char *cls = kClass,
                       DWORD style = WS_OVERLAPPEDWINDOW)
    {
        return CreateWindowExA(0, cls, "test window", style, CW_USEDEFAULT, CW_USEDEFAULT, width,
                               height, NULL, NULL, GetModuleHandleA(NULL), NULL);
    }

    // A shown and painted window of the recording class (registered here if
    // it is not yet), with the log cleared afterwards.
    static HWND ShownWindow(int width = 600, int height = 500)
    {
        Register();  // fails harmlessly when the class exists
        HWND hwnd = Create(width, height);
        ShowWindow(hwnd, SW_SHOWNORMAL);
        UpdateWindow(hwnd);
        DispatchAll();
        log().clear();
        return hwnd;
    }

    // Dispatches every message the thread's queue yields without waiting
    // (WM_PAINT included, as often as it comes); their numbers, in order.
    static std::vector<UINT> DispatchAll(HWND filter = nullptr)
    {
        std::vector<UINT> got;
        MSG msg;
        for (int guard = 0; guard < 10000 && PeekMessageA(&msg, filter, 0, 0, PM_REMOVE); ++guard) {
            got.push_back(msg.message);
            DispatchMessageA(&msg);
        }
        return got;
    }

    // The messages that hwnd got, in order.
    static std::vector<UINT> MessagesOf(HWND hwnd)
    {
        std::vector<UINT> list;
        for (const Logged &m : log())
            if (m.hwnd == hwnd)
                list.push_back(m.message);
        return list;
    }

    static int CountOf(UINT message)
    {
        int n = 0;
        for (const Logged &m : log())
            n += m.message == message ? 1 : 0;
        return n;
    }

    kp::host::HeadlessHost host;
};

// Whether every pixel of image inside rect has the value pixel.
inline bool AllPixelsIn(const kp::host::Image &image, const RECT &rect, uint32_t pixel)
{
    for (LONG y = rect.top; y < rect.bottom; ++y)
        for (LONG x = rect.left; x < rect.right; ++x)
            if (image.At(x, y) != pixel)
                return false;
    return true;
}

}  // namespace kptest
