#include "../support/FaultySysCalls.h"
#include "../support/GoldenMatch.h"
#include "../support/TempFolder.h"

#include "bench/UserFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sys/stat.h>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

// Bytes go out exactly (UTF-8 without a byte-order mark, a zero byte; nothing at all), in place
// of a longer file (a hard link sees the new text: no temporary file and rename), under a name
// used byte for byte, with mode 0644 less the umask.
TEST(UserFile, WritesBytesExactlyInPlace) {
    const TempFolder scratch;
    const std::string path = scratch.path() + "/r\xe9sultats.csv", link = scratch.path() + "/link";
    writeFile(path, 5000, 'z');
    fs::create_hard_link(path, link);
    for (const std::string &text :
         {std::string("\u00fcber/\u65e5\u672c\n\tA\0\r\nB", 19), std::string()}) {
        EXPECT_EQ(writeUserFile(systemCalls(), path, text), 0);
        EXPECT_EQ(fileContents(link), text);
    }
    EXPECT_EQ(writeUserFile(systemCalls(), scratch.path() + "/new", "x"), 0);
    struct stat info {};
    ASSERT_EQ(stat((scratch.path() + "/new").c_str(), &info), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0644 & ~mask);
}

// Each row's answer, calls and what the file (which held an older, longer text) holds
// afterwards, against a snapshot; the file is never deleted and no close is retried.
TEST(UserFile, FaultsGiveTheirErrorAndCloseOnce) {
    const struct {
        const char *what;
        std::size_t maxTransfer; // bytes per write call at most; 0: no limit
        int eintrEverywhere;     // each call first fails this many times with EINTR
        Fault fault = {};
        Fault also = {};
    } cases[] = {
        {"no fault", 0, 0},
        {"EINTR before every call; close's EINTR counts as closed", 0, 2},
        {"short writes are continued", 3, 0},
        {"the open is refused: the older file stays", 0, 0, {"open-create", 1, 0, EACCES}},
        {"ENOSPC at the first write", 0, 0, {"write", 1, 0, ENOSPC}},
        {"ENOSPC after a short write: the part written stays", 4, 0, {"write", 2, 0, ENOSPC}},
        {"a write that moves nothing is a full volume", 0, 0, {"write", 1, 0, 0}},
        {"EIO at the write", 0, 0, {"write", 1, 0, EIO}},
        {"fsync fails", 0, 0, {"fsync", 1, 0, EIO}},
        {"a file that cannot be synced is still written", 0, 0, {"fsync", 1, 0, EINVAL}},
        {"close fails", 0, 0, {"close", 1, 0, EIO}},
        {"close is interrupted", 0, 0, {"close", 1, 0, EINTR}},
        {"the first failure is the one reported",
         0,
         0,
         {"fsync", 1, 0, EIO},
         {"close", 1, 0, EBADF}},
    };
    const TempFolder scratch;
    const std::string path = scratch.path() + "/results.json";
    std::string trace;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(path, 0);
        ASSERT_EQ(writeUserFile(systemCalls(), path, "an older, longer text"), 0);
        FaultySysCalls calls;
        calls.faults = {c.fault, c.also};
        calls.maxTransfer = c.maxTransfer;
        calls.eintrEverywhere = c.eintrEverywhere;
        const int error = writeUserFile(calls, path, "0123456789");
        trace += std::string(c.what) + ": " + (error ? std::strerror(error) : "0") + ";";
        for (const std::string &name : calls.calls)
            trace += " " + name;
        trace += "; \"" + fileContents(path) + "\"\n";
        EXPECT_EQ(calls.strayCloses, 0) << "a close was retried";
    }
    EXPECT_TRUE(matchesSnapshot(trace, "user-file-faults.txt"));
}

// The error text is the system's sentence, also for a number it does not know.
TEST(UserFile, ErrorTextIsTheSystemsSentence) {
    EXPECT_EQ(errorText(ENOSPC), std::strerror(ENOSPC));
    EXPECT_FALSE(errorText(99999).empty());
}
