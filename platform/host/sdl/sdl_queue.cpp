// Every event that SDL would queue goes into the host's own queue instead,
// the moment SDL produces it (SDL's event filter runs before SDL queues an
// event). SDL's queue holds 65,535 events and drops what comes after, and a
// program that was stopped for a while finds far more than that waiting in
// its connection, all of which SDL reads in one go: moves that must each
// become a WM_MOUSEMOVE, and perhaps a close behind them. The host's queue
// keeps all of them, 32 bytes each, and gives the memory back as it drains.
// SDL's own queue stays empty; the host waits for the X connection itself
// (x11_events.cpp).
#include "sdl_host.h"

namespace kp::host {

int SdlHost::Filter(void *host, SDL_Event *e)
{
    auto *self = static_cast<SdlHost *>(host);
    HostEvent record;
    if (self->Record(*e, &record))
        self->queue_.Push(record);
    return 0;
}

// What the host needs of an event; false for events it has no use for.
bool SdlHost::Record(const SDL_Event &e, HostEvent *out)
{
    if (e.type == SDL_SYSWMEVENT)
        return e.syswm.msg != nullptr && RecordX11(*e.syswm.msg, out);
    if (e.type != SDL_WINDOWEVENT)
        return false;
    HostEvent r;
    r.type = e.type;
    r.window = e.window.windowID;
    r.state = e.window.event;
    r.x = e.window.data1;
    r.y = e.window.data2;
    *out = r;
    return true;
}

}  // namespace kp::host
