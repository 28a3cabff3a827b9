// Against the platform layer, memory DCs and the screen DC are GDI's own;
// windows need a host. This one keeps each window's client pixels in memory
// and shows them nowhere: enough for the window procedure's messages, its
// canvas and its paints. Its screen is the size of the private X screen the
// Windows build runs on under Wine.
#include "host.h"

#include <algorithm>
#include <vector>

#include "host/host.h"

namespace kp::host {

struct HostWindow {
    std::vector<uint32_t> pixels;
    int width = 0;
    int height = 0;
};

}  // namespace kp::host

namespace conf {

namespace {

using kp::host::HostWindow;

class MemoryHost : public kp::host::Host {
  public:
    void ScreenSize(int *width, int *height) override
    {
        *width = 1280;
        *height = 1024;
    }

    HostWindow *CreateHostWindow(HWND, const char *, int clientWidth, int clientHeight) override
    {
        auto *w = new HostWindow;
        ResizeHostWindow(w, clientWidth, clientHeight);
        return w;
    }

    void DestroyHostWindow(HostWindow *window) override { delete window; }

    void SetShowState(HostWindow *, kp::host::ShowState) override {}

    void ResizeHostWindow(HostWindow *window, int clientWidth, int clientHeight) override
    {
        // New client pixels start white; what remains inside keeps its place.
        std::vector<uint32_t> pixels(size_t(clientWidth) * size_t(clientHeight), 0xFFFFFFu);
        for (int y = 0; y < std::min(clientHeight, window->height); ++y) {
            for (int x = 0; x < std::min(clientWidth, window->width); ++x)
                pixels[size_t(y) * clientWidth + x] = window->pixels[size_t(y) * window->width + x];
        }
        window->pixels.swap(pixels);
        window->width = clientWidth;
        window->height = clientHeight;
    }

    kp::Surface ClientSurface(HostWindow *window) override
    {
        return kp::Surface{window->pixels.data(), window->width, window->height, window->width};
    }

    void Present(HostWindow *, const RECT &) override {}
    void PumpEvents(bool) override {}
};

MemoryHost *host = nullptr;

}  // namespace

void StartHost()
{
    host = new MemoryHost;
    kp::host::SetHost(host);
}

void StopHost()
{
    kp::host::SetHost(nullptr);
    delete host;
    host = nullptr;
}

}  // namespace conf
