// Any bytes as a value the settings store gets back (layout in SettingCoercionChecks.h): the
// four coercions must return and keep their contracts.
#include "SettingCoercionChecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string broken = quorlan::fuzzing::settingCoercionViolation(
        std::string_view(reinterpret_cast<const char *>(data), size));
    if (!broken.empty()) {
        std::fprintf(stderr, "setting coercion: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
