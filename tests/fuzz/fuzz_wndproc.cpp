// libFuzzer target: each input is one session of the program on the headless
// host (see session.h). A session that ends badly (the program does not end
// with 0 on close, or keeps GDI objects) aborts, which libFuzzer reports
// like a crash; sanitizer findings abort on their own.
#include <cstdio>
#include <cstdlib>

#include "host/headless/headless.h"
#include "session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // One host for every session: a new one would cost a twentieth of a
    // session (its inbox) each time. Never destroyed, so that nothing it
    // calls at exit has gone before it.
    static kp::host::HeadlessHost *host = new kp::host::HeadlessHost;
    kpfuzz::SessionResult result = kpfuzz::RunSession(*host, data, size);
    if (!result.ok) {
        std::fprintf(stderr, "session failed after %ld operations: %s\n", result.operations,
                     result.failure.c_str());
        std::abort();
    }
    return 0;
}
