#include "bench/ResultsExport.h"

#include "analysis/Statistics.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

namespace quorlan {

namespace {

QString text(const std::string &bytes) {
    return QString::fromStdString(bytes); // invalid UTF-8 becomes U+FFFD
}

QJsonValue number(double figure) {
    return std::isfinite(figure) ? QJsonValue(figure) : QJsonValue(QJsonValue::Null);
}

QJsonValue number(std::optional<std::int64_t> figure) {
    return figure ? QJsonValue(static_cast<qint64>(*figure)) : QJsonValue(QJsonValue::Null);
}

QJsonValue textOrNull(const std::string &bytes) {
    return bytes.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text(bytes));
}

QJsonValue utcDate(const std::optional<Date> &date) {
    return date ? textOrNull(utcDateText(*date)) : QJsonValue(QJsonValue::Null);
}

QJsonObject panelObject(const PanelSettings &panel) {
    const QJsonObject readings{
        {"sizeBytes", number(readFileSize(panel))},
        {"fillByte", static_cast<qint64>(readFillByte(panel))},
        {"repeats", static_cast<qint64>(readRepeats(panel))},
        {"length", static_cast<qint64>(readLength(panel))},
    };
    return QJsonObject{
        {"filesize", text(panel.filesize)},
        {"sizeIndex", panel.sizeIndex},
        {"contentIndex", panel.contentIndex},
        {"repeats", text(panel.repeats)},
        {"length", text(panel.length)},
        {"noCache", panel.noCache},
        {"verbose", panel.verbose},
        {"isRandom", panel.isRandom},
        {"readings", readings},
    };
}

QJsonObject resultObject(const RecordedResult &recorded) {
    const Result &r = recorded.result;
    return QJsonObject{
        {"type", resultTypeName(r.type)},
        {"typeCode", static_cast<qint64>(resultTypeCode(r.type))},
        {"size", static_cast<qint64>(r.size)},
        {"time", number(r.time)},
        {"rate", number(r.rate)},
        {"path", text(recorded.path)},
        {"cache", cacheModeName(recorded.cache)},
    };
}

// The finite rates of the list's results of each size, ascending.
std::map<std::int64_t, std::vector<double>> ratesBySize(const std::vector<Result> &list) {
    std::map<std::int64_t, std::vector<double>> rates;
    for (const Result &r : list) {
        if (std::isfinite(r.rate))
            rates[r.size].push_back(r.rate);
    }
    for (auto &[size, ascending] : rates)
        std::sort(ascending.begin(), ascending.end());
    return rates;
}

// The report's size table for one kind: one entry per size of the whole run, ascending, with
// this kind's median time at that size, the rate size / median time, and the first and third
// quartiles of the finite rates of its files of that size (sortedQuantile); null where the kind
// has no result of that size.
QJsonArray perSizeArray(const std::vector<Result> &list, const std::set<std::int64_t> &sizes) {
    QJsonArray entries;
    const MedianTimes medianTimes(list);
    const std::map<std::int64_t, std::vector<double>> rates = ratesBySize(list);
    const std::vector<double> none;
    for (const std::int64_t size : sizes) {
        const double medianTime = medianTimes.forSize(size);
        const auto found = rates.find(size);
        const std::vector<double> &ascending = found == rates.end() ? none : found->second;
        entries.append(QJsonObject{
            {"size", static_cast<qint64>(size)},
            {"medianTime", number(medianTime)},
            {"rate", number(static_cast<double>(size) / medianTime)},
            {"firstQuartileRate", number(sortedQuantile(ascending, 0.25))},
            {"thirdQuartileRate", number(sortedQuantile(ascending, 0.75))},
        });
    }
    return entries;
}

// One section of the report as numbers: rates in bytes per second, intercept in seconds, slope
// in seconds per byte.
QJsonObject summaryObject(const std::vector<Result> &list, const std::set<std::int64_t> &sizes) {
    const RateSpread spread = rateSpread(list);
    const std::optional<LeastSquaresLine> line = leastSquaresLine(list);
    return QJsonObject{
        {"n", static_cast<qint64>(list.size())},
        {"mean", number(meanRate(list))},
        {"median", number(spread.median)},
        {"slowest", number(spread.slowest)},
        {"fastest", number(spread.fastest)},
        {"perSize", perSizeArray(list, sizes)},
        {"regressedRate", number(regressedRate(list))},
        {"intercept", line ? number(line->intercept) : QJsonValue(QJsonValue::Null)},
        {"slope", line ? number(line->slope) : QJsonValue(QJsonValue::Null)},
    };
}

QJsonObject summariesObject(const std::vector<RecordedResult> &results) {
    std::set<std::int64_t> sizes; // every size of the run, as the report's tables list them
    for (const RecordedResult &recorded : results)
        sizes.insert(recorded.result.size);
    QJsonObject summaries;
    // The three known kinds, in the order the summary names them.
    for (const ResultKind kind : {ResultKind::Write, ResultKind::Read, ResultKind::UncachedRead}) {
        std::vector<Result> list;
        for (const RecordedResult &recorded : results) {
            if (recorded.result.type == kind)
                list.push_back(recorded.result);
        }
        if (!list.empty())
            summaries.insert(resultTypeName(kind), summaryObject(list, sizes));
    }
    return summaries;
}

// An RFC 4180 field: quoted, with its quotes doubled, when it holds a comma, a quote, CR or LF.
void appendCsvField(QByteArray &out, const std::string &field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        out.append(field.data(), static_cast<qsizetype>(field.size()));
        return;
    }
    out.append('"');
    for (const char c : field) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
}

// The shortest text that reads back as the same double; an empty field when it is not finite.
std::string shortestDouble(double value) {
    if (!std::isfinite(value))
        return {};
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc{} ? std::string(buffer, end) : std::string();
}

} // namespace

std::string utcDateText(Date date) {
    using namespace std::chrono;
    const sys_seconds moment = floor<seconds>(date);
    const sys_days day = floor<days>(moment);
    const year_month_day calendar(day);
    const hh_mm_ss<seconds> time(moment - day);
    const int year = static_cast<int>(calendar.year());
    if (year < 1 || year > 9999)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", year,
                  static_cast<unsigned>(calendar.month()), static_cast<unsigned>(calendar.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

const char *resultTypeName(ResultKind kind) {
    switch (kind) {
    case ResultKind::Write:
        return "write";
    case ResultKind::Read:
        return "read";
    case ResultKind::UncachedRead:
        return "uncached-read";
    }
    return "unknown";
}

const char *cacheModeName(CacheMode cache) {
    switch (cache) {
    case CacheMode::None:
        return "none";
    case CacheMode::Cached:
        return "cached";
    case CacheMode::Direct:
        return "direct";
    case CacheMode::PagesDropped:
        return "pages-dropped";
    case CacheMode::NotBypassed:
        return "not-bypassed";
    }
    return "none";
}

std::optional<CacheMode> cacheModeNamed(const std::string &name) {
    for (const CacheMode mode : {CacheMode::None, CacheMode::Cached, CacheMode::Direct,
                                 CacheMode::PagesDropped, CacheMode::NotBypassed}) {
        if (name == cacheModeName(mode))
            return mode;
    }
    return std::nullopt;
}

QByteArray resultsJson(const RunRecord &run, const ExportContext &context) {
    QJsonArray results;
    for (const RecordedResult &recorded : run.results)
        results.append(resultObject(recorded));
    const QJsonObject machine{
        {"macType", text(context.macType)},
        {"macOSVersion", text(context.macOSVersion)},
        {"quorlanVersion", text(context.quorlanVersion)},
    };
    const QJsonObject document{
        {"format", resultsFormatVersion},
        {"command", text(run.command)},
        {"path", text(run.path)},
        {"panel", panelObject(run.panel)},
        {"start", utcDate(run.start)},
        {"end", utcDate(run.end)},
        {"partial", run.cancelled},
        {"machine", machine},
        {"fileSystemType", textOrNull(context.fileSystemType)},
        {"results", results},
        {"summary", summariesObject(run.results)},
    };
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

QByteArray resultsCsv(const RunRecord &run, const ExportContext &) {
    QByteArray out = "type,typeCode,size,time,rate,cache,path\r\n";
    for (const RecordedResult &recorded : run.results) {
        const Result &r = recorded.result;
        out.append(resultTypeName(r.type)).append(',');
        out.append(std::to_string(resultTypeCode(r.type))).append(',');
        out.append(std::to_string(r.size)).append(',');
        out.append(shortestDouble(r.time)).append(',');
        out.append(shortestDouble(r.rate)).append(',');
        out.append(cacheModeName(recorded.cache)).append(',');
        appendCsvField(out, recorded.path);
        out.append("\r\n");
    }
    return out;
}

} // namespace quorlan
