#include "sysinfo/SystemProbe.h"

#if defined(__APPLE__)
#include "sysinfo/MacProbe.h"
#else
#include "sysinfo/LinuxProbe.h"
#endif

namespace quorlan {

std::unique_ptr<MachineProbe> systemProbe() {
#if defined(__APPLE__)
    return std::make_unique<MacProbe>();
#else
    return std::make_unique<LinuxProbe>();
#endif
}

} // namespace quorlan
