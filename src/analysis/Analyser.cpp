#include "analysis/Analyser.h"

#include "analysis/Statistics.h"

namespace quorlan {

void Analyser::reset() {
    theRates.clear();
    theWrites.clear();
    theReads1.clear();
    theReads2.clear();
    theSizeSet.clear();
}

void Analyser::addResult(ResultKind type, std::int64_t size, double time, double rate) {
    if (!keeps(size)) {
        return;
    }
    theRates.push_back(rate);
    theSizeSet.insert(size);
    switch (type) {
    case ResultKind::Write:
        theWrites.push_back(Result{type, size, time, rate});
        break;
    case ResultKind::UncachedRead:
        theReads2.push_back(Result{type, size, time, rate});
        break;
    case ResultKind::Read:
        theReads1.push_back(Result{type, size, time, rate});
        break;
    default:
        // Unknown kinds count in the rates and sizes only.
        break;
    }
}

namespace {

struct SectionTexts {
    const char *averageHeader;
    const char *tableHeader;
    const char *regressionHeader;
};

void appendSection(std::string &report, const std::vector<Result> &list,
                   const std::vector<std::int64_t> &sizes, const SectionTexts &texts,
                   std::string &resultText) {
    const std::string count = std::to_string(list.size());

    report += texts.averageHeader;
    report += count;
    report += "\n\tAverage = ";
    report += rateText(meanRate(list));
    report += "\n";

    report += medianLine(list);

    report += texts.tableHeader;
    const MedianTimes medianTimes(list);
    for (const std::int64_t size : sizes) {
        report += std::to_string(size);
        report += ",";
        report += rateText(static_cast<double>(size) / medianTimes.forSize(size));
        report += "\n";
    }

    const std::string regressed = rateText(regressedRate(list));
    resultText = regressed;

    report += texts.regressionHeader;
    report += count;
    report += "\n\tRegressed rate = ";
    report += regressed;
    report += "\n";
}

} // namespace

std::string Analyser::buildReport() {
    // std::set is already ordered ascending.
    const std::vector<std::int64_t> sizes(theSizeSet.begin(), theSizeSet.end());

    std::string report;
    if (!theReads1.empty()) {
        appendSection(report, theReads1, sizes,
                      {"\nRead (regular) n = ", "\nsize_read,rate_read\n", "\nRead (regular) n = "},
                      theReadResult);
    }
    if (!theReads2.empty()) {
        appendSection(report, theReads2, sizes,
                      {"\nRead (noncache) = ", "\nsize_read,rate_read\n", "\nRead (noncache) n = "},
                      theReadResult);
    }
    if (!theWrites.empty()) {
        appendSection(report, theWrites, sizes,
                      {"\nWrite = ", "\nsize_write,rate_write\n", "\nWrite n = "}, theWriteResult);
    }

    report += "\nOverall = ";
    report += std::to_string(theRates.size());
    report += "\n\tAverage = ";
    report += rateText(meanRate(theRates));
    report += "\n";
    return report;
}

} // namespace quorlan
