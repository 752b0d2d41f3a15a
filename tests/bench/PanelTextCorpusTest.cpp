#include "PanelTextChecks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

using namespace quorlan;
using namespace quorlan::fuzzing;

namespace {

std::string contents(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

// Every file of the panel-text corpus goes through the readings with the fuzzer's invariants.
TEST(PanelTextCorpus, EveryInputKeepsTheReadingContracts) {
    const std::filesystem::path folder = std::filesystem::path(QUORLAN_FUZZ_CORPUS) / "panel-text";
    std::set<std::filesystem::path> files; // sorted, so failures list in a stable order
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file())
            files.insert(entry.path());
    }
    for (const auto &path : files)
        EXPECT_EQ(panelTextViolation(contents(path)), "") << path;
    EXPECT_GE(files.size(), 10u);
}

// The layout the corpus files are written in: indices and check boxes first, then the three
// texts split at NUL, the last one taking the rest; texts the input does not reach keep their
// defaults.
TEST(PanelTextCorpus, InputsDecodeIntoThePanelTheyDescribe) {
    using namespace std::string_literals;
    const PanelTextInput full = decodePanelText("\x01\xff\x19\x04 2.5\0-3\0x\0y"s);
    EXPECT_EQ(full.panel.sizeIndex, 1);
    EXPECT_EQ(full.panel.contentIndex, -1);
    EXPECT_EQ(full.panel.noCache, 1);
    EXPECT_EQ(full.panel.verbose, -1);
    EXPECT_EQ(full.panel.isRandom, 1);
    EXPECT_EQ(full.fieldDefault, INT64_MAX);
    EXPECT_EQ(full.panel.filesize, " 2.5");
    EXPECT_EQ(full.panel.repeats, "-3");
    EXPECT_EQ(full.panel.length, "x\0y"s);

    const PanelTextInput shortInput = decodePanelText("\x02");
    EXPECT_EQ(shortInput.panel.sizeIndex, 2);
    EXPECT_EQ(shortInput.panel.contentIndex, 0);
    EXPECT_EQ(shortInput.panel.filesize, "1");
    EXPECT_EQ(shortInput.panel.repeats, "1");
    EXPECT_EQ(shortInput.panel.length, "5");
}
