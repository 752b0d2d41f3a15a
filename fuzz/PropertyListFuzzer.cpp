// Any bytes through the property-list reader: it must return, with a root value exactly when it
// gives no error, never nest deeper than its bound, and hold only the value types it promises.
#include "PropertyListChecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::string broken = quorlan::fuzzing::propertyListViolation(bytes);
    if (!broken.empty()) {
        std::fprintf(stderr, "property list: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
