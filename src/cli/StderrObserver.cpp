#include "cli/StderrObserver.h"

#include "analysis/Statistics.h"
#include "bench/VolumeInfo.h"

#include <iostream>

namespace quorlan {

void StderrObserver::fileStarted(const Progress &p) {
    if (!terminal_)
        return;
    clearLine();
    if (p.writePhase)
        std::cerr << "writing  ";
    else
        std::cerr << "pass " << p.pass << "/" << p.passes << "  ";
    std::cerr << "file " << p.file;
    if (p.files > 0)
        std::cerr << "/" << p.files;
    std::cerr << "  " << p.path << std::flush;
}

void StderrObserver::writesPlanned(const WritePlan &plan) {
    const std::optional<std::int64_t> free =
        freeBytesShortOf(calls_, plan.path, plan.bytes, plan.replaced);
    if (!free)
        return;
    clearLine();
    std::cerr << "quorlan-bench: warning: "
              << (plan.pass > 0 ? "Pass " + std::to_string(plan.pass) + " of this test"
                                : std::string("This test"))
              << " writes " << formatByteCount(plan.bytes) << "; the volume has "
              << formatByteCount(*free) << " free";
    if (plan.replaced > 0)
        std::cerr << ", and " << formatByteCount(plan.replaced) << " in the files it replaces";
    std::cerr << "." << std::endl;
}

void StderrObserver::clearLine() {
    if (terminal_)
        std::cerr << "\r\033[K" << std::flush;
}

} // namespace quorlan
