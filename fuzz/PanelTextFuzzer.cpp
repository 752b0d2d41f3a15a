// Any bytes as the control panel's texts and pop-up indices (layout in PanelTextChecks.h):
// readNumberField and every panel reading must return and keep their contracts.
#include "PanelTextChecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string broken = quorlan::fuzzing::panelTextViolation(
        std::string_view(reinterpret_cast<const char *>(data), size));
    if (!broken.empty()) {
        std::fprintf(stderr, "panel text: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
