#pragma once

#include "sysinfo/MachineProbe.h"

#include <memory>

namespace quorlan {

// The probe of the platform this program runs on: MacProbe on macOS, LinuxProbe of "/"
// elsewhere.
std::unique_ptr<MachineProbe> systemProbe();

} // namespace quorlan
