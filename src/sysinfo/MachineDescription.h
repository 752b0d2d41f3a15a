#pragma once

#include <QString>

namespace quorlan {

class MachineProbe;

// What the run footer prints about the machine: the description block and the system's
// version text.
struct MachineDescription {
    // Lines in a fixed order, each ending with "\n":
    //   "Mac model = "              registry data "model"                always
    //   "Machine name = "           overview "machine_name"              if text
    //   "Version = "                registry data "version"              always
    //   "Hardware UUID = "          registry string "IOPlatformUUID"     always
    //   "CPU = " brand ", " cores " cores"  kernel values                always
    //   "Chip type = "              overview "chip_type"                 if text
    //   "Number of processors = "   overview "number_processors"         if text
    //   "Logic board ID = "         registry data "board-id"             always
    //   "Physical memory = "        overview "physical_memory"           if text
    QString macType;
    QString macOSVersion;
};

// Asks the probe, in this order: the overview, "model", "version", "IOPlatformUUID", the CPU
// brand, the physical core count, "board-id", then the system version.
MachineDescription describeMachine(MachineProbe &probe);

} // namespace quorlan
