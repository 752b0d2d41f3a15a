#include "../support/FaultySysCalls.h"
#include "../support/RecordingLog.h"
#include "../support/TempFolder.h"

#include "analysis/Statistics.h"
#include "bench/Bench.h"
#include "bench/ResultsExport.h"
#include "bench/SysCalls.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <limits>
#include <set>
#include <utility>

using namespace quorlan;
using namespace quorlan::testing;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

const ExportContext context{"Mac model = Unknown\nCPU = Test, 2 cores\n", "Test OS 1", "9.8.7",
                            "ext4"};

QJsonObject parseJson(const QByteArray &bytes) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    EXPECT_TRUE(document.isObject());
    return document.object();
}

std::set<QString> keysOf(const QJsonObject &object) {
    const QStringList keys = object.keys();
    return {keys.begin(), keys.end()};
}

// A figure that has a value is that exact double; one without is null.
void expectFigure(const QJsonValue &value, double expected, const std::string &what) {
    if (std::isfinite(expected)) {
        EXPECT_TRUE(value.isDouble()) << what;
        EXPECT_EQ(value.toDouble(), expected) << what;
    } else {
        EXPECT_TRUE(value.isNull()) << what;
    }
}

std::string utcText(Date date) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(date);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

// RFC 4180 records: fields split at commas, quoted fields unquoted; every record ends in CRLF.
std::vector<std::vector<std::string>> readCsv(const QByteArray &bytes) {
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (quoted) {
            if (c == '"' && i + 1 < bytes.size() && bytes[i + 1] == '"')
                rows.back().back() += bytes[++i];
            else if (c == '"')
                quoted = false;
            else
                rows.back().back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().emplace_back();
        } else if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            rows.emplace_back(1);
            ++i;
        } else {
            rows.back().back() += c;
        }
    }
    EXPECT_EQ(rows.back(), std::vector<std::string>(1)) << "the last record ends in CRLF";
    rows.pop_back();
    return rows;
}

double readDouble(const std::string &text) {
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    EXPECT_EQ(end, text.c_str() + text.size()) << text;
    return value;
}

const std::set<QString> topKeys = {"format", "command", "path",    "panel",   "start",
                                   "end",    "partial", "machine", "results", "fileSystemType",
                                   "summary"};
const std::set<QString> panelKeys = {"filesize", "sizeIndex", "contentIndex", "repeats", "length",
                                     "noCache",  "verbose",   "isRandom",     "readings"};
const std::set<QString> readingKeys = {"sizeBytes", "fillByte", "repeats", "length"};
const std::set<QString> machineKeys = {"macType", "macOSVersion", "quorlanVersion"};
const std::set<QString> resultKeys = {"type", "typeCode", "size", "time", "rate", "path", "cache"};
const std::set<QString> summaryKeys = {
    "n", "mean", "median", "slowest", "fastest", "perSize", "regressedRate", "intercept", "slope"};
const std::set<QString> perSizeKeys = {"size", "medianTime", "rate"};

// Checks one kind's summary against the Statistics functions over list, with the run's sizes.
void expectSummary(const QJsonObject &summary, const std::vector<Result> &list,
                   const std::set<std::int64_t> &sizes) {
    EXPECT_EQ(keysOf(summary), summaryKeys);
    EXPECT_EQ(summary["n"].toInteger(), static_cast<qint64>(list.size()));
    expectFigure(summary["mean"], meanRate(list), "mean");
    const RateSpread spread = rateSpread(list);
    expectFigure(summary["median"], spread.median, "median");
    expectFigure(summary["slowest"], spread.slowest, "slowest");
    expectFigure(summary["fastest"], spread.fastest, "fastest");
    expectFigure(summary["regressedRate"], regressedRate(list), "regressedRate");
    const std::optional<LeastSquaresLine> line = leastSquaresLine(list);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    expectFigure(summary["intercept"], line ? line->intercept : nan, "intercept");
    expectFigure(summary["slope"], line ? line->slope : nan, "slope");
    const QJsonArray perSize = summary["perSize"].toArray();
    ASSERT_EQ(perSize.size(), static_cast<qsizetype>(sizes.size()));
    qsizetype i = 0;
    for (const std::int64_t size : sizes) { // ascending, like the report's table
        const QJsonObject entry = perSize[i++].toObject();
        EXPECT_EQ(keysOf(entry), perSizeKeys);
        EXPECT_EQ(entry["size"].toInteger(), size);
        const double medianTime = MedianTimes(list).forSize(size);
        expectFigure(entry["medianTime"], medianTime, "medianTime");
        expectFigure(entry["rate"], static_cast<double>(size) / medianTime, "perSize rate");
    }
}

void expectResults(const QJsonArray &results, const RunRecord &run) {
    ASSERT_EQ(results.size(), static_cast<qsizetype>(run.results.size()));
    for (qsizetype i = 0; i < results.size(); ++i) {
        const QJsonObject json = results[i].toObject();
        const RecordedResult &recorded = run.results[static_cast<std::size_t>(i)];
        EXPECT_EQ(keysOf(json), resultKeys);
        EXPECT_EQ(json["type"].toString().toStdString(), resultTypeName(recorded.result.type));
        EXPECT_EQ(json["typeCode"].toInteger(), static_cast<std::int64_t>(recorded.result.type));
        EXPECT_EQ(json["size"].toInteger(), recorded.result.size);
        expectFigure(json["time"], recorded.result.time, "time");
        expectFigure(json["rate"], recorded.result.rate, "rate");
        EXPECT_EQ(json["path"].toString().toStdString(), recorded.path);
        EXPECT_EQ(json["cache"].toString().toStdString(), cacheModeName(recorded.cache));
    }
}

void expectCsvRoundTrip(const QByteArray &csv, const RunRecord &run) {
    const auto rows = readCsv(csv);
    ASSERT_EQ(rows.size(), run.results.size() + 1);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"type", "typeCode", "size", "time", "rate",
                                                 "cache", "path"}));
    for (std::size_t i = 0; i < run.results.size(); ++i) {
        const std::vector<std::string> &row = rows[i + 1];
        const RecordedResult &recorded = run.results[i];
        ASSERT_EQ(row.size(), 7u);
        EXPECT_EQ(row[0], resultTypeName(recorded.result.type));
        EXPECT_EQ(row[1], std::to_string(static_cast<std::int64_t>(recorded.result.type)));
        EXPECT_EQ(row[2], std::to_string(recorded.result.size));
        EXPECT_EQ(readDouble(row[3]), recorded.result.time);
        EXPECT_EQ(readDouble(row[4]), recorded.result.rate);
        EXPECT_EQ(row[5], cacheModeName(recorded.cache));
        EXPECT_EQ(row[6], recorded.path);
    }
}

struct CancelAtFirstFile : ProgressSink {
    CancelToken &token;
    explicit CancelAtFirstFile(CancelToken &t) : token(t) {}
    void fileStarted(const Progress &) override { token.cancel(); }
};

} // namespace

TEST(ResultsExport, RealRunsReadBackAsTheAnalyserListsAndTheReportFigures) {
    const TempFolder scratch;
    const std::string folder = scratch.path();
    RecordingLog log;
    Bench bench(log, systemCalls(), {20000, 40000});
    bench.readTimebase();
    bench.theSizes = bench.theStdSizes;
    PanelSettings panel;
    panel.repeats = "2";
    panel.contentIndex = 3;
    for (const int noCache : {0, 1}) {
        panel.noCache = noCache;
        bench.performMixedTest(folder, panel);
        const Analyser &analyser = *bench.theAnalyser;
        const std::vector<Result> &reads = noCache ? analyser.theReads2 : analyser.theReads1;
        ASSERT_EQ(analyser.theWrites.size(), 2u);
        ASSERT_EQ(reads.size(), 4u);

        const QJsonObject json = parseJson(resultsJson(bench.lastRun, context));
        EXPECT_EQ(json["format"].toInteger(), 1);
        EXPECT_EQ(json["command"].toString(), "mixed");
        EXPECT_EQ(json["path"].toString().toStdString(), folder);
        EXPECT_EQ(json["partial"], QJsonValue(false));
        EXPECT_EQ(json["start"].toString().toStdString(), utcText(*bench.startDate));
        EXPECT_EQ(json["end"].toString().toStdString(), utcText(*bench.endDate));
        EXPECT_EQ(json["fileSystemType"].toString(), "ext4");
        const QJsonObject machine = json["machine"].toObject();
        EXPECT_EQ(machine["macType"].toString().toStdString(), context.macType);
        EXPECT_EQ(machine["macOSVersion"].toString().toStdString(), context.macOSVersion);
        EXPECT_EQ(machine["quorlanVersion"].toString().toStdString(), context.quorlanVersion);
        const QJsonObject jsonPanel = json["panel"].toObject();
        EXPECT_EQ(jsonPanel["repeats"].toString(), "2");
        EXPECT_EQ(jsonPanel["contentIndex"].toInteger(), 3);
        EXPECT_EQ(jsonPanel["noCache"].toInteger(), noCache);
        EXPECT_EQ(jsonPanel["readings"].toObject()["fillByte"].toInteger(), 0x41);

        // The results are the Analyser's lists, writes first, in measurement order.
        const QJsonArray results = json["results"].toArray();
        expectResults(results, bench.lastRun);
        std::vector<Result> measured = analyser.theWrites;
        measured.insert(measured.end(), reads.begin(), reads.end());
        ASSERT_EQ(results.size(), static_cast<qsizetype>(measured.size()));
        for (qsizetype i = 0; i < results.size(); ++i) {
            const Result &r = measured[static_cast<std::size_t>(i)];
            EXPECT_EQ(results[i]["typeCode"].toInteger(), static_cast<std::int64_t>(r.type));
            EXPECT_EQ(results[i]["size"].toInteger(), r.size);
            EXPECT_EQ(results[i]["time"].toDouble(), r.time);
            EXPECT_EQ(results[i]["rate"].toDouble(), r.rate);
            const QString cache = results[i]["cache"].toString();
            if (r.type == ResultKind::Write)
                EXPECT_EQ(cache, "none");
            else if (!noCache)
                EXPECT_EQ(cache, "cached");
            else // pages-dropped where the file system refuses O_DIRECT
                EXPECT_TRUE(cache == "direct" || cache == "pages-dropped") << cache.toStdString();
        }

        const QJsonObject summary = json["summary"].toObject();
        const QString readKind = noCache ? "uncached-read" : "read";
        EXPECT_EQ(keysOf(summary), (std::set<QString>{"write", readKind}));
        expectSummary(summary["write"].toObject(), analyser.theWrites, analyser.theSizeSet);
        expectSummary(summary[readKind].toObject(), reads, analyser.theSizeSet);

        expectCsvRoundTrip(resultsCsv(bench.lastRun, context), bench.lastRun);
    }
}

TEST(ResultsExport, FailedAndCancelledRunsExportOnlyWhatWasMeasured) {
    const TempFolder scratch;
    const std::string folder = scratch.path();
    RecordingLog log;
    FaultySysCalls calls;
    Bench bench(log, calls, {20000, 40000});
    bench.readTimebase();
    PanelSettings panel;
    panel.repeats = "2";

    // The second file of the first pass cannot be created: a folder stands in its place.
    fs::create_directory(folder + "/1-1.tiff");
    bench.performMultiWrite(folder, panel);
    QJsonObject json = parseJson(resultsJson(bench.lastRun, context));
    QJsonArray results = json["results"].toArray();
    expectResults(results, bench.lastRun);
    ASSERT_EQ(results.size(), 3);
    for (const QJsonValue result : results)
        EXPECT_NE(result["path"].toString().toStdString(), folder + "/1-1.tiff");
    EXPECT_EQ(std::as_const(json)["summary"]["write"]["n"].toInteger(), 3);
    expectSummary(std::as_const(json)["summary"]["write"].toObject(), bench.theAnalyser->theWrites,
                  bench.theAnalyser->theSizeSet);
    expectCsvRoundTrip(resultsCsv(bench.lastRun, context), bench.lastRun);

    // Every write fails: no results, no summary, still a whole document.
    calls.failWriteErrno = ENOSPC;
    bench.performMultiWrite(folder, panel);
    json = parseJson(resultsJson(bench.lastRun, context));
    EXPECT_EQ(keysOf(json), topKeys);
    EXPECT_TRUE(json["results"].toArray().isEmpty());
    EXPECT_TRUE(json["summary"].toObject().isEmpty());
    EXPECT_EQ(resultsCsv(bench.lastRun, context), "type,typeCode,size,time,rate,cache,path\r\n");

    // Cancelled after the first file: partial, with that one file.
    calls.failWriteErrno = 0;
    CancelToken token;
    CancelAtFirstFile stopper(token);
    bench.setCancelToken(&token);
    bench.setProgressSink(&stopper);
    bench.performMultiWrite(folder, panel);
    json = parseJson(resultsJson(bench.lastRun, context));
    EXPECT_EQ(json["partial"], QJsonValue(true));
    results = json["results"].toArray();
    expectResults(results, bench.lastRun);
    EXPECT_EQ(results.size(), 1);
    EXPECT_EQ(std::as_const(json)["summary"]["write"]["n"].toInteger(), 1);
}

TEST(ResultsExport, KeySetIsFixedAndFiguresWithoutValueAreNull) {
    RunRecord run;
    run.command = "multi-read";
    run.path = "/t/odd\xff";
    run.panel.filesize = "-5";
    run.panel.contentIndex = 2;
    run.panel.repeats = "0";
    run.panel.length = " 7 ";
    run.start = Date{} - 500ms; // before 1970: the second it falls in
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    run.results = {
        {{ResultKind::Write, 20000, 0.5, 40000.0}, "/t/w", CacheMode::None},
        {{ResultKind::UncachedRead, 40000, nan, inf}, "/t/r", CacheMode::NotBypassed},
        {{ResultKind{7}, 60000, 1.0, 60000.0}, "/t/x", CacheMode::Cached},
    };
    const QJsonObject json = parseJson(resultsJson(run, ExportContext{}));

    EXPECT_EQ(keysOf(json), topKeys);
    EXPECT_EQ(keysOf(json["panel"].toObject()), panelKeys);
    EXPECT_EQ(keysOf(json["panel"]["readings"].toObject()), readingKeys);
    EXPECT_EQ(keysOf(json["machine"].toObject()), machineKeys);
    EXPECT_EQ(json["path"].toString(), QString::fromUtf8("/t/odd\xef\xbf\xbd"));
    EXPECT_EQ(json["start"].toString(), "1969-12-31T23:59:59Z");
    EXPECT_TRUE(json["end"].isNull());
    EXPECT_TRUE(json["fileSystemType"].isNull());
    EXPECT_EQ(json["machine"]["macType"].toString(), "");

    const QJsonObject readings = json["panel"]["readings"].toObject();
    EXPECT_TRUE(readings["sizeBytes"].isNull());
    EXPECT_EQ(readings["fillByte"].toInteger(), 0x1A);
    EXPECT_EQ(readings["repeats"].toInteger(), 0); // as read; the test counts it as 1
    EXPECT_EQ(readings["length"].toInteger(), 7);
    EXPECT_EQ(json["panel"]["length"].toString(), " 7 ");

    const QJsonArray results = json["results"].toArray();
    expectResults(results, run);
    EXPECT_TRUE(results[1]["time"].isNull());
    EXPECT_TRUE(results[1]["rate"].isNull());
    EXPECT_EQ(results[2]["type"].toString(), "unknown");

    // Unknown kinds have no summary but their sizes are rows of every table, as in the report.
    const QJsonObject summary = json["summary"].toObject();
    EXPECT_EQ(keysOf(summary), (std::set<QString>{"write", "uncached-read"}));
    const std::set<std::int64_t> sizes{20000, 40000, 60000};
    expectSummary(summary["write"].toObject(), {run.results[0].result}, sizes);
    expectSummary(summary["uncached-read"].toObject(), {run.results[1].result}, sizes);
    EXPECT_TRUE(summary["write"]["regressedRate"].isNull()); // one size: no line
    EXPECT_TRUE(summary["write"]["slope"].isNull());
    EXPECT_TRUE(summary["write"]["perSize"][1]["medianTime"].isNull());
    EXPECT_EQ(summary["write"]["perSize"][0]["rate"].toDouble(), 40000.0);
    EXPECT_TRUE(summary["uncached-read"]["mean"].isNull());
    EXPECT_TRUE(summary["uncached-read"]["fastest"].isNull());

    // Nothing at all: a whole document with empty lists and no dates.
    const QJsonObject empty = parseJson(resultsJson(RunRecord{}, context));
    EXPECT_EQ(keysOf(empty), topKeys);
    EXPECT_TRUE(empty["start"].isNull());
    EXPECT_EQ(empty["partial"], QJsonValue(false));
}

TEST(ResultsExport, CsvQuotesOnlyWhatNeedsItAndPrintsShortestDoubles) {
    RunRecord run;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    run.results = {
        {{ResultKind::Write, 20000, 0.5, 40000.0}, "/t/a,\"b\"", CacheMode::None},
        {{ResultKind::UncachedRead, 40000, nan, 4e10}, "/t/line\nbreak", CacheMode::PagesDropped},
        {{ResultKind::Read, 30000, 0.1, 300000.00000000006}, "/t/plain \xff", CacheMode::Cached},
        {{ResultKind::UncachedRead, 30000, 5e-07, 1.0}, "/t/\"", CacheMode::Direct},
        {{ResultKind::UncachedRead, 30000, 2.0, 0.25}, "/t/cr\r", CacheMode::NotBypassed},
    };
    const QByteArray csv = resultsCsv(run, context);
    EXPECT_EQ(csv.toStdString(), "type,typeCode,size,time,rate,cache,path\r\n"
                                 "write,2,20000,0.5,40000,none,\"/t/a,\"\"b\"\"\"\r\n"
                                 "uncached-read,1,40000,,4e+10,pages-dropped,\"/t/line\nbreak\"\r\n"
                                 "read,0,30000,0.1,300000.00000000006,cached,/t/plain \xff\r\n"
                                 "uncached-read,1,30000,5e-07,1,direct,\"/t/\"\"\"\r\n"
                                 "uncached-read,1,30000,2,0.25,not-bypassed,\"/t/cr\r\"\r\n");
    EXPECT_EQ(readCsv(csv)[2][6], "/t/line\nbreak");
}
