#include "host.h"

namespace kp::host {

namespace {
Host *currentHost = nullptr;
}

Host *CurrentHost()
{
    return currentHost;
}

void SetHost(Host *host)
{
    currentHost = host;
}

}  // namespace kp::host
