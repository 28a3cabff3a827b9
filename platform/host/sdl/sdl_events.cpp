// SDL's window, mouse and key events, turned into the calls of
// user/host_events.h. On X11 the pointer, exposures and Alt+F4 come from the
// X events instead (sdl_x11.cpp); elsewhere (Wayland) from here, where SDL's
// positions and sizes are the program's logical pixels already.
#include <windows.h>

#include "../../user/host_events.h"
#include "sdl_host.h"

namespace kp::host {

namespace {

bool ButtonFromSdl(Uint8 button, MouseButton *out)
{
    switch (button) {
    case SDL_BUTTON_LEFT:
        *out = MouseButton::Left;
        return true;
    case SDL_BUTTON_MIDDLE:
        *out = MouseButton::Middle;
        return true;
    case SDL_BUTTON_RIGHT:
        *out = MouseButton::Right;
        return true;
    case SDL_BUTTON_X1:
        *out = MouseButton::X1;
        return true;
    case SDL_BUTTON_X2:
        *out = MouseButton::X2;
        return true;
    default:
        return false;
    }
}

}  // namespace

bool SdlHost::HandleWindowEvent(const HostEvent &e)
{
    HostWindow *w = FindWindow(e.window);
    if (w == nullptr)
        return false;
    HWND hwnd = w->hwnd;
    switch (e.state) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (w->state == ShowState::Minimized || !FollowSize(w))
            return false;
        kp::user::HostResized(hwnd, w->width, w->height);
        return true;
    case SDL_WINDOWEVENT_MINIMIZED:
        if (w->state == ShowState::Minimized)
            return false;
        w->state = ShowState::Minimized;
        kp::user::HostMinimized(hwnd);
        return true;
    case SDL_WINDOWEVENT_MAXIMIZED: {
        bool resized = FollowSize(w);
        if (w->state == ShowState::Maximized && !resized)
            return false;
        w->state = ShowState::Maximized;
        w->maximizeRequested = true;
        kp::user::HostMaximized(hwnd, w->width, w->height);
        return true;
    }
    case SDL_WINDOWEVENT_RESTORED: {
        bool resized = FollowSize(w);
        w->maximizeRequested = false;
        if (w->state == ShowState::Normal) {
            if (!resized)
                return false;
            kp::user::HostResized(hwnd, w->width, w->height);
            return true;
        }
        w->state = ShowState::Normal;
        kp::user::HostRestored(hwnd, w->width, w->height);
        return true;
    }
    case SDL_WINDOWEVENT_EXPOSED:
        if (x11_ || w->width <= 0 || w->height <= 0 || w->state == ShowState::Minimized)
            return false;  // on X11 the exposed rectangles come with the X events
        kp::user::HostExposed(hwnd, RECT{0, 0, w->width, w->height});
        return true;
    case SDL_WINDOWEVENT_LEAVE:
        w->pointer.PointerLeft();
        w->edgeCheck.Left();
        return false;
    case SDL_WINDOWEVENT_CLOSE:
        kp::user::HostCloseRequested(hwnd);
        return true;
    default:
        return false;
    }
}

bool SdlHost::HandleMotion(const HostEvent &e)
{
    HostWindow *w = FindWindow(e.window);
    if (w == nullptr)
        return false;
    bool genuine = w->edgeCheck.Genuine(e.x, e.y, e.a, e.b);
    if (!genuine) {
        w->pointer.PointerLeft();
        return false;
    }
    MouseMessage m;
    if (!w->pointer.Move(e.x, e.y, &m))
        return false;
    Deliver(w->hwnd, m);
    return true;
}

bool SdlHost::HandleButton(const HostEvent &e)
{
    HostWindow *w = FindWindow(e.window);
    MouseButton button;
    if (w == nullptr || !ButtonFromSdl(static_cast<Uint8>(e.detail), &button))
        return false;
    int x = e.x, y = e.y;
    // A release after the pointer was dragged out happens outside.
    if (e.state == SDL_RELEASED && w->edgeCheck.Outside())
        x = -1;
    MouseMessage m;
    bool message = e.state == SDL_PRESSED ? w->pointer.Press(button, x, y, &m)
                                          : w->pointer.Release(button, x, y, &m);
    if (!message)
        return false;
    Deliver(w->hwnd, m);
    return true;
}

bool SdlHost::HandleKey(const HostEvent &e)
{
    if (x11_)
        return false;  // the X events carry the modifiers and the shortcut
    // The modifier state after this key; the mouse messages that follow it
    // carry it. The keyboard is shared by all windows.
    bool shift = (e.state & KMOD_SHIFT) != 0;
    bool control = (e.state & KMOD_CTRL) != 0;
    for (HostWindow *w : windows_)
        w->pointer.SetModifiers(shift, control);
    if (e.type == SDL_KEYDOWN && static_cast<SDL_Keycode>(e.detail) == SDLK_F4 &&
        (e.state & KMOD_ALT) && !control) {
        if (HostWindow *w = FindWindow(e.window)) {
            kp::user::HostCloseRequested(w->hwnd);
            return true;
        }
    }
    return false;
}

}  // namespace kp::host
