#include "cli/StderrObserver.h"

#include "../support/TempFolder.h"
#include "bench/SysCalls.h"

#include <gtest/gtest.h>

#include <iostream>
#include <limits>
#include <regex>
#include <sstream>

using namespace quorlan;

namespace {

// What the observer writes on standard error while `act` runs.
template <typename Act> std::string stderrOf(Act act) {
    std::ostringstream captured;
    std::streambuf *const saved = std::cerr.rdbuf(captured.rdbuf());
    act();
    std::cerr.rdbuf(saved);
    return captured.str();
}

} // namespace

// A plan that cannot fit names its pass (a random pass, from 1) or the whole test, and the space
// of the files it replaces when there is any; one that fits, or whose volume cannot be found,
// says nothing.
TEST(StderrObserver, AWarningNamesThePassAndTheReplacedFiles) {
    const quorlan::testing::TempFolder folder;
    PosixSysCalls calls;
    constexpr std::int64_t tooMany = std::numeric_limits<std::int64_t>::max();
    // Each expected text is a regular expression for the line after "quorlan-bench: warning: ";
    // "" for nothing written.
    const std::string volume = "9\\.22 EB; the volume has [0-9.]+ [kMGT]?B free";
    const struct {
        WritePlan plan;
        std::string expected;
    } cases[] = {
        {{folder.path(), tooMany, 0, 0}, "This test writes " + volume + "\\."},
        {{folder.path(), tooMany, 0, 1}, "Pass 1 of this test writes " + volume + "\\."},
        {{folder.path(), tooMany, 5000000, 2},
         "Pass 2 of this test writes " + volume + ", and 5\\.00 MB in the files it replaces\\."},
        {{folder.path(), tooMany, 1, 0},
         "This test writes " + volume + ", and 1 byte in the files it replaces\\."},
        {{folder.path(), 1, 0, 1}, ""},
        {{folder.path() + "/missing/file.tiff", tooMany, 0, 0}, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expected);
        StderrObserver observer(calls, false);
        const std::string text = stderrOf([&] { observer.writesPlanned(c.plan); });
        const std::string whole =
            c.expected.empty() ? "" : "quorlan-bench: warning: " + c.expected + "\n";
        EXPECT_TRUE(std::regex_match(text, std::regex(whole))) << text;
    }
}
