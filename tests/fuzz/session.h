// One hostile session of the program, driven by a byte string: the real
// WinMain and PaintWndProc on the headless host, on the caller's thread, fed with any message, any
// parameters, mouse input anywhere, bursts of right clicks, resizes from nothing to far beyond the
// screen, minimize, restore, exhaustion of GDI's object table, on screens from 1 x 1 up to 7680 x
// 4320. At the end the window is closed and the session checks that the program ended with 0 and
// gave back every GDI object it made.
//
// Used by the libFuzzer target (tests/fuzz/fuzz_wndproc.cpp) and by a
// GoogleTest test that replays the saved inputs (tests/fuzz/corpus, large
// and regressions).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kp::host {
class HeadlessHost;
}

namespace kpfuzz {

struct SessionResult {
    bool ok = true;
    std::string failure;  // what went wrong, when !ok
    long operations = 0;  // operations decoded from the input
    long rounds = 0;      // times the program waited in its loop and was given operations
};

// Runs one session on host, which becomes the process's host and serves it
// as it would a fresh process (what an earlier session left undelivered is
// dropped); it must show no window.
SessionResult RunSession(kp::host::HeadlessHost &host, const uint8_t *data, size_t size);

// Runs one session on a host of its own.
SessionResult RunSession(const uint8_t *data, size_t size);

}  // namespace kpfuzz
