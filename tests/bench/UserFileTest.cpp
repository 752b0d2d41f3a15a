#include "../support/FaultySysCalls.h"
#include "../support/TempFolder.h"

#include "bench/UserFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace quorlan {
namespace {

using testing::Fault;
using testing::FaultySysCalls;
using testing::fileContents;
using testing::TempFolder;

TEST(UserFile, WritesBytesExactly) {
    const TempFolder scratch;
    const std::string folder = scratch.path();
    ASSERT_FALSE(folder.empty());
    SysCalls &calls = systemCalls();

    const std::string empty = folder + "/empty.text";
    EXPECT_EQ(writeUserFile(calls, empty, ""), 0);
    ASSERT_TRUE(std::filesystem::is_regular_file(empty));
    EXPECT_EQ(std::filesystem::file_size(empty), 0u);

    // Non-ASCII text (a test path, say) goes out as its UTF-8 bytes, without a byte-order mark.
    const std::string text = "Test path /Volumes/Daten \u00fcber/\u65e5\u672c/x.tiff\n\tA\r\nB";
    const std::string utf8 = folder + "/utf8.text";
    EXPECT_EQ(writeUserFile(calls, utf8, text), 0);
    EXPECT_EQ(fileContents(utf8), text);

    struct stat info {};
    ASSERT_EQ(stat(utf8.c_str(), &info), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0644 & ~mask);

    // Replacing a longer file leaves only the new text.
    const std::string longer = folder + "/longer.text";
    testing::writeFile(longer, 5000, 'z');
    EXPECT_EQ(writeUserFile(calls, longer, "short\n"), 0);
    EXPECT_EQ(fileContents(longer), "short\n");
    EXPECT_EQ(writeUserFile(calls, longer, ""), 0);
    EXPECT_EQ(std::filesystem::file_size(longer), 0u);

    // Written in place: a link to the file sees the new text (no temporary file and rename).
    const std::string link = folder + "/link.text";
    std::filesystem::create_hard_link(longer, link);
    EXPECT_EQ(writeUserFile(calls, longer, "again"), 0);
    EXPECT_EQ(fileContents(link), "again");

    // The name is used byte for byte, even where it is not UTF-8; a zero byte in the data stays.
    const std::string latin1 = folder + "/r\xe9sultats.csv";
    EXPECT_EQ(writeUserFile(calls, latin1, std::string("a\0b", 3)), 0);
    EXPECT_EQ(fileContents(latin1), std::string("a\0b", 3));
}

// One case of the write under injected faults. The file held olderText before the write.
struct FaultCase {
    const char *what;
    std::vector<Fault> faults;
    std::size_t maxTransfer; // bytes per write call at most; 0: no limit
    int eintrEverywhere;     // each call first fails this many times with EINTR
    int error;               // what writeUserFile answers
    const char *content;     // what the file holds afterwards
    const char *calls;       // the calls made, in order
};

constexpr const char *olderText = "an older, longer text";
constexpr const char *newText = "0123456789";

const std::vector<FaultCase> faultCases = {
    {"no fault", {}, 0, 0, 0, newText, "open-create write fsync close"},
    {"EINTR before every call; close's EINTR counts as closed",
     {},
     0,
     2,
     0,
     newText,
     "open-create open-create open-create write write write fsync fsync fsync close"},
    {"short writes are continued",
     {},
     3,
     0,
     0,
     newText,
     "open-create write write write write fsync close"},
    {"the open is refused: the older file stays as it was",
     {{"open-create", 1, 0, EACCES}},
     0,
     0,
     EACCES,
     olderText,
     "open-create"},
    {"ENOSPC at the first write",
     {{"write", 1, 0, ENOSPC}},
     0,
     0,
     ENOSPC,
     "",
     "open-create write close"},
    {"ENOSPC after a short write: the part written stays",
     {{"write", 2, 0, ENOSPC}},
     4,
     0,
     ENOSPC,
     "0123",
     "open-create write write close"},
    {"a write that moves nothing is a full volume",
     {{"write", 1, 0, 0}},
     0,
     0,
     ENOSPC,
     "",
     "open-create write close"},
    {"EIO at the write", {{"write", 1, 0, EIO}}, 0, 0, EIO, "", "open-create write close"},
    {"fsync fails", {{"fsync", 1, 0, EIO}}, 0, 0, EIO, newText, "open-create write fsync close"},
    {"a file that cannot be synced is still written",
     {{"fsync", 1, 0, EINVAL}},
     0,
     0,
     0,
     newText,
     "open-create write fsync close"},
    {"close fails", {{"close", 1, 0, EIO}}, 0, 0, EIO, newText, "open-create write fsync close"},
    {"close is interrupted",
     {{"close", 1, 0, EINTR}},
     0,
     0,
     0,
     newText,
     "open-create write fsync close"},
    {"the first failure is the one reported",
     {{"fsync", 1, 0, EIO}, {"close", 1, 0, EBADF}},
     0,
     0,
     EIO,
     newText,
     "open-create write fsync close"},
};

std::string joined(const std::vector<std::string> &names) {
    std::string text;
    for (const std::string &name : names)
        text += (text.empty() ? "" : " ") + name;
    return text;
}

TEST(UserFile, FaultsGiveTheirErrorAndCloseOnce) {
    const TempFolder scratch;
    ASSERT_FALSE(scratch.path().empty());
    const std::string path = scratch.path() + "/results.json";
    for (const FaultCase &c : faultCases) {
        SCOPED_TRACE(c.what);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << olderText;
        FaultySysCalls calls;
        calls.faults = c.faults;
        calls.maxTransfer = c.maxTransfer;
        calls.eintrEverywhere = c.eintrEverywhere;

        EXPECT_EQ(writeUserFile(calls, path, newText), c.error) << std::strerror(c.error);
        EXPECT_EQ(joined(calls.calls), c.calls);
        EXPECT_EQ(calls.strayCloses, 0) << "a close was retried";
        ASSERT_TRUE(std::filesystem::exists(path)) << "nothing is deleted";
        EXPECT_EQ(fileContents(path), c.content);
    }
}

// Real devices where the machine has them: a volume that is always full, and a file that takes
// everything but cannot be synced.
TEST(UserFile, DevicesThatAreFullOrCannotBeSynced) {
    if (!std::filesystem::exists("/dev/full") || !std::filesystem::exists("/dev/null"))
        GTEST_SKIP() << "this machine has no /dev/full or /dev/null";
    EXPECT_EQ(writeUserFile(systemCalls(), "/dev/full", newText), ENOSPC);
    EXPECT_EQ(writeUserFile(systemCalls(), "/dev/full", ""), 0) << "nothing to write";
    EXPECT_EQ(writeUserFile(systemCalls(), "/dev/null", newText), 0);
}

TEST(UserFile, ErrorTextIsTheSystemsSentence) {
    EXPECT_EQ(errorText(ENOSPC), std::strerror(ENOSPC));
    EXPECT_EQ(errorText(EACCES), std::strerror(EACCES));
    EXPECT_FALSE(errorText(99999).empty());
}

} // namespace
} // namespace quorlan
