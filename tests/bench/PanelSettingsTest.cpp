#include "../support/GoldenMatch.h"
#include "../support/TempFolder.h"
#include "PanelTextChecks.h"

#include "bench/PanelSettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

PanelSettings panelOf(const std::string &text, int sizeIndex = 0) {
    PanelSettings panel;
    panel.filesize = panel.repeats = panel.length = text;
    panel.sizeIndex = sizeIndex;
    return panel;
}

std::string sizeText(std::optional<std::int64_t> bytes) {
    return bytes ? std::to_string(*bytes) : "none";
}

} // namespace

// Each text through every reading, against a snapshot: the field with default 9 (kind and
// value), the file size with the unit pop-up at -1 (none), KB, MB and GB, the repeats and the
// length fields. Plain decimals are truncated from their digits, never rounded through double.
TEST(PanelSettings, ReadingsOfEveryKindOfText) {
    std::vector<std::string> texts = {
        "",   "   ", "5",      " 7 ",   "0",     "abc", "12abc", "1,000", "+-5",    "+",
        "-",  ".",   "-.",     "0x10",  "1.2.3", "2.7", "-2.7",  "+3",    "-3",     "-5",
        ".5", "7.",  "1e-400", "1e300", "1e400", "inf", "-inf",  "nan",   "-1e300", "infinity"};
    const char *const longTexts[] = {"\t1.5e3\n",
                                     "0.99999999999999999999",
                                     "9007199254740993",
                                     "-0.99999999999999999999",
                                     "9223372036854775",
                                     "99999999999999999999.5",
                                     "10000000000",
                                     "9223372036854775807.9",
                                     "9223372036854775807",
                                     "9223372036854775808",
                                     "-9223372036854775808",
                                     "-9223372036854775809"};
    texts.insert(texts.end(), std::begin(longTexts), std::end(longTexts));
    const char *const kinds[] = {"default", "value", "out of range"};
    std::string readings;
    for (const std::string &text : texts) {
        const NumberReading field = readNumberField(text, 9);
        readings += "\"" + text + "\": " + kinds[static_cast<int>(field.kind)] + " " +
                    std::to_string(field.value) + "; size";
        PanelSettings panel = panelOf(text);
        for (panel.sizeIndex = -1; panel.sizeIndex < 3; ++panel.sizeIndex)
            readings += " " + sizeText(readFileSize(panel));
        readings += "; repeats " + std::to_string(readRepeats(panel)) + ", length " +
                    std::to_string(readLength(panel)) + "\n";
    }
    EXPECT_TRUE(matchesSnapshot(readings, "panel-readings.txt"));
}

TEST(PanelSettings, FillByteCheckBoxAndSizeText) {
    const std::uint8_t fills[] = {0x41, 0x00, 0x88, 0x1A, 0x41, 0x41}; // index -1 to 4
    PanelSettings panel;
    for (panel.contentIndex = -1; panel.contentIndex < 5; ++panel.contentIndex)
        EXPECT_EQ(readFillByte(panel), fills[panel.contentIndex + 1]) << panel.contentIndex;
    EXPECT_EQ(std::tuple(isChecked(1), isChecked(0), isChecked(-1)),
              std::tuple(true, false, false));
    EXPECT_EQ(std::tuple(atLeastOne(0), atLeastOne(-3), atLeastOne(12)), std::tuple(1, 1, 12));
    EXPECT_EQ(fileSizeText(panelOf("-5")), "-5 KB");
    EXPECT_EQ(fileSizeText(panelOf(" 5 ", -1)), "5 KB");
    EXPECT_EQ(fileSizeText(panelOf("5", 1)), "5 MB");
    EXPECT_EQ(fileSizeText(panelOf("5", 3)), "5 GB");
}

// Every file of the panel-text corpus goes through the readings with the fuzzer's invariants.
TEST(PanelSettings, EveryCorpusInputKeepsTheReadingContracts) {
    const auto folder = std::filesystem::path(QUORLAN_FUZZ_CORPUS) / "panel-text";
    std::set<std::filesystem::path> files; // sorted, so failures list in a stable order
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        files.insert(entry.path());
    for (const auto &path : files)
        EXPECT_EQ(quorlan::fuzzing::panelTextViolation(fileContents(path)), "") << path;
    EXPECT_GE(files.size(), 10u);
}
