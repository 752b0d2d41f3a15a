#include "log/SavedLog.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace quorlan {
namespace {

using namespace std::chrono;

Date utcMoment(int y, unsigned mo, unsigned d, int h, int mi, int s) {
    return sys_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi} + seconds{s};
}

std::string fileContent(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Sets TZ for the life of the object and puts the old value back afterwards.
class TimeZone {
public:
    explicit TimeZone(const char *zone) {
        if (const char *old = std::getenv("TZ")) {
            hadOld_ = true;
            old_ = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool hadOld_ = false;
    std::string old_;
};

TEST(SavedLog, NameWithoutAndWithDate) {
    EXPECT_EQ(savedLogName(std::nullopt), "Quorlan-output.text");
    EXPECT_EQ(savedLogName(utcMoment(2026, 12, 4, 16, 5, 7)), "Quorlan_2026-12-04T16_05_07Z.text");
    // Fractions of a second are dropped, never rounded up.
    EXPECT_EQ(savedLogName(utcMoment(2026, 12, 4, 16, 5, 7) + milliseconds{999}),
              "Quorlan_2026-12-04T16_05_07Z.text");
    // Day boundaries: midnight is hour 00, the last second of a year stays in it.
    EXPECT_EQ(savedLogName(utcMoment(2027, 1, 1, 0, 0, 0)), "Quorlan_2027-01-01T00_00_00Z.text");
    EXPECT_EQ(savedLogName(utcMoment(2026, 12, 31, 23, 59, 59) + nanoseconds{999999999}),
              "Quorlan_2026-12-31T23_59_59Z.text");
    EXPECT_EQ(savedLogName(utcMoment(2028, 2, 29, 12, 0, 0)), "Quorlan_2028-02-29T12_00_00Z.text");
    EXPECT_EQ(savedLogName(Date{}), "Quorlan_1970-01-01T00_00_00Z.text");
    // Before 1970 the stamp still reads as a date and the second is not rounded up.
    EXPECT_EQ(savedLogName(utcMoment(1969, 12, 31, 23, 59, 59) + milliseconds{500}),
              "Quorlan_1969-12-31T23_59_59Z.text");
    EXPECT_FALSE(savedLogName(Date::min()).empty());
    EXPECT_FALSE(savedLogName(Date::max()).empty());
}

TEST(SavedLog, NameIsUtcWhateverTheLocalZone) {
    const TimeZone zone("America/Los_Angeles");
    const std::time_t probe = system_clock::to_time_t(utcMoment(2026, 12, 4, 16, 5, 7));
    std::tm local{};
    ASSERT_NE(localtime_r(&probe, &local), nullptr);
    if (local.tm_hour != 8)
        GTEST_SKIP() << "the zone America/Los_Angeles is not installed on this machine";
    // 16:05:07 UTC is 08:05:07 in Los Angeles; 03:30 UTC is the evening before there.
    EXPECT_EQ(savedLogName(utcMoment(2026, 12, 4, 16, 5, 7)), "Quorlan_2026-12-04T16_05_07Z.text");
    EXPECT_EQ(savedLogName(utcMoment(2026, 7, 1, 3, 30, 0)), "Quorlan_2026-07-01T03_30_00Z.text");
    EXPECT_EQ(savedLogName(utcMoment(2026, 7, 1, 23, 59, 59)), "Quorlan_2026-07-01T23_59_59Z.text");
}

TEST(SavedLog, SavesTextExactly) {
    const testing::TempFolder scratch;
    const std::string folder = scratch.path();
    ASSERT_FALSE(folder.empty());

    const std::string empty = folder + "/empty.text";
    EXPECT_EQ(saveLogText(empty, ""), std::nullopt);
    ASSERT_TRUE(std::filesystem::is_regular_file(empty));
    EXPECT_EQ(std::filesystem::file_size(empty), 0u);

    // Non-ASCII text (a test path, say) goes out as its UTF-8 bytes, without a byte-order mark.
    const std::string text = "Test path /Volumes/Daten \u00fcber/\u65e5\u672c/x.tiff\n\tA\r\nB";
    const std::string utf8 = folder + "/utf8.text";
    EXPECT_EQ(saveLogText(utf8, text), std::nullopt);
    EXPECT_EQ(fileContent(utf8), text);

    struct stat info {};
    ASSERT_EQ(stat(utf8.c_str(), &info), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0644 & ~mask);

    // Replacing a longer file leaves only the new text.
    const std::string longer = folder + "/longer.text";
    testing::writeFile(longer, 5000, 'z');
    EXPECT_EQ(saveLogText(longer, "short\n"), std::nullopt);
    EXPECT_EQ(fileContent(longer), "short\n");
    EXPECT_EQ(saveLogText(longer, ""), std::nullopt);
    EXPECT_EQ(std::filesystem::file_size(longer), 0u);

    // Written in place: a link to the file sees the new text (no temporary file and rename).
    const std::string link = folder + "/link.text";
    std::filesystem::create_hard_link(longer, link);
    EXPECT_EQ(saveLogText(longer, "again"), std::nullopt);
    EXPECT_EQ(fileContent(link), "again");
}

TEST(SavedLog, FailureNamesTheFile) {
    const testing::TempFolder scratch;
    const std::string folder = scratch.path();
    ASSERT_FALSE(folder.empty());

    // The parent is a regular file.
    const std::string parentFile = folder + "/plain";
    testing::writeFile(parentFile, 10);
    const std::string underFile = parentFile + "/log.text";
    const std::optional<std::string> notFolder = saveLogText(underFile, "text");
    ASSERT_TRUE(notFolder.has_value());
    EXPECT_EQ(*notFolder, "The log could not be saved as \u201clog.text\u201d in \u201c" +
                              parentFile + "\u201d: Not a directory.");
    EXPECT_FALSE(std::filesystem::exists(underFile));

    // The folder does not exist.
    const std::string missing = folder + "/missing/Quorlan-output.text";
    const std::optional<std::string> noFolder = saveLogText(missing, "text");
    ASSERT_TRUE(noFolder.has_value());
    EXPECT_EQ(*noFolder, "The log could not be saved as \u201cQuorlan-output.text\u201d in \u201c" +
                             folder + "/missing\u201d: No such file or directory.");
    EXPECT_FALSE(std::filesystem::exists(folder + "/missing"));

    // The path names a folder.
    const std::optional<std::string> isFolder = saveLogText(folder, "text");
    ASSERT_TRUE(isFolder.has_value());
    EXPECT_NE(isFolder->find("Is a directory"), std::string::npos);

    for (const auto &text : {*notFolder, *noFolder, *isFolder}) {
        EXPECT_EQ(text.find('\n'), std::string::npos) << text;
        EXPECT_EQ(text.back(), '.') << text;
    }
}

TEST(SavedLog, FailureWordingForShortPaths) {
    // A path in the root folder and an empty path keep the sentence whole.
    const std::optional<std::string> root = saveLogText("/proc", "x");
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(*root, "The log could not be saved as \u201cproc\u201d in \u201c/\u201d: Is a "
                     "directory.");
    const std::optional<std::string> empty = saveLogText("", "x");
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(*empty,
              "The log could not be saved as \u201c\u201d in \u201c.\u201d: No such file or "
              "directory.");
    // Other saved texts name their own subject.
    EXPECT_EQ(saveTextFile("results", "/proc", "x"),
              "The results could not be saved as \u201cproc\u201d in \u201c/\u201d: Is a "
              "directory.");
}

} // namespace
} // namespace quorlan
