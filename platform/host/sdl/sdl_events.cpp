// SDL's window events, turned into the calls of user/host_events.h: what the
// window manager did to a window's size and placement, and its close button.
// The pointer, exposures and keys come from the X events (x11_events.cpp).
#include <windows.h>

#include "../../user/host_events.h"
#include "sdl_host.h"

namespace kp::host {

namespace {

// The client size USER took (a window is never larger than the screen and
// its frame, whatever the window system says): what the window shows.
void Took(SdlWindow &w, SIZE size)
{
    w.SetClientSize(size.cx, size.cy);
}

}  // namespace

bool SdlHost::HandleWindowEvent(const HostEvent &e)
{
    SdlWindow *w = FindWindow(e.window);
    if (w == nullptr)
        return false;
    const HWND hwnd = w->hwnd;
    switch (e.state) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (w->state == ShowState::Minimized || !FollowSize(*w))
            return false;
        Took(*w, kp::user::HostResized(hwnd, w->width, w->height));
        return true;
    case SDL_WINDOWEVENT_MINIMIZED:
        if (w->state == ShowState::Minimized)
            return false;
        w->state = ShowState::Minimized;
        kp::user::HostMinimized(hwnd);
        return true;
    case SDL_WINDOWEVENT_MAXIMIZED: {
        const bool resized = FollowSize(*w);
        if (w->state == ShowState::Maximized && !resized)
            return false;
        w->state = ShowState::Maximized;
        w->maximizeRequested = true;
        Took(*w, kp::user::HostMaximized(hwnd, w->width, w->height));
        return true;
    }
    case SDL_WINDOWEVENT_RESTORED: {
        const bool resized = FollowSize(*w);
        w->maximizeRequested = false;
        if (w->state == ShowState::Normal) {
            if (!resized)
                return false;
            Took(*w, kp::user::HostResized(hwnd, w->width, w->height));
            return true;
        }
        w->state = ShowState::Normal;
        Took(*w, kp::user::HostRestored(hwnd, w->width, w->height));
        return true;
    }
    case SDL_WINDOWEVENT_CLOSE:
        kp::user::HostCloseRequested(hwnd);
        return true;
    default:
        return false;
    }
}

}  // namespace kp::host
