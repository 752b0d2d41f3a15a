// Any bytes as the hardware report tool's output: the overview must come back holding only
// the four keys it may hold.
#include "PropertyListChecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::string broken = quorlan::fuzzing::hardwareOverviewViolation(bytes);
    if (!broken.empty()) {
        std::fprintf(stderr, "hardware overview: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
