// Giving back the memory of a large X event backlog once it has been read
// (x11_queue_memory.cpp). Kept apart from the other host files: it needs
// Xlib's internal header, which does not mix with the layer's windows.h.
#pragma once

#include <SDL_syswm.h>

#if !defined(SDL_VIDEO_DRIVER_X11)
struct _XDisplay;
typedef struct _XDisplay Display;
#endif

namespace kp::host {

// Frees Xlib's list of unused event queue elements of display (may be null)
// and returns the C library's free memory to the system.
void GiveBackXQueueMemory(Display *display);

}  // namespace kp::host
