// What the headless host's files share: its window records and events.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "headless.h"

namespace kp::host {

// A window as the in-memory window system keeps it.
struct HostWindow {
    HWND hwnd = nullptr;
    std::string title;
    ShowState state = ShowState::Hidden;
    gdi::WindowSurface *surface = nullptr;  // USER's, for the window's life

    // What the "display" shows of the window: width x height pixels, which
    // only ever receive what the surface's damage says changed, so that a
    // test sees exactly what a real window system would be given.
    std::vector<uint32_t> shown;
    int width = 0;
    int height = 0;

    // The client size of the normal (not minimized, not maximized) window,
    // which a restore goes back to. A hidden window's new size becomes the
    // normal size when it is shown, unless it is shown maximized.
    int normalWidth = 0;
    int normalHeight = 0;
    bool sizedWhileHidden = false;
};

struct HeadlessHost::Event {
    enum class Kind {
        Move,
        Button,
        CoverAndUncover,
        Minimize,
        Restore,
        Maximize,
        Resize,
        Close,
        Scribble,
        Call,
        Quit,
        Wake,
    };
    Kind kind = Kind::Move;
    HWND hwnd = nullptr;
    UINT message = 0;
    int x = 0;  // position, or the new client size
    int y = 0;
    WPARAM keys = 0;
    RECT rect = {0, 0, 0, 0};
    uint32_t pixel = 0;
    const std::function<void()> *call = nullptr;
    bool *done = nullptr;
};

// How long a wait may take before it is taken for a deadlock.
constexpr std::chrono::seconds kGuard(HeadlessHost::kDeadlockGuardSeconds);

// A hung program must fail a test, not hang it: says what waited, aborts.
[[noreturn]] void Deadlock(const char *what);

}  // namespace kp::host
