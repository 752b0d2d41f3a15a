#include "../support/TempFolder.h"

#include "app/SaveUserFile.h"
#include "bench/SysCalls.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

using namespace quorlan;
using namespace quorlan::testing;

// The sentence names the subject, the file and its folder, and the system's reason; it is one
// line ending in a full stop, also for a path in the root folder or an empty path.
TEST(SaveUserFile, AFailureIsOneSentenceNamingTheFile) {
    const TempFolder scratch;
    const std::string folder = scratch.path();
    writeFile(folder + "/plain", 10);
    const std::tuple<const char *, std::string, std::string> cases[] = {
        {"log", folder + "/plain/log.text",
         "The log could not be saved as “log.text” in “" + folder + "/plain”: Not a directory."},
        {"log", folder + "/missing/Quorlan-output.text",
         "The log could not be saved as “Quorlan-output.text” in “" + folder +
             "/missing”: No such file or directory."},
        {"results", "/proc", "The results could not be saved as “proc” in “/”: Is a directory."},
        {"log", "", "The log could not be saved as “” in “.”: No such file or directory."}};
    for (const auto &[subject, path, sentence] : cases)
        EXPECT_EQ(saveUserFile(systemCalls(), subject, path, "x"), sentence);
    EXPECT_FALSE(std::filesystem::exists(folder + "/missing"));
}
