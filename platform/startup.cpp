// Process start-up for hosts that are not Windows: what the C runtime's
// WinMain start-up does there. The host library linked into the binary
// supplies the default host.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "user/host.h"

namespace {

int RunWinMain(int argc, char **argv)
{
    kp::host::Host *host = kp::host::CreateDefaultHost();
    kp::host::SetHost(host);

    // The command line without the program name, arguments joined by spaces.
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }

    int exitCode = WinMain(GetModuleHandleA(NULL), NULL, commandLine.data(), SW_SHOWDEFAULT);

    // Nothing could be shown: the program ended because the host failed, not
    // by its own choice, and says so once.
    if (const char *failure = host->Failure()) {
        const char *name = argc > 0 && argv[0] != nullptr ? argv[0] : "kelvane-paint";
        if (const char *slash = std::strrchr(name, '/'))
            name = slash + 1;
        std::fprintf(stderr, "%s: %s\n", name, failure);
        exitCode = 1;
    }

    kp::host::SetHost(nullptr);
    delete host;
    return exitCode;
}

}  // namespace

int main(int argc, char **argv)
{
    // Ends the process with WinMain's result, as the C runtime's start-up
    // does: exit, not a return, so that it also ends a program whose main
    // was suspended while it waited for input and resumed later (the browser
    // host), where nothing would hear main's return.
    std::exit(RunWinMain(argc, argv));
}
