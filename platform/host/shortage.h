// Saying that memory for a window's pixels is short: once a process, one
// line on stderr. The window goes on showing what fits (the rest white).
#pragma once

namespace kp::host {

void SayShortage(int width, int height);

}  // namespace kp::host
