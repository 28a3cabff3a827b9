// A recording stand-in for the USER/GDI calls that the canvas and pen code
// make, so their call order and arguments can be checked without a window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace recording {

// Every call, as "Name(args)" with handles written as their numbers.
extern std::vector<std::string> calls;
// What the next CreatePen returns (0 makes it fail).
extern bool failNextPen;
// The pen last selected into a DC (nullptr: none yet, the DC's default pen).
extern const void *currentPen;
extern int screenWidth;
extern int screenHeight;

void Reset();

}  // namespace recording
