// Any bytes as a results file: reading must return a file or one sentence naming the file, and
// a file read must survive an export and a second reading unchanged.
#include "ResultsFileChecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string broken = quorlan::fuzzing::resultsFileViolation(
        std::string_view(reinterpret_cast<const char *>(data), size));
    if (!broken.empty()) {
        std::fprintf(stderr, "results file: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
