// X protocol errors, which the host absorbs (x11_window.cpp), counted so
// that a request can tell whether it failed: note the count, make the
// request, XSync, compare.
#pragma once

namespace kp::host::x11 {

inline unsigned long &ErrorCounter()
{
    static unsigned long count = 0;
    return count;
}

inline void CountError()
{
    ++ErrorCounter();
}

inline unsigned long ErrorCount()
{
    return ErrorCounter();
}

}  // namespace kp::host::x11
