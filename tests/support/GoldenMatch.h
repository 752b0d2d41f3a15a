#pragma once

// Compares output with a golden file written by hand (tests/fixtures).

#include <fstream>
#include <iterator>
#include <regex>
#include <string>

namespace quorlan::testing {

inline std::string escapeRegex(const std::string &text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

// A golden file written by hand: exact text with {path}, {time}, {rate} and {date} standing for
// what changes from run to run, and {machine}, {os} and {version} for this machine's texts.
// {machine} is the description block up to its last line feed: its lines in their fixed order,
// the optional ones (machine name, chip type, processors, memory) only in their places.
inline bool matchesGolden(const std::string &output, const std::string &fixture,
                          const std::string &path) {
    std::ifstream in(std::string(QUORLAN_FIXTURES) + "/" + fixture);
    std::string golden((std::istreambuf_iterator<char>(in)), {});
    std::string pattern = escapeRegex(golden);
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
    return std::regex_match(output, std::regex(pattern));
}

} // namespace quorlan::testing
