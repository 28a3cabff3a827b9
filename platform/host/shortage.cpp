#include "shortage.h"

#include <cerrno>
#include <cstdio>

namespace kp::host {

void SayShortage(int width, int height)
{
    static bool said = false;
    if (said)
        return;
    said = true;
    std::fprintf(stderr,
                 "%s: not enough memory for the window's pixels at %d x %d: it shows what "
                 "fits, the rest white\n",
                 program_invocation_short_name, width, height);
}

}  // namespace kp::host
