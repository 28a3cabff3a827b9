// What the host system needs before and after the driver's first Win32 call:
// nothing on Windows; the platform layer's host elsewhere.
#pragma once

namespace conf {

void StartHost();
void StopHost();

}  // namespace conf
