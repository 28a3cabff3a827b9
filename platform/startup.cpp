// Process start-up for hosts that are not Windows: what the C runtime's
// WinMain start-up does there. The host library linked into the binary
// supplies the default host.
#include <windows.h>

#include <string>

#include "user/host.h"

int main(int argc, char **argv)
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

    kp::host::SetHost(nullptr);
    delete host;
    return exitCode;
}
