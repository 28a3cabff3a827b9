#include "browser_pointer.h"

#include <cstdlib>

namespace kp::host {

namespace {

struct ButtonBit {
    unsigned bit;  // in the buttons mask
    MouseButton button;
    WPARAM flag;
};

// In the order Windows reports simultaneous changes: left, right, middle, X1, X2.
constexpr ButtonBit kButtons[] = {
    {kBrowserLeft, MouseButton::Left, MK_LBUTTON},
    {kBrowserRight, MouseButton::Right, MK_RBUTTON},
    {kBrowserMiddle, MouseButton::Middle, MK_MBUTTON},
    {kBrowserBack, MouseButton::X1, MK_XBUTTON1},
    {kBrowserForward, MouseButton::X2, MK_XBUTTON2},
};

constexpr WPARAM kAllButtons = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON | MK_XBUTTON1 | MK_XBUTTON2;

// The mask bit of a pointer event's button number (0 for none or unknown).
unsigned BitOf(int button)
{
    switch (button) {
    case 0:
        return kBrowserLeft;
    case 1:
        return kBrowserMiddle;
    case 2:
        return kBrowserRight;
    case 3:
        return kBrowserBack;
    case 4:
        return kBrowserForward;
    default:
        return 0;
    }
}

WPARAM FlagsOf(unsigned mask)
{
    WPARAM keys = 0;
    for (const ButtonBit &b : kButtons)
        if (mask & b.bit)
            keys |= b.flag;
    return keys;
}

}  // namespace

void BrowserPointer::SetClientSize(int width, int height)
{
    pointer_.SetClientSize(width, height);
}

int BrowserPointer::Mouse(int x, int y, unsigned buttons, unsigned changed, MouseMessage *out)
{
    int n = 0;
    pointer_.SetModifiers(shift_, control_);
    // Whatever else differs changed elsewhere: taken over without a message.
    WPARAM changedFlag = FlagsOf(changed);
    pointer_.SetReportedKeys(FlagsOf(buttons), kAllButtons & ~changedFlag);
    if (pointer_.Move(x, y, &out[n]))
        ++n;
    for (const ButtonBit &b : kButtons) {
        if (b.bit != changed)
            continue;
        bool down = (buttons & b.bit) != 0;
        if (down == ((pointer_.Keys() & b.flag) != 0))
            break;
        if (down ? pointer_.Press(b.button, x, y, &out[n])
                 : pointer_.Release(b.button, x, y, &out[n]))
            ++n;
    }
    return n;
}

int BrowserPointer::StartDrag(unsigned other, MouseMessage *out)
{
    contact_ = Contact::Dragging;
    int n = Mouse(down_.x, down_.y, other, 0, out);
    n += Mouse(down_.x, down_.y, other | kBrowserLeft, kBrowserLeft, out + n);
    for (int i = 0; i < pendingCount_; ++i)
        n += Mouse(pending_[i].x, pending_[i].y, other | kBrowserLeft, 0, out + n);
    pendingCount_ = 0;
    return n;
}

int BrowserPointer::TouchOrPen(const PointerSample &s, MouseMessage *out)
{
    const bool contact = (s.buttons & kBrowserLeft) != 0;
    const unsigned changed = BitOf(s.button);
    // A pen's barrel button is a right button of its own; a finger has none.
    const unsigned other = s.kind == PointerKind::Pen ? s.buttons & ~kBrowserLeft : 0;
    const unsigned otherChanged = changed == kBrowserLeft ? 0 : changed;
    other_ = other;

    // A new contact while the window still takes an old one for held: that
    // one ended outside the client area, where the window heard nothing.
    if (contact && changed == kBrowserLeft && contact_ != Contact::None) {
        contact_ = Contact::None;
        pendingCount_ = 0;
        pointer_.SetReportedKeys(0, MK_LBUTTON);
    }

    switch (contact_) {
    case Contact::None:
        if (!contact)
            return Mouse(s.x, s.y, other, otherChanged, out);  // a pen hovering
        contact_ = Contact::Pending;
        down_ = {s.x, s.y};
        downTime_ = s.time;
        pendingCount_ = 0;
        return 0;
    case Contact::Pending: {
        if (contact) {
            bool moved = std::abs(s.x - down_.x) > kHoldTolerance ||
                         std::abs(s.y - down_.y) > kHoldTolerance;
            if (moved || pendingCount_ == kPendingCapacity || otherChanged != 0) {
                int n = StartDrag(other, out);
                return n + Mouse(s.x, s.y, other | kBrowserLeft, otherChanged, out + n);
            }
            pending_[pendingCount_++] = {s.x, s.y};
            return 0;
        }
        contact_ = Contact::None;
        if (s.time - downTime_ >= kHoldMilliseconds) {
            // Press and hold: a right click where the contact was made.
            pendingCount_ = 0;
            int n = Mouse(down_.x, down_.y, other, 0, out);
            n += Mouse(down_.x, down_.y, other | kBrowserRight, kBrowserRight, out + n);
            return n + Mouse(down_.x, down_.y, other, kBrowserRight, out + n);
        }
        // A tap: a click, with whatever small moves it made.
        int n = StartDrag(other, out);
        contact_ = Contact::None;
        return n + Mouse(s.x, s.y, other, kBrowserLeft, out + n);
    }
    case Contact::Dragging:
        if (contact)
            return Mouse(s.x, s.y, other | kBrowserLeft, otherChanged, out);
        contact_ = Contact::None;
        return Mouse(s.x, s.y, other, kBrowserLeft, out);
    }
    return 0;
}

int BrowserPointer::Sample(const PointerSample &sample, MouseMessage *out)
{
    shift_ = sample.shift;
    control_ = sample.control;
    if (sample.kind == PointerKind::Mouse)
        return Mouse(sample.x, sample.y, sample.buttons, BitOf(sample.button), out);
    return TouchOrPen(sample, out);
}

int BrowserPointer::Left(MouseMessage *out)
{
    int n = 0;
    // A contact that leaves before it was decided has moved: it is a drag.
    if (contact_ == Contact::Pending)
        n = StartDrag(other_, out);
    pointer_.PointerLeft();
    return n;
}

int BrowserPointer::Cancel(MouseMessage *)
{
    if (contact_ == Contact::Dragging)
        pointer_.SetReportedKeys(0, MK_LBUTTON);
    contact_ = Contact::None;
    pendingCount_ = 0;
    pointer_.PointerLeft();
    return 0;
}

}  // namespace kp::host
