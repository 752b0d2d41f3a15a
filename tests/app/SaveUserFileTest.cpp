#include "WindowFixture.h"

#include "app/SaveUserFile.h"
#include "bench/SysCalls.h"

#include <QStatusBar>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

using namespace quorlan;
using namespace quorlan::testing;

TEST(SaveUserFile, FailureNamesTheFile) {
    const TempFolder scratch;
    const std::string folder = scratch.path();
    ASSERT_FALSE(folder.empty());

    // The parent is a regular file.
    const std::string parentFile = folder + "/plain";
    writeFile(parentFile, 10);
    const std::string underFile = parentFile + "/log.text";
    const std::optional<std::string> notFolder =
        saveUserFile(systemCalls(), "log", underFile, "text");
    ASSERT_TRUE(notFolder.has_value());
    EXPECT_EQ(*notFolder, "The log could not be saved as \u201clog.text\u201d in \u201c" +
                              parentFile + "\u201d: Not a directory.");
    EXPECT_FALSE(std::filesystem::exists(underFile));

    // The folder does not exist.
    const std::string missing = folder + "/missing/Quorlan-output.text";
    const std::optional<std::string> noFolder = saveUserFile(systemCalls(), "log", missing, "text");
    ASSERT_TRUE(noFolder.has_value());
    EXPECT_EQ(*noFolder, "The log could not be saved as \u201cQuorlan-output.text\u201d in \u201c" +
                             folder + "/missing\u201d: No such file or directory.");
    EXPECT_FALSE(std::filesystem::exists(folder + "/missing"));

    // The path names a folder.
    const std::optional<std::string> isFolder = saveUserFile(systemCalls(), "log", folder, "text");
    ASSERT_TRUE(isFolder.has_value());
    EXPECT_NE(isFolder->find("Is a directory"), std::string::npos);

    for (const auto &text : {*notFolder, *noFolder, *isFolder}) {
        EXPECT_EQ(text.find('\n'), std::string::npos) << text;
        EXPECT_EQ(text.back(), '.') << text;
    }
}

TEST(SaveUserFile, FailureWordingForShortPaths) {
    // A path in the root folder and an empty path keep the sentence whole.
    const std::optional<std::string> root = saveUserFile(systemCalls(), "log", "/proc", "x");
    ASSERT_TRUE(root.has_value());
    EXPECT_EQ(*root, "The log could not be saved as \u201cproc\u201d in \u201c/\u201d: Is a "
                     "directory.");
    const std::optional<std::string> empty = saveUserFile(systemCalls(), "log", "", "x");
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(*empty,
              "The log could not be saved as \u201c\u201d in \u201c.\u201d: No such file or "
              "directory.");
    // Other saved texts name their own subject.
    EXPECT_EQ(saveUserFile(systemCalls(), "results", "/proc", "x"),
              "The results could not be saved as \u201cproc\u201d in \u201c/\u201d: Is a "
              "directory.");
}

// The log, the results and the chart all go through the window's system calls and fail with the
// same sentence: the log's in the log, the others' in the status bar. /dev/full is a volume that
// is always full.
TEST_F(WindowTest, LogResultsAndChartFailWithOneSentence) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "this machine has no /dev/full";
    runCommand(&ViewController::runMultiWriteTest, folder);
    const auto sentence = [](const std::string &subject) {
        return "The " + subject +
               " could not be saved as \u201cfull\u201d in \u201c/dev\u201d: No space left on "
               "device.";
    };

    const std::string logBefore = log();
    panels.answers.push_back({panelOKResponse, QStringLiteral("/dev/full")});
    window->exportResults();
    EXPECT_EQ(window->statusBar()->currentMessage().toStdString(), sentence("results"));

    panels.answers.push_back({panelOKResponse, QStringLiteral("/dev/full")});
    window->saveChart();
    EXPECT_EQ(window->statusBar()->currentMessage().toStdString(), sentence("chart"));
    EXPECT_EQ(log(), logBefore) << "the results and the chart tell in the status bar only";

    panels.answers.push_back({panelOKResponse, QStringLiteral("/dev/full")});
    window->saveContents();
    EXPECT_EQ(log(), logBefore + sentence("log"));
}
