#include "end_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace kp::host {

namespace {

volatile sig_atomic_t closeOnSignal = 0;
volatile sig_atomic_t pending = 0;   // a signal asked to close; stays set
bool taken = false;                  // the host has taken that request
volatile sig_atomic_t received = 0;  // the signal that asked to end
int pipeFds[2] = {-1, -1};

// Ends the process by the signal that asked to end it.
void EndBy(int signal)
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);
}

void OnAlarm(int)
{
    EndBy(received != 0 ? received : SIGTERM);
}

void OnSignal(int signal)
{
    if (closeOnSignal == 0 || pending != 0) {
        EndBy(signal);  // nothing to close yet, or a second signal
        return;
    }
    const int saved = errno;
    received = signal;
    pending = 1;
    const char byte = 0;
    (void)!write(pipeFds[1], &byte, 1);
    alarm(1);  // the close must be done within the second
    errno = saved;
}

void Handle(int signal, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

}  // namespace

void CatchEndSignals()
{
    if (pipeFds[0] < 0 && pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0)
        pipeFds[0] = pipeFds[1] = -1;
    Handle(SIGALRM, OnAlarm);
    Handle(SIGINT, OnSignal);
    Handle(SIGTERM, OnSignal);
}

void SetCloseOnEndSignal(bool close)
{
    closeOnSignal = close ? 1 : 0;
}

int EndSignalDescriptor()
{
    return pipeFds[0];
}

bool TakeEndSignal()
{
    if (pending == 0 || taken)
        return false;
    taken = true;
    char drain[64];
    while (pipeFds[0] >= 0 && read(pipeFds[0], drain, sizeof drain) > 0) {
    }
    return true;
}

}  // namespace kp::host
