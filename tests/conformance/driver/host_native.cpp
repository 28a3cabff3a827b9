// Against the platform layer, memory DCs and the screen DC are GDI's own;
// windows need a host: the headless one, which keeps each window's client
// pixels in memory. Its screen is the size of the private X screen that the
// Windows build runs on under Wine, so that both canvases are alike.
#include "host.h"

#include "host/headless/headless.h"

namespace conf {

namespace {

kp::host::HeadlessHost *host = nullptr;

}  // namespace

void StartHost()
{
    host = new kp::host::HeadlessHost;  // becomes the current host
    host->SetScreenSize(1280, 1024);
}

void StopHost()
{
    delete host;
    host = nullptr;
}

}  // namespace conf
