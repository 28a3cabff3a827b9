// Which window system the desktop program shows its windows on.
//
// SDL_VIDEODRIVER, where it is set, names one: "wayland" or "x11" (the
// variable SDL programs know). Otherwise a Wayland session (WAYLAND_DISPLAY)
// is preferred, natively, and X11 (DISPLAY; on a Wayland desktop, Xwayland)
// is taken where Wayland cannot be had. A failure to start says why; the
// program then ends with that line and exit code 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "end_signals.h"
#include "sdl/sdl_host.h"
#include "wayland/wayland_host.h"

namespace kp::host {

namespace {

bool HasEnv(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

// Whether WAYLAND_DISPLAY names a socket that can be found: a display name
// that is not a path is a socket in XDG_RUNTIME_DIR.
bool WaylandNamed()
{
    const char *name = std::getenv("WAYLAND_DISPLAY");
    if (HasEnv("WAYLAND_SOCKET") || (name != nullptr && name[0] == '/'))
        return true;
    return HasEnv("WAYLAND_DISPLAY") && HasEnv("XDG_RUNTIME_DIR");
}

// A host that shows nothing, and says why.
class FailedHost final : public Host {
  public:
    explicit FailedHost(const char *what, const char *detail)
    {
        std::snprintf(failure_, sizeof failure_, "%s: %s", what, detail);
    }
    void ScreenSize(int *width, int *height) override { *width = *height = 0; }
    HostWindow *CreateHostWindow(HWND, const char *, gdi::WindowSurface *, int, int) override
    {
        return nullptr;
    }
    void DestroyHostWindow(HostWindow *) override {}
    void SetShowState(HostWindow *, ShowState) override {}
    void ResizeHostWindow(HostWindow *, int, int) override {}
    void PumpEvents(bool) override {}
    const char *Failure() const override { return failure_; }

  private:
    char failure_[512];
};

template <class H> Host *Started()
{
    auto *host = new H;
    host->Start();
    return host;
}

Host *Named(const char *driver)
{
    if (std::strcmp(driver, "x11") == 0)
        return Started<SdlHost>();
    if (std::strcmp(driver, "wayland") == 0)
        return Started<WaylandHost>();
    char what[256];
    std::snprintf(what, sizeof what, "cannot use the video driver \"%s\" (SDL_VIDEODRIVER)",
                  driver);
    return new FailedHost(what, "the program shows its windows on x11 or wayland");
}

}  // namespace

Host *CreateDefaultHost()
{
    CatchEndSignals();
    const char *driver = std::getenv("SDL_VIDEODRIVER");
    if (driver != nullptr && driver[0] != '\0')
        return Named(driver);
    if (WaylandNamed()) {
        Host *wayland = Started<WaylandHost>();
        // Xwayland, or another X server, where Wayland fails.
        if (wayland->Failure() == nullptr || !HasEnv("DISPLAY"))
            return wayland;
        delete wayland;
    }
    if (HasEnv("DISPLAY"))
        return Started<SdlHost>();
    return new FailedHost("no display to show a window on",
                          HasEnv("WAYLAND_DISPLAY")
                              ? "DISPLAY is not set, and WAYLAND_DISPLAY names a socket in "
                                "XDG_RUNTIME_DIR, which is not set"
                              : "neither DISPLAY nor WAYLAND_DISPLAY is set");
}

}  // namespace kp::host
