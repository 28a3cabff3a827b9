#include "host_window.h"

#include <algorithm>
#include <new>

namespace kp::host {

void HostWindow::SetClientSize(int clientWidth, int clientHeight)
{
    width = std::max(clientWidth, 0);
    height = std::max(clientHeight, 0);
    pointer.SetClientSize(width, height);
}

bool WindowRegistry::Add(HostWindow *window)
{
    std::unique_ptr<HostWindow> owned(window);
    try {
        windows_.push_back(std::move(owned));
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

void WindowRegistry::Remove(HostWindow *window)
{
    auto it = std::find_if(windows_.begin(), windows_.end(),
                           [window](const auto &w) { return w.get() == window; });
    if (it != windows_.end())
        windows_.erase(it);
}

bool WindowRegistry::Contains(const HostWindow *window) const
{
    return std::any_of(windows_.begin(), windows_.end(),
                       [window](const auto &w) { return w.get() == window; });
}

HostWindow *WindowRegistry::Find(HWND hwnd) const
{
    return Find<HostWindow>([hwnd](const HostWindow &w) { return w.hwnd == hwnd; });
}

void WindowRegistry::PresentAll() const
{
    for (const auto &w : windows_)
        if (w->presenter && w->Showing())
            w->presenter->Present();
}

}  // namespace kp::host
