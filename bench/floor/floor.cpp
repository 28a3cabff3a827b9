// kp-floor: the least that a correct freehand drawing program on X can cost
// per mouse move. The real-display benchmark (bench/run-display.sh) drives it
// exactly like the program and reports it as the floor.
//
//   kp-floor [CLIENT_WIDTH CLIENT_HEIGHT]      (default 584 461)
//
// One window of the given client size, titled "Kelvane Paint floor", white.
// The canvas is an MIT-SHM image as large as the screen, in the screen's own
// pixel format, so nothing is ever converted. A left press sets the current
// point; each MotionNotify with the left button held draws a one-pixel black
// line from the current point to the new one into the image (Bresenham; like
// LineTo the end point itself is left for the next segment) and puts only
// that segment's bounding box to the window with XShmPutImage, then XSync:
// the server reads the pixels straight from the shared memory, and the image
// must not change while it may still be reading them, so the next move waits
// for the request to be done. Exposures are repainted from the image. Every
// motion event is handled on its own (no compression, no batching): the cost
// of one move is one segment, one small put and one round trip.
//
// Resizing (a window manager's or the benchmark's maximize) needs nothing:
// the canvas already covers the screen and the server asks for the strips
// that a size change uncovers. The window closes on WM_DELETE_WINDOW.
#include "bresenham.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Canvas {
    XImage *image = nullptr;
    XShmSegmentInfo shm{};
    int width = 0;
    int height = 0;
    unsigned long black = 0;
};

bool CreateCanvas(Display *dpy, int screen, Canvas *c)
{
    if (!XShmQueryExtension(dpy)) {
        std::fprintf(stderr, "kp-floor: the X server has no MIT-SHM\n");
        return false;
    }
    c->width = DisplayWidth(dpy, screen);
    c->height = DisplayHeight(dpy, screen);
    c->image = XShmCreateImage(dpy, DefaultVisual(dpy, screen), DefaultDepth(dpy, screen), ZPixmap,
                               nullptr, &c->shm, c->width, c->height);
    if (c->image == nullptr)
        return false;
    size_t bytes = static_cast<size_t>(c->image->bytes_per_line) * c->height;
    c->shm.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (c->shm.shmid < 0) {
        std::perror("kp-floor: shmget");
        return false;
    }
    c->shm.shmaddr = c->image->data = static_cast<char *>(shmat(c->shm.shmid, nullptr, 0));
    c->shm.readOnly = True;
    bool attached = c->shm.shmaddr != reinterpret_cast<char *>(-1) && XShmAttach(dpy, &c->shm);
    XSync(dpy, False);
    // Marked for removal now: it goes away with the last detach, even if the
    // process is killed.
    shmctl(c->shm.shmid, IPC_RMID, nullptr);
    if (!attached) {
        std::fprintf(stderr, "kp-floor: cannot attach the shared image\n");
        return false;
    }
    // White is all bits set in a TrueColor visual of any depth the server
    // uses for its screen.
    std::memset(c->image->data, 0xFF, bytes);
    c->black = BlackPixel(dpy, screen);
    return true;
}

void DestroyCanvas(Display *dpy, Canvas *c)
{
    XShmDetach(dpy, &c->shm);
    XSync(dpy, False);
    shmdt(c->shm.shmaddr);
    c->image->data = nullptr;
    XDestroyImage(c->image);
}

void Line(Canvas *c, int x0, int y0, int x1, int y1)
{
    Bresenham(x0, y0, x1, y1, [c](int x, int y) {
        if (x >= 0 && y >= 0 && x < c->width && y < c->height)
            XPutPixel(c->image, x, y, c->black);
    });
}

// Puts the image's rectangle to the same place in the window, clipped to the
// image (the window may reach beyond the screen; nothing is drawn there).
void Put(Display *dpy, Window win, GC gc, Canvas *c, int x, int y, int w, int h)
{
    int x0 = std::max(x, 0), y0 = std::max(y, 0);
    int x1 = std::min(x + w, c->width), y1 = std::min(y + h, c->height);
    if (x1 > x0 && y1 > y0)
        XShmPutImage(dpy, win, gc, c->image, x0, y0, x0, y0, x1 - x0, y1 - y0, False);
}

}  // namespace

int main(int argc, char **argv)
{
    int width = 584, height = 461;
    if (argc == 3) {
        width = std::atoi(argv[1]);
        height = std::atoi(argv[2]);
    }
    if ((argc != 1 && argc != 3) || width <= 0 || height <= 0) {
        std::fprintf(stderr, "usage: kp-floor [CLIENT_WIDTH CLIENT_HEIGHT]\n");
        return 2;
    }
    Display *dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) {
        std::fprintf(stderr, "kp-floor: cannot open the display\n");
        return 1;
    }
    int screen = DefaultScreen(dpy);
    Canvas canvas;
    if (!CreateCanvas(dpy, screen, &canvas))
        return 1;

    // No background: the server leaves exposed areas alone and the program
    // paints them, as a double-buffered program does.
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;
    attributes.bit_gravity = NorthWestGravity;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            StructureNotifyMask;
    Window win = XCreateWindow(dpy, RootWindow(dpy, screen), 0, 0, width, height, 0, CopyFromParent,
                               InputOutput, CopyFromParent,
                               CWBackPixmap | CWBitGravity | CWEventMask, &attributes);
    const char *title = "Kelvane Paint floor";
    XStoreName(dpy, win, title);
    Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    XChangeProperty(dpy, win, XInternAtom(dpy, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(title),
                    static_cast<int>(std::strlen(title)));
    long pid = getpid();
    XChangeProperty(dpy, win, XInternAtom(dpy, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char *>(&pid), 1);
    Atom deleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(dpy, win, &deleteWindow, 1);
    GC gc = XCreateGC(dpy, win, 0, nullptr);
    XMapWindow(dpy, win);

    int lastX = 0, lastY = 0;
    bool running = true;
    while (running) {
        XEvent e;
        XNextEvent(dpy, &e);
        switch (e.type) {
        case Expose:
            Put(dpy, win, gc, &canvas, e.xexpose.x, e.xexpose.y, e.xexpose.width, e.xexpose.height);
            if (e.xexpose.count == 0)
                XSync(dpy, False);
            break;
        case ButtonPress:
            if (e.xbutton.button == Button1) {
                lastX = e.xbutton.x;
                lastY = e.xbutton.y;
            }
            break;
        case MotionNotify: {
            if (!(e.xmotion.state & Button1Mask))
                break;
            int x = e.xmotion.x, y = e.xmotion.y;
            Line(&canvas, lastX, lastY, x, y);
            int left = std::min(x, lastX), top = std::min(y, lastY);
            Put(dpy, win, gc, &canvas, left, top, std::abs(x - lastX) + 1, std::abs(y - lastY) + 1);
            XSync(dpy, False);
            lastX = x;
            lastY = y;
            break;
        }
        case ClientMessage:
            if (static_cast<Atom>(e.xclient.data.l[0]) == deleteWindow)
                running = false;
            break;
        default:
            break;
        }
    }
    XFreeGC(dpy, gc);
    DestroyCanvas(dpy, &canvas);
    XDestroyWindow(dpy, win);
    XCloseDisplay(dpy);
    return 0;
}
