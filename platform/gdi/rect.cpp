// Rectangle arithmetic: the Win32 rectangle functions and the layer's own
// helpers built on them. Windows has these in USER; here everything above
// GDI uses them, so they live at the bottom of the layer.
#include <algorithm>

#include "rects.h"

namespace kp {

int PartsOutside(const RECT &a, const RECT &b, RECT out[4])
{
    if (Empty(a))
        return 0;
    const RECT common = Intersection(a, b);
    if (Empty(common)) {
        out[0] = a;
        return 1;
    }
    int n = 0;
    if (a.top < common.top)
        out[n++] = RECT{a.left, a.top, a.right, common.top};
    if (common.bottom < a.bottom)
        out[n++] = RECT{a.left, common.bottom, a.right, a.bottom};
    if (a.left < common.left)
        out[n++] = RECT{a.left, common.top, common.left, common.bottom};
    if (common.right < a.right)
        out[n++] = RECT{common.right, common.top, a.right, common.bottom};
    return n;
}

}  // namespace kp

using kp::Empty;

BOOL WINAPI SetRectEmpty(LPRECT rect)
{
    if (rect == nullptr)
        return FALSE;
    *rect = RECT{0, 0, 0, 0};
    return TRUE;
}

BOOL WINAPI IsRectEmpty(const RECT *rect)
{
    return (rect == nullptr || Empty(*rect)) ? TRUE : FALSE;
}

BOOL WINAPI EqualRect(const RECT *a, const RECT *b)
{
    if (a == nullptr || b == nullptr)
        return FALSE;
    return (a->left == b->left && a->top == b->top && a->right == b->right &&
            a->bottom == b->bottom)
               ? TRUE
               : FALSE;
}

BOOL WINAPI PtInRect(const RECT *rect, POINT pt)
{
    if (rect == nullptr)
        return FALSE;
    return (pt.x >= rect->left && pt.x < rect->right && pt.y >= rect->top && pt.y < rect->bottom)
               ? TRUE
               : FALSE;
}

BOOL WINAPI OffsetRect(LPRECT rect, int dx, int dy)
{
    if (rect == nullptr)
        return FALSE;
    *rect = kp::Offset(*rect, dx, dy);
    return TRUE;
}

BOOL WINAPI IntersectRect(LPRECT dst, const RECT *a, const RECT *b)
{
    if (dst == nullptr || a == nullptr || b == nullptr)
        return FALSE;
    RECT r = {std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
              std::min(a->bottom, b->bottom)};
    if (Empty(*a) || Empty(*b) || Empty(r)) {
        *dst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    *dst = r;
    return TRUE;
}

BOOL WINAPI UnionRect(LPRECT dst, const RECT *a, const RECT *b)
{
    if (dst == nullptr || a == nullptr || b == nullptr)
        return FALSE;
    if (Empty(*a)) {
        *dst = Empty(*b) ? RECT{0, 0, 0, 0} : *b;
    } else if (Empty(*b)) {
        *dst = *a;
    } else {
        *dst = RECT{std::min(a->left, b->left), std::min(a->top, b->top),
                    std::max(a->right, b->right), std::max(a->bottom, b->bottom)};
    }
    return Empty(*dst) ? FALSE : TRUE;
}

BOOL WINAPI SubtractRect(LPRECT dst, const RECT *a, const RECT *b)
{
    // a with b taken away when what is left is still one rectangle (b spans
    // a along one side); otherwise a unchanged.
    if (dst == nullptr || a == nullptr || b == nullptr)
        return FALSE;
    if (Empty(*a)) {
        *dst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    RECT r = *a;
    const RECT common = kp::Intersection(*a, *b);
    if (!Empty(common)) {
        if (common.top == r.top && common.bottom == r.bottom) {
            if (common.left == r.left)
                r.left = common.right;
            else if (common.right == r.right)
                r.right = common.left;
        } else if (common.left == r.left && common.right == r.right) {
            if (common.top == r.top)
                r.top = common.bottom;
            else if (common.bottom == r.bottom)
                r.bottom = common.top;
        }
    }
    if (Empty(r)) {
        *dst = RECT{0, 0, 0, 0};
        return FALSE;
    }
    *dst = r;
    return TRUE;
}
