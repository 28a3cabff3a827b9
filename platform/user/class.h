// Window classes: a fixed table of the classes registered in this process.
#pragma once

#include <windows.h>

#include <string>

namespace kp::user {

struct WindowClass {
    bool used = false;
    ATOM atom = 0;
    std::string name;
    UINT style = 0;
    WNDPROC wndProc = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HICON iconSmall = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
};

constexpr int kMaxClasses = 64;

// The class for a name (compared without regard to case) or an atom.
WindowClass *FindClass(LPCSTR nameOrAtom);
void ForgetClasses();

}  // namespace kp::user
