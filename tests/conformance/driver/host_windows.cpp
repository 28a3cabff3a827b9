// On Windows (and under Wine) the system itself is the host.
#include "host.h"

namespace conf {

void StartHost() {}
void StopHost() {}

}  // namespace conf
