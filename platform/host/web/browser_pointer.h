// What a browser's pointer events mean to a window, as Windows would see
// them. The page reports every pointer sample over the client area (each of
// a pointer event's coalesced samples, so none is lost to the browser's
// merging of moves per frame) with the event's buttons and modifiers; this
// turns them into the window's mouse messages with the exact MK_* state.
//
// A mouse is taken as it is: the button that an event reports as changed
// (the pressed or released one; a second button pressed during a drag comes
// as a move that names it) is pressed or released where the event happened,
// after a move there. Any other difference between the buttons mask and what
// the window knows happened elsewhere (a button let go outside the client
// area) and is taken over silently, as Windows sends the window nothing then.
//
// Touch and pen contacts act as the left button, the way Windows promotes
// them: the press is held back until the contact has either moved (a drag:
// the press at the contact point, then every sample since, so nothing is
// lost), been lifted early (a click), or been held still for a while and
// lifted (press-and-hold: a right click at the contact point). A pen's barrel
// button is the right button.
#pragma once

#include <windows.h>

#include "../pointer_state.h"

namespace kp::host {

enum class PointerKind { Mouse, Touch, Pen };

// Bits of a pointer event's buttons mask.
constexpr unsigned kBrowserLeft = 1;      // left button, touch or pen contact
constexpr unsigned kBrowserRight = 2;     // right button, pen barrel button
constexpr unsigned kBrowserMiddle = 4;    // middle button
constexpr unsigned kBrowserBack = 8;      // X1
constexpr unsigned kBrowserForward = 16;  // X2

struct PointerSample {
    PointerKind kind = PointerKind::Mouse;
    int x = 0;  // client coordinates
    int y = 0;
    unsigned buttons = 0;  // the event's buttons mask after the sample
    int button = -1;       // the button that changed: 0 left/contact, 1 middle,
                           // 2 right/barrel, 3 back, 4 forward; -1 none
    bool shift = false;
    bool control = false;
    double time = 0;  // milliseconds, any origin
};

class BrowserPointer {
  public:
    // The window's pointer state, which this feeds.
    explicit BrowserPointer(PointerState &pointer) : pointer_(pointer) {}

    // How long a still contact is held for a right click, and how far it may
    // wander meanwhile (client pixels in either direction).
    static constexpr double kHoldMilliseconds = 800;
    static constexpr int kHoldTolerance = 8;
    // Samples of an undecided contact that are kept for a drag; beyond that
    // the contact is taken for a drag at once.
    static constexpr int kPendingCapacity = 64;
    // The most messages one call can produce.
    static constexpr int kMaxMessages = kPendingCapacity + 24;

    void SetClientSize(int width, int height);

    // Each returns the number of messages written to out (room for
    // kMaxMessages), in the order they are to be posted.
    int Sample(const PointerSample &sample, MouseMessage *out);
    // The pointer left the client area.
    int Left(MouseMessage *out);
    // The browser took the pointer away (pointercancel): an undecided contact
    // is dropped; a drag's contact counts as lifted, without a message, as
    // for a contact lifted outside the client area.
    int Cancel(MouseMessage *out);

  private:
    struct Point {
        int x;
        int y;
    };

    // The mouse path: the buttons mask after the sample and the one bit of
    // it (or 0) that changed right there.
    int Mouse(int x, int y, unsigned buttons, unsigned changed, MouseMessage *out);
    int TouchOrPen(const PointerSample &sample, MouseMessage *out);
    int StartDrag(unsigned other, MouseMessage *out);

    enum class Contact { None, Pending, Dragging };

    PointerState &pointer_;
    bool shift_ = false;
    bool control_ = false;

    Contact contact_ = Contact::None;
    Point down_ = {0, 0};
    double downTime_ = 0;
    Point pending_[kPendingCapacity] = {};
    int pendingCount_ = 0;
    unsigned other_ = 0;  // a pen's buttons besides the contact
};

}  // namespace kp::host
