// Time to compare two runs of RESULTS results each, as `quorlan-bench compare` does: the two
// results files read (readResultsFile) against the same plus comparedRun, compareRuns and the
// text, and those three alone on runs read before. The runs are mixed tests of the sixteen standard
// sizes (half writes, half reads), their times noisy (a log-normal spread of 10%, one file in fifty
// three times slower), the second run 3% faster. Prints each round and the medians in milliseconds.
// Usage: compare-bench [DIR] [RESULTS] [RUNS]   (defaults: a new folder under /var/tmp, removed
// at the end; 100000; 5)
#include "analysis/ComparisonText.h"
#include "bench/Bench.h"
#include "bench/ResultsExport.h"
#include "bench/ResultsFile.h"
#include "bench/SysCalls.h"
#include "bench/UserFile.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

quorlan::RunRecord noisyRun(int results, double speed, std::uint64_t seed) {
    const std::vector<std::int64_t> sizes = quorlan::standardSizes();
    std::mt19937_64 random(seed);
    std::normal_distribution<double> spread(0.0, 0.1);
    std::uniform_int_distribution<int> hiccup(0, 49);
    quorlan::RunRecord run;
    run.command = "mixed";
    run.path = "/var/tmp/q";
    for (int i = 0; i < results; ++i) {
        const bool write = i % 2 == 0;
        const std::int64_t size = sizes[static_cast<std::size_t>(i / 2) % sizes.size()];
        const double time = (2e-4 + static_cast<double>(size) / speed) * std::exp(spread(random)) *
                            (hiccup(random) == 0 ? 3.0 : 1.0);
        run.results.push_back(
            {quorlan::Result{write ? quorlan::ResultKind::Write : quorlan::ResultKind::Read, size,
                             time, static_cast<double>(size) / time},
             run.path + "/" + std::to_string(i % 16) + ".tiff",
             write ? quorlan::CacheMode::None : quorlan::CacheMode::Cached});
    }
    return run;
}

bool writeRun(const std::string &file, const quorlan::RunRecord &run) {
    const quorlan::ExportContext context{"Mac model = Unknown\n", "", "0.0.0", "ext4"};
    const QByteArray bytes = quorlan::resultsJson(run, context);
    return quorlan::writeUserFile(
               quorlan::systemCalls(), file,
               std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))) == 0;
}

double milliseconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
        .count();
}

// comparedRun of both, compareRuns and the text; the time in ms.
double compareTime(const quorlan::ResultsFile &base, const quorlan::ResultsFile &other,
                   std::size_t &textBytes) {
    const auto start = std::chrono::steady_clock::now();
    const quorlan::RunComparison comparison =
        quorlan::compareRuns(quorlan::comparedRun(base.run, base.context, "base.json"),
                             quorlan::comparedRun(other.run, other.context, "other.json"));
    textBytes = quorlan::comparisonText({comparison}).size();
    return milliseconds(start);
}

// Reads both files; with compare, compares them and makes the text too. The time in ms, or -1
// when a file cannot be read.
double roundTime(const std::string &base, const std::string &other, bool compare,
                 std::size_t &textBytes) {
    const auto start = std::chrono::steady_clock::now();
    const quorlan::ResultsFileReading baseFile = quorlan::readResultsFile(base);
    const quorlan::ResultsFileReading otherFile = quorlan::readResultsFile(other);
    if (!baseFile.file || !otherFile.file) {
        std::fprintf(stderr, "%s%s\n", baseFile.error.c_str(), otherFile.error.c_str());
        return -1.0;
    }
    if (compare)
        compareTime(*baseFile.file, *otherFile.file, textBytes);
    return milliseconds(start);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    std::string dir = argc > 1 && argv[1][0] != '\0' ? argv[1] : "";
    const int results = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100000;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const bool temporary = dir.empty();
    if (temporary) {
        char pattern[] = "/var/tmp/compare-bench.XXXXXX";
        if (!::mkdtemp(pattern)) {
            std::perror("mkdtemp");
            return 1;
        }
        dir = pattern;
    }
    const std::string base = dir + "/base.json", other = dir + "/other.json";
    if (!writeRun(base, noisyRun(results, 1.0e9, 1)) ||
        !writeRun(other, noisyRun(results, 1.03e9, 2))) {
        std::fprintf(stderr, "cannot write the results files in %s\n", dir.c_str());
        return 1;
    }
    std::printf("%s: two results files of %d results, %.1f MB each\n", dir.c_str(), results,
                static_cast<double>(std::filesystem::file_size(base)) / 1e6);
    const quorlan::ResultsFileReading baseFile = quorlan::readResultsFile(base);
    const quorlan::ResultsFileReading otherFile = quorlan::readResultsFile(other);
    if (!baseFile.file || !otherFile.file)
        return 1;
    std::vector<double> reads, both, compares;
    std::size_t textBytes = 0;
    for (int round = 1; round <= runs; ++round) { // alternating
        reads.push_back(roundTime(base, other, false, textBytes));
        both.push_back(roundTime(base, other, true, textBytes));
        compares.push_back(compareTime(*baseFile.file, *otherFile.file, textBytes));
        std::printf("round %d: reading %.1f ms, reading and comparing %.1f ms, comparing the "
                    "runs read before %.1f ms\n",
                    round, reads.back(), both.back(), compares.back());
    }
    std::printf("medians of %d: reading %.1f ms, reading and comparing %.1f ms, comparing alone "
                "%.1f ms (a text of %zu bytes)\n",
                runs, median(reads), median(both), median(compares), textBytes);
    if (temporary)
        std::filesystem::remove_all(dir);
    return 0;
}
