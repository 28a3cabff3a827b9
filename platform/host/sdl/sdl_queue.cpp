// Every event that SDL would queue goes into the host's own queue instead,
// the moment SDL produces it (SDL's event filter runs before SDL queues an
// event). SDL's queue holds 65,535 events and drops what comes after, and a
// program that was stopped for a while finds far more than that waiting in
// its connection, all of which SDL reads in one go: moves that must each
// become a WM_MOUSEMOVE, and perhaps a close behind them. The host's queue
// keeps all of them, 32 bytes each, and gives the memory back as it drains.
//
// The filter keeps SDL's queue empty, so SDL_WaitEvent would never wake up:
// the event that finds the host's queue empty puts an event of the host's
// own into SDL's queue (one SDL never merges away, as it does with pending
// size changes), thrown away before the host reads its own queue. On X11 the
// host waits for the connection itself (SdlHost::WaitX11).
#include "sdl_host.h"

namespace kp::host {

int SdlHost::Filter(void *host, SDL_Event *e)
{
    auto *self = static_cast<SdlHost *>(host);
    HostEvent record;
    if (!self->Record(*e, &record))
        return 0;  // nothing the host would do with it
    if (self->queue_.Empty() && self->wakeEvent_ != 0 && self->display_ == nullptr) {
        SDL_Event wake = {};
        wake.type = self->wakeEvent_;
        SDL_PeepEvents(&wake, 1, SDL_ADDEVENT, 0, 0);  // not filtered again
    }
    self->queue_.Push(record);
    return 0;
}

// What the host needs of an event; false for events it has no use for.
bool SdlHost::Record(const SDL_Event &e, HostEvent *out)
{
    HostEvent r;
    r.type = e.type;
    switch (e.type) {
    case SDL_WINDOWEVENT:
        // SDL drops the window surface at once on a size change, even while
        // the change still waits in a queue: the old one must not be used.
        if (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
            if (HostWindow *w = FindWindow(e.window.windowID))
                w->surfaceStale = true;
        }
        r.window = e.window.windowID;
        r.state = e.window.event;
        r.x = e.window.data1;
        r.y = e.window.data2;
        break;
    case SDL_MOUSEMOTION:
        r.window = e.motion.windowID;
        r.x = e.motion.x;
        r.y = e.motion.y;
        r.a = e.motion.xrel;
        r.b = e.motion.yrel;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        r.window = e.button.windowID;
        r.x = e.button.x;
        r.y = e.button.y;
        r.state = e.button.state;
        r.detail = e.button.button;
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        r.window = e.key.windowID;
        r.state = e.key.keysym.mod;
        r.detail = static_cast<uint32_t>(e.key.keysym.sym);
        break;
    case SDL_QUIT:
        break;
    case SDL_SYSWMEVENT:
        return e.syswm.msg != nullptr && RecordX11(*e.syswm.msg, out);
    default:
        return false;
    }
    *out = r;
    return true;
}

}  // namespace kp::host
