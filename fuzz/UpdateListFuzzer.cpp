// Any bytes as a downloaded update list: reading must return, with either an error and no
// entries or no error; an entry is offered only for an https address on the download site whose
// version differs from the running one.
#include "UpdateListChecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::string broken = quorlan::fuzzing::updateListViolation(bytes);
    if (!broken.empty()) {
        std::fprintf(stderr, "update list: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
