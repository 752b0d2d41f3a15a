// Reading results files back: the export's documents read back whole, each malformation refused
// with its own sentence, files that cannot be read or are too large, the run as a comparison
// takes it, and the fuzz corpus replayed with the fuzzer's own checks.
#include "../support/GoldenMatch.h"
#include "../support/TempFolder.h"
#include "ResultsFileChecks.h"

#include "bench/ResultsFile.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <unistd.h>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

// A document and its message ("ok" when the document is read).
using MalformedCase = std::pair<std::string, std::string>;

// The base document of results-file-cases.txt and its cases, each change applied to the base.
std::pair<std::string, std::vector<MalformedCase>> malformedCases() {
    std::istringstream lines(readFixture("results-file-cases.txt"));
    std::string base;
    std::vector<MalformedCase> cases;
    for (std::string change, message; std::getline(lines, change);) {
        if (change.empty() || change[0] == '#')
            continue;
        if (base.empty()) {
            base = change;
            continue;
        }
        std::getline(lines, message);
        std::string document = change.substr(std::min<std::size_t>(2, change.size()));
        const std::size_t arrow = change.find(" ->");
        if (change[0] != '=' && arrow != std::string::npos) {
            const std::string from = change.substr(0, arrow);
            const std::string to = change.substr(std::min(arrow + 4, change.size()));
            document = base;
            if (base.find(from) == std::string::npos)
                ADD_FAILURE() << "not in the base: " << from;
            else
                document.replace(base.find(from), from.size(), to);
        }
        cases.push_back({document, message});
    }
    return {base, cases};
}

// The document without its summary, which follows from the results and is not read.
QJsonObject withoutSummary(const QByteArray &document) {
    QJsonObject object = QJsonDocument::fromJson(document).object();
    object.remove("summary");
    return object;
}

} // namespace

// Every key the export writes goes back to its place: the re-export is the same document, with
// the dates to the second and figures without a value as null. (The summary is left out: a
// rate written as null for being infinite reads back as NaN, and counts as no rate then.)
TEST(ResultsFile, TheExportSnapshotsReadBackToTheSameDocument) {
    for (const char *name : {"results-odd.json", "results-empty.json"}) {
        SCOPED_TRACE(name);
        const std::string written = readFixture(name);
        const ResultsFileReading reading = parseResultsJson(written, name);
        ASSERT_TRUE(reading.file) << reading.error;
        EXPECT_EQ(withoutSummary(resultsJson(reading.file->run, reading.file->context)),
                  withoutSummary(QByteArray::fromStdString(written)));
    }
}

TEST(ResultsFile, EachMalformationGivesItsOwnSentence) {
    const auto [base, cases] = malformedCases();
    EXPECT_TRUE(parseResultsJson(base, "base.json").file);
    for (const auto &[document, message] : cases) {
        SCOPED_TRACE(document);
        const ResultsFileReading reading = parseResultsJson(document, "base.json");
        EXPECT_EQ(reading.error, message == "ok" ? "" : message);
        EXPECT_EQ(reading.file.has_value(), message == "ok");
    }
    EXPECT_GE(cases.size(), 40u);
}

// A file larger than the bound is refused before it is read (the 1 GB one is sparse); one of
// exactly the bound is read.
TEST(ResultsFile, ReadsAReadableFileWithinTheBound) {
    const TempFolder folder;
    const std::string good = readFixture("results-empty.json");
    std::ofstream(folder.path() + "/good.json", std::ios::binary) << good;
    std::filesystem::create_directory(folder.path() + "/folder.json");
    const int fd = ::open((folder.path() + "/big.json").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::ftruncate(fd, maxResultsFileBytes + 1), 0);
    ::close(fd);
    const auto size = static_cast<std::int64_t>(good.size());
    const struct {
        std::string name;
        std::int64_t largest;
        std::string error;
    } cases[] = {
        {"good.json", size, ""},
        {"good.json", size - 1,
         "good.json: larger than the " + std::to_string(size - 1) +
             " bytes a results file may have."},
        {"big.json", maxResultsFileBytes,
         "big.json: larger than the 1073741824 bytes a results file may have."},
        {"gone/missing.json", maxResultsFileBytes,
         "missing.json: cannot be opened: No such file or directory."},
        {"folder.json", maxResultsFileBytes, "folder.json: cannot be read: Is a directory."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name + " " + std::to_string(c.largest));
        const std::string path = folder.path() + "/" + c.name;
        const ResultsFileReading reading = c.largest == maxResultsFileBytes
                                               ? readResultsFile(path)
                                               : readResultsFile(path, c.largest);
        EXPECT_EQ(reading.error, c.error);
        EXPECT_EQ(reading.file.has_value(), c.error.empty());
    }
}

// The comparison's view: the start's UTC text, the machine with the system's line when known,
// and the cache modes of the reads only, ascending, each once.
TEST(ResultsFile, ComparedRunTakesWhatMakesRunsComparable) {
    const ResultsFileReading odd = parseResultsJson(readFixture("results-odd.json"), "odd.json");
    ASSERT_TRUE(odd.file);
    RunRecord reads;
    reads.command = "multi-read";
    reads.panel.contentIndex = 3;
    reads.results = {{{ResultKind::Write, 1, 1.0, 1.0}, "/w", CacheMode::Cached},
                     {{ResultKind{7}, 1, 1.0, 1.0}, "/x", CacheMode::Direct},
                     {{ResultKind::UncachedRead, 2, 1.0, 2.0}, "/u", CacheMode::PagesDropped},
                     {{ResultKind::Read, 3, 1.0, 3.0}, "/r", CacheMode::NotBypassed},
                     {{ResultKind::UncachedRead, 4, 1.0, 4.0}, "/v", CacheMode::PagesDropped}};
    const struct {
        RunRecord run;
        ExportContext context;
        std::string date, machine, fileSystemType;
        int fillByte;
        std::vector<std::string> modes;
        std::vector<std::int64_t> sizes;
    } cases[] = {
        {odd.file->run,
         odd.file->context,
         "1969-12-31T23:59:59Z",
         "Mac model = Unknown\nCPU = Test, 2 cores\nRunning macOS version Test OS 1\n",
         "ext4",
         0x1A,
         {"cached", "direct", "not-bypassed", "pages-dropped"},
         {20000, 40000, 40000, 30000, 40000, 30000, 30000, 60000}},
        {reads,
         ExportContext{"M\n", "", "1", "xfs"},
         "",
         "M\n",
         "xfs",
         0x41,
         {"not-bypassed", "pages-dropped"},
         {1, 1, 2, 3, 4}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.run.command);
        const ComparedRun compared = comparedRun(c.run, c.context, "label");
        EXPECT_EQ(compared.label, "label");
        EXPECT_EQ(compared.date, c.date);
        EXPECT_EQ(compared.machine, c.machine);
        EXPECT_EQ(compared.fileSystemType, c.fileSystemType);
        EXPECT_EQ(compared.command, c.run.command);
        EXPECT_EQ(compared.fillByte, c.fillByte);
        EXPECT_EQ(compared.readCacheModes, c.modes);
        std::vector<std::int64_t> sizes;
        for (const Result &r : compared.results)
            sizes.push_back(r.size);
        EXPECT_EQ(sizes, c.sizes);
    }
}

// Every file of the results-file corpus keeps the reader's contract.
TEST(ResultsFile, EveryCorpusInputKeepsTheReadingContract) {
    const auto folder = std::filesystem::path(QUORLAN_FUZZ_CORPUS) / "results-file";
    std::set<std::filesystem::path> files; // sorted, so failures list in a stable order
    for (const auto &entry : std::filesystem::directory_iterator(folder))
        files.insert(entry.path());
    for (const auto &path : files)
        EXPECT_EQ(quorlan::fuzzing::resultsFileViolation(fileContents(path)), "") << path;
    EXPECT_GE(files.size(), 40u);
}
