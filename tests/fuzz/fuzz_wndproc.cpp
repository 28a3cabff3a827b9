// libFuzzer target: each input is one session of the program on the headless
// host (see session.h). A session that ends badly (the program does not end
// with 0 on close, or keeps GDI objects) aborts, which libFuzzer reports
// like a crash; sanitizer findings abort on their own.
#include <cstdio>
#include <cstdlib>

#include "session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kpfuzz::SessionResult result = kpfuzz::RunSession(data, size);
    if (!result.ok) {
        std::fprintf(stderr, "session failed after %ld operations: %s\n", result.operations,
                     result.failure.c_str());
        std::abort();
    }
    return 0;
}
