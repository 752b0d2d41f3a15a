// Times describeMachine on this machine's own probe: RUNS descriptions (default 200), printing
// the median and slowest in milliseconds against the target of 20 ms.
// Usage: describe-machine-bench [RUNS]

#include "sysinfo/MachineDescription.h"
#include "sysinfo/SystemProbe.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char **argv) {
    const long runs = argc > 1 ? std::max(1L, std::strtol(argv[1], nullptr, 10)) : 200;
    std::vector<double> milliseconds;
    std::size_t lines = 0;
    for (long i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const quorlan::MachineDescription description =
            quorlan::describeMachine(*quorlan::systemProbe());
        const auto end = std::chrono::steady_clock::now();
        milliseconds.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        lines = static_cast<std::size_t>(description.macType.count(u'\n'));
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    const double median = milliseconds[milliseconds.size() / 2];
    std::printf("%ld descriptions of %zu lines: median %.3f ms, slowest %.3f ms "
                "(target well under 20 ms: %s)\n",
                runs, lines, median, milliseconds.back(), median < 20.0 ? "OK" : "NOT");
    return 0;
}
