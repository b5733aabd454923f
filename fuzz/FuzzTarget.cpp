// A libFuzzer target around one check (VELMO_FUZZ_CHECK names it): a broken promise aborts with
// its description, so libFuzzer keeps the input as a crash file.
#include <cstdio>
#include <cstdlib>

#include "Checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string broken = velmo_fuzz::VELMO_FUZZ_CHECK(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "velmo fuzz: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
