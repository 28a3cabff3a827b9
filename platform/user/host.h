// What USER asks of the host, the window system it runs on: screen, windows,
// showing their pixels, and events. One host per process; USER is its only
// caller. Hosts (platform/host/) implement this and deliver input through the
// entry points in host_events.h.
#pragma once

#include <windows.h>

#include "../gdi/window_surface.h"

namespace kp::host {

struct HostWindow;  // a host's own window record

// How a window is shown. USER keeps a window's placement (Normal, Minimized
// or Maximized) apart from its visibility; a hidden window is Hidden here.
enum class ShowState { Hidden, Normal, Minimized, Maximized };

class Host {
  public:
    virtual ~Host() = default;

    // Size of the primary screen in pixels.
    virtual void ScreenSize(int *width, int *height) = 0;
    // Size of the part of the screen that a maximized window fills (the
    // screen less a task bar): the whole screen unless the host says less.
    virtual void WorkAreaSize(int *width, int *height) { ScreenSize(width, height); }

    // The show command that SW_SHOWDEFAULT means for this process (the
    // start-up information's show command, or SW_SHOWNORMAL).
    virtual int StartupShowCommand() { return SW_SHOWNORMAL; }

    // Creates the host window for hwnd with the given client size; NULL when
    // the host cannot show a window. surface holds the window's client pixels
    // for the window's life (USER keeps it at the client size); the host
    // shows what its damage says changed, and may lend it display memory.
    virtual HostWindow *CreateHostWindow(HWND hwnd, const char *title, gdi::WindowSurface *surface,
                                         int clientWidth, int clientHeight) = 0;
    virtual void DestroyHostWindow(HostWindow *window) = 0;
    virtual void SetShowState(HostWindow *window, ShowState state) = 0;

    // The layer moved the window's client area to a new size (SetWindowPos,
    // maximize): the window system is asked for it.
    virtual void ResizeHostWindow(HostWindow *window, int clientWidth, int clientHeight) = 0;

    // First shows what the windows' surfaces changed since the last call
    // (everything painted meanwhile), then delivers pending host events to
    // USER. With wait, blocks until at least one event has been delivered.
    virtual void PumpEvents(bool wait) = 0;

    // USER could not have memory for a window's client pixels at width x
    // height: the window keeps the pixels it had and shows what fits of
    // them (the rest is the class brush's white), and USER tries again as
    // the window is painted. The host says so where the user can hear it.
    virtual void PixelShortage(int width, int height)
    {
        (void)width;
        (void)height;
    }

    // Why the host cannot show the program at all (no display it can open,
    // no window or window surface it can make), or null. Start-up reports it
    // and ends the process with exit code 1.
    virtual const char *Failure() const { return nullptr; }
};

// The process's host. SetHost(nullptr) detaches it.
Host *CurrentHost();
void SetHost(Host *host);

// The host that a program binary links: defined by exactly one host library.
Host *CreateDefaultHost();

}  // namespace kp::host
