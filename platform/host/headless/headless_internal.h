// What the headless host's files share: its window records and events.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "../host_window.h"
#include "headless.h"

namespace kp::host {

// A window as the in-memory window system keeps it: what it shows is
// width x height pixels, which only ever receive what the surface's damage
// says changed (MemoryPresenter), so that a test sees exactly what a real
// window system would be given.
struct HeadlessWindow : HostWindow {
    HeadlessWindow(HWND window, gdi::WindowSurface *pixels, const char *caption)
        : HostWindow(window, pixels), title(caption ? caption : "")
    {
    }

    std::string title;
    std::vector<uint32_t> shown;
};

// Presents a window's damage into its shown pixels and logs each rectangle.
class MemoryPresenter final : public Presenter {
  public:
    MemoryPresenter(HeadlessWindow &window, PresentRecord *log, long *total)
        : window_(window), log_(log), total_(total)
    {
    }
    void Present() override;

  private:
    HeadlessWindow &window_;
    PresentRecord *log_;  // HeadlessHost::kPresentLogSize records, a ring
    long *total_;
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
