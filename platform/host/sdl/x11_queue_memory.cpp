// Xlib keeps every event queue element it ever allocated on a free list of
// the display's, for reuse, until the display is closed. A program that was
// stopped while a hundred thousand moves waited for it reads them all at
// once, and the queue of that moment (two elements a move with XInput 2's
// raw motion) would stay allocated for the rest of its life. Once the host
// has handed such a backlog to the program, the list goes back to the C
// library (Xlib allocates more when it needs them), and the C library gives
// the pages back to the system.
//
// The list lives in the display structure that Xlib's internal header
// declares for extensions; nothing else of Xlib's is touched.
#include "x11_queue_memory.h"

#include <SDL_config.h>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xlibint.h>
#endif

#include <malloc.h>

namespace kp::host {

void GiveBackXQueueMemory(Display *display)
{
#if defined(SDL_VIDEO_DRIVER_X11)
    if (display != nullptr) {
        LockDisplay(display);
        _XQEvent *element = display->qfree;
        display->qfree = nullptr;
        while (element != nullptr) {
            _XQEvent *next = element->next;
            Xfree(element);
            element = next;
        }
        UnlockDisplay(display);
    }
#else
    (void)display;
#endif
    malloc_trim(0);
}

}  // namespace kp::host
