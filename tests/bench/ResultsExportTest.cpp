#include "../support/GoldenMatch.h"

#include "bench/ResultsExport.h"

#include <gtest/gtest.h>

#include <limits>

using namespace quorlan;
using namespace quorlan::testing;
using namespace std::chrono_literals;

namespace {

// Every kind (and a code of none), every cache mode, figures without a value, sizes a kind lacks
// and paths that need quoting in CSV or are not UTF-8; a panel whose size reads as nothing.
RunRecord oddRun() {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    RunRecord run;
    run.command = "mixed";
    run.path = "/t/odd\xff";
    run.panel.filesize = "-5";
    run.panel.contentIndex = 2;
    run.panel.repeats = "0";
    run.panel.length = " 7 ";
    run.panel.noCache = 1;
    run.start = Date{} - 500ms; // before 1970: the second it falls in
    run.end = Date{} + 1700000000s + 999ms;
    run.cancelled = true;
    run.results = {
        {{ResultKind::Write, 20000, 0.5, 40000.0}, "/t/a,\"b\"", CacheMode::None},
        {{ResultKind::Write, 40000, 0.75, 53333.333333333336}, "/t/line\nbreak", CacheMode::None},
        {{ResultKind::Write, 40000, 1.25, 32000.0}, "/t/cr\r", CacheMode::None},
        {{ResultKind::Read, 30000, 0.1, 300000.00000000006}, "/t/plain \xff", CacheMode::Cached},
        {{ResultKind::UncachedRead, 40000, nan, inf}, "/t/\"", CacheMode::NotBypassed},
        {{ResultKind::UncachedRead, 30000, 5e-07, 6e10}, "/t/d", CacheMode::Direct},
        {{ResultKind::UncachedRead, 30000, 2.0, 15000.0}, "/t/p", CacheMode::PagesDropped},
        {{ResultKind{7}, 60000, 1.0, 60000.0}, "/t/x", CacheMode::Cached},
    };
    return run;
}

} // namespace

// The whole documents, byte for byte: keys, nulls, dates, the summaries' figures per kind and
// per size, CSV quoting and shortest doubles. A run with nothing is still a whole document.
TEST(ResultsExport, DocumentsMatchTheirSnapshots) {
    const ExportContext context{"Mac model = Unknown\nCPU = Test, 2 cores\n", "Test OS 1", "9.8.7",
                                "ext4"};
    const struct {
        RunRecord run;
        ExportContext context;
        const char *name;
    } cases[] = {{oddRun(), context, "results-odd"},
                 {RunRecord{}, ExportContext{}, "results-empty"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(matchesSnapshot(resultsJson(c.run, c.context).toStdString(),
                                    std::string(c.name) + ".json"));
        EXPECT_TRUE(matchesSnapshot(resultsCsv(c.run, c.context).toStdString(),
                                    std::string(c.name) + ".csv"));
    }
}
