// What every host keeps of a window, and the host's list of them.
//
// Each host extends HostWindow with what its window system needs (an SDL
// window, a Wayland surface, a page's canvas, pixels in memory) and keeps its
// windows in one WindowRegistry, which owns them.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "../user/host.h"
#include "pointer_state.h"
#include "presenter.h"

namespace kp::host {

struct HostWindow {
    HostWindow(HWND window, gdi::WindowSurface *pixels) : hwnd(window), surface(pixels) {}
    virtual ~HostWindow() = default;
    HostWindow(const HostWindow &) = delete;
    HostWindow &operator=(const HostWindow &) = delete;

    // The client size that USER knows, in logical pixels; the pointer's
    // client area follows it.
    void SetClientSize(int clientWidth, int clientHeight);
    // Normal or maximized: on the screen, taking input.
    bool Showing() const { return state == ShowState::Normal || state == ShowState::Maximized; }

    const HWND hwnd;
    gdi::WindowSurface *const surface;    // USER's, for the window's life
    ShowState state = ShowState::Hidden;  // as the host knows it
    int width = 0;
    int height = 0;
    PointerState pointer;
    std::unique_ptr<Presenter> presenter;  // shows the surface's changes
};

class WindowRegistry {
  public:
    // Takes window over; false (and window deleted) when there is no memory.
    bool Add(HostWindow *window);
    // Deletes the window; nothing for one that is not here.
    void Remove(HostWindow *window);
    void Clear() { windows_.clear(); }

    bool Contains(const HostWindow *window) const;
    HostWindow *Find(HWND hwnd) const;
    // The first window of the host's own kind W that match says is the one.
    template <class W, class Match> W *Find(Match match) const
    {
        for (const auto &w : windows_)
            if (match(static_cast<const W &>(*w)))
                return static_cast<W *>(w.get());
        return nullptr;
    }
    // Calls fn(W &) for each window, in creation order.
    template <class W, class Fn> void ForEach(Fn fn) const
    {
        for (const auto &w : windows_)
            fn(static_cast<W &>(*w));
    }

    bool Empty() const { return windows_.empty(); }
    size_t Size() const { return windows_.size(); }
    HostWindow &At(size_t i) const { return *windows_[i]; }

    // Shows what every showing window's surface changed.
    void PresentAll() const;

  private:
    std::vector<std::unique_ptr<HostWindow>> windows_;
};

}  // namespace kp::host
