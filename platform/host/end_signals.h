// SIGINT and SIGTERM on the desktop: they always end the program, within a
// second, whatever it is doing.
//
// Once the program has a window and reads its events, a signal closes its
// windows as the window manager's close button would (the program then ends
// with its own exit code, 0). Before that (while the display is being
// opened, which can wait for ever on a display that never answers), and
// whenever the program has not ended a second after the signal (a display
// that stopped answering in the middle of a request), the signal ends the
// process the conventional way: by the signal itself.
#pragma once

namespace kp::host {

// Installs the handlers; the host calls it before it opens any display.
void CatchEndSignals();

// Whether a signal closes the windows (true) or ends the process at once.
void SetCloseOnEndSignal(bool close);

// A descriptor that becomes readable when a signal arrives (-1 if none could
// be made), for the host's waits; and whether one arrived since the last
// call.
int EndSignalDescriptor();
bool TakeEndSignal();

}  // namespace kp::host
