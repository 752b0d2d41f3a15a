#pragma once

// Compares output with an expected text in tests/fixtures: a golden file (a pattern written by
// hand) or a snapshot (exact bytes).
//
// Refreshing: run the tests with QUORLAN_UPDATE_SNAPSHOTS=1. A snapshot that differs is then
// rewritten with the output (the test passes; review the diff before committing). A golden file
// is never rewritten: the output is written beside it as NAME.actual, to merge by hand while
// keeping its placeholders.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>

namespace quorlan::testing {

inline std::string fixturePath(const std::string &fixture) {
    return std::string(QUORLAN_FIXTURES) + "/" + fixture;
}

inline bool updatingSnapshots() {
    const char *flag = std::getenv("QUORLAN_UPDATE_SNAPSHOTS");
    return flag != nullptr && std::string(flag) == "1";
}

inline std::string readFixture(const std::string &fixture) {
    std::ifstream in(fixturePath(fixture), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

inline void writeFixture(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

inline std::string escapeRegex(const std::string &text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

// Exact comparison; a failure names the first line that differs.
inline ::testing::AssertionResult matchesSnapshot(const std::string &output,
                                                  const std::string &fixture) {
    const std::string expected = readFixture(fixture);
    if (output == expected)
        return ::testing::AssertionSuccess();
    if (updatingSnapshots()) {
        writeFixture(fixturePath(fixture), output);
        return ::testing::AssertionSuccess();
    }
    std::istringstream got(output), want(expected);
    std::string gotLine, wantLine;
    for (int line = 1;; ++line) {
        const bool moreGot = static_cast<bool>(std::getline(got, gotLine));
        const bool moreWant = static_cast<bool>(std::getline(want, wantLine));
        if (!moreGot && !moreWant)
            return ::testing::AssertionFailure() << fixture << ": differs in its line endings";
        if (!moreGot || !moreWant || gotLine != wantLine)
            return ::testing::AssertionFailure()
                   << fixture << " line " << line << ": expected \"" << wantLine << "\", got \""
                   << gotLine << "\"";
    }
}

// A golden file written by hand: exact text with {path}, {time}, {rate} and {date} standing for
// what changes from run to run, and {machine}, {os} and {version} for this machine's texts.
// {machine} is the description block up to its last line feed: its lines in their fixed order,
// the optional ones (machine name, chip type, processors, memory) only in their places.
inline bool matchesGolden(const std::string &output, const std::string &fixture,
                          const std::string &path) {
    std::string pattern = escapeRegex(readFixture(fixture));
    auto replace = [&](const std::string &token, const std::string &with) {
        const std::string escaped = escapeRegex(token);
        for (std::size_t at = pattern.find(escaped); at != std::string::npos;
             at = pattern.find(escaped, at + with.size()))
            pattern.replace(at, escaped.size(), with);
    };
    replace("{path}", escapeRegex(path));
    replace("{time}", R"((\d+\.\d+|\d(\.\d+)?e-\d\d))");
    replace("{rate}", R"(\d+)");
    replace("{size}", R"((20000|40000))");
    replace("{figure}", R"((-?\d+(\.\d\d)? (bytes?|kB|MB|GB|TB|PB|EB)|n/a))");
    replace("{date}", R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d \+0000)");
    replace("{machine}", R"(Mac model = [^\n]*\n(Machine name = [^\n]*\n)?Version = [^\n]*\n)"
                         R"(Hardware UUID = [^\n]*\nCPU = [^\n]*, [^\n]* cores\n)"
                         R"((Chip type = [^\n]*\n)?(Number of processors = [^\n]*\n)?)"
                         R"(Logic board ID = [^\n]*(\nPhysical memory = [^\n]*)?)");
    replace("{os}", R"([^\n]*)");
    replace("{version}", R"(\d+\.\d+\.\d+)");
    const bool matches = std::regex_match(output, std::regex(pattern));
    if (!matches && updatingSnapshots())
        writeFixture(fixturePath(fixture) + ".actual", output);
    return matches;
}

} // namespace quorlan::testing
