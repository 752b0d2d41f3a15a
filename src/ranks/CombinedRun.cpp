#include "ranks/CombinedRun.h"

#include "analysis/Analyser.h"
#include "bench/ResultsFile.h"
#include "log/LogLines.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <limits>
#include <map>
#include <utility>

namespace quorlan {

namespace {

QJsonValue optionalNumber(const std::optional<double> &value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

std::optional<double> readOptionalNumber(const QJsonValue &value) {
    return value.isDouble() ? std::optional<double>(value.toDouble()) : std::nullopt;
}

QJsonObject stepObject(const RankStep &step) {
    QJsonObject object{
        {"step", static_cast<qint64>(step.step)},
        {"typeCode", step.result
                         ? QJsonValue(static_cast<qint64>(resultTypeCode(step.result->type)))
                         : QJsonValue(QJsonValue::Null)},
        {"size", step.result ? QJsonValue(static_cast<qint64>(step.result->size))
                             : QJsonValue(QJsonValue::Null)},
        {"time", step.result ? QJsonValue(step.result->time) : QJsonValue(QJsonValue::Null)},
        {"cache", cacheModeName(step.cache)},
        {"start", optionalNumber(step.start)},
        {"end", optionalNumber(step.end)},
        {"monotonicStart", optionalNumber(step.monotonicStart)},
        {"monotonicEnd", optionalNumber(step.monotonicEnd)},
    };
    return object;
}

RankStep readStep(const QJsonObject &object) {
    RankStep step;
    step.step = object.value("step").toInteger();
    const QJsonValue size = object.value("size");
    const QJsonValue time = object.value("time");
    if (object.value("typeCode").isDouble() && size.isDouble() && time.isDouble() &&
        time.toDouble() > 0) {
        const std::int64_t bytes = size.toInteger();
        step.result = Result{ResultKind{object.value("typeCode").toInteger()}, bytes,
                             time.toDouble(), static_cast<double>(bytes) / time.toDouble()};
    }
    step.cache =
        cacheModeNamed(object.value("cache").toString().toStdString()).value_or(CacheMode::None);
    step.start = readOptionalNumber(object.value("start"));
    step.end = readOptionalNumber(object.value("end"));
    step.monotonicStart = readOptionalNumber(object.value("monotonicStart"));
    step.monotonicEnd = readOptionalNumber(object.value("monotonicEnd"));
    return step;
}

// The hosts in order of their first rank, each with its ranks.
std::vector<std::pair<std::string, std::vector<int>>>
ranksByHost(const std::vector<RankRun> &ranks) {
    std::vector<std::pair<std::string, std::vector<int>>> hosts;
    for (const RankRun &rank : ranks) {
        auto found = std::find_if(hosts.begin(), hosts.end(),
                                  [&](const auto &host) { return host.first == rank.host; });
        if (found == hosts.end())
            hosts.push_back({rank.host, {rank.rank}});
        else
            found->second.push_back(rank.rank);
    }
    return hosts;
}

} // namespace

std::vector<AggregateStep> aggregateSteps(const std::vector<RankRun> &ranks) {
    struct Gathered {
        AggregateStep step;
        double earliest = std::numeric_limits<double>::infinity();
        double latest = -std::numeric_limits<double>::infinity();
    };
    std::map<std::pair<std::int64_t, std::int64_t>, Gathered> byStep;
    for (const RankRun &rank : ranks) {
        for (const RankStep &step : rank.steps) {
            if (!step.result || !step.start || !step.end)
                continue;
            Gathered &gathered = byStep[{step.step, resultTypeCode(step.result->type)}];
            AggregateStep &aggregate = gathered.step;
            const double rate = step.result->rate;
            if (aggregate.ranks == 0 || rate < aggregate.slowestRate)
                std::tie(aggregate.slowestRank, aggregate.slowestRate) = std::pair(rank.rank, rate);
            if (aggregate.ranks == 0 || rate > aggregate.fastestRate)
                std::tie(aggregate.fastestRank, aggregate.fastestRate) = std::pair(rank.rank, rate);
            aggregate.cache =
                aggregate.ranks == 0 ? step.cache : std::max(aggregate.cache, step.cache);
            aggregate.step = step.step;
            aggregate.kind = step.result->type;
            aggregate.ranks += 1;
            aggregate.bytes += step.result->size;
            gathered.earliest = std::min(gathered.earliest, *step.start);
            gathered.latest = std::max(gathered.latest, *step.end);
        }
    }
    std::vector<AggregateStep> steps;
    for (auto &[key, gathered] : byStep) {
        AggregateStep step = gathered.step;
        step.span = gathered.latest - gathered.earliest;
        if (!(step.span > 0))
            continue;
        step.rate = static_cast<double>(step.bytes) / step.span;
        steps.push_back(step);
    }
    return steps;
}

RunRecord aggregateRun(const std::vector<RankRun> &ranks, const std::string &path,
                       const std::vector<AggregateStep> &steps) {
    RunRecord run;
    if (!ranks.empty()) {
        run.command = ranks.front().run.command;
        run.panel = ranks.front().run.panel;
    }
    run.path = path;
    for (const RankRun &rank : ranks) {
        const RunRecord &own = rank.run;
        if (own.start && (!run.start || *own.start < *run.start))
            run.start = own.start;
        if (own.end && (!run.end || *own.end > *run.end))
            run.end = own.end;
        run.cancelled = run.cancelled || own.cancelled;
        run.operations += own.operations;
        if (run.failedOperations == 0)
            run.firstFailureErrno = own.firstFailureErrno;
        run.failedOperations += own.failedOperations;
    }
    for (const AggregateStep &step : steps)
        run.results.push_back(
            {Result{step.kind, step.bytes, step.span, step.rate}, path, step.cache});
    return run;
}

std::string aggregateHeaderLine() {
    return "step,type,ranks,bytes,span,rate,slowest_rank,slowest_rate,fastest_rank,"
           "fastest_rate\n";
}

std::string aggregateStepLine(const AggregateStep &step) {
    return std::to_string(step.step) + "," + std::string(measurementLineKind(step.kind)) + "," +
           std::to_string(step.ranks) + "," + std::to_string(step.bytes) + "," +
           formatTime(step.span) + "," + std::to_string(wholeRate(step.rate)) + "," +
           std::to_string(step.slowestRank) + "," + std::to_string(wholeRate(step.slowestRate)) +
           "," + std::to_string(step.fastestRank) + "," +
           std::to_string(wholeRate(step.fastestRate)) + "\n";
}

std::string combinedLog(const std::vector<RankRun> &ranks, const std::string &path) {
    std::string text = aggregateHeaderLine();
    for (const AggregateStep &step : aggregateSteps(ranks))
        text += aggregateStepLine(step);
    return text + combinedLogEnd(ranks, path);
}

std::string combinedLogEnd(const std::vector<RankRun> &ranks, const std::string &path) {
    const std::vector<AggregateStep> steps = aggregateSteps(ranks);
    const RunRecord run = aggregateRun(ranks, path, steps);
    std::string text = run.cancelled ? "Test cancelled.\n" : "";
    Analyser analyser;
    for (const AggregateStep &step : steps)
        analyser.addResult(step.kind, step.bytes, step.span, step.rate);
    text += analyser.buildReport();
    text += testPathLine(path);
    for (const auto &[host, numbers] : ranksByHost(ranks)) {
        text += "Host " + host + (numbers.size() == 1 ? ": rank " : ": ranks ");
        for (std::size_t i = 0; i < numbers.size(); ++i)
            text += (i > 0 ? ", " : "") + std::to_string(numbers[i]);
        text += "\n";
    }
    const ExportContext machine = ranks.empty() ? ExportContext{} : ranks.front().context;
    text += runFooterText(RunFooter{machine.macType, machine.macOSVersion, machine.quorlanVersion,
                                    run.start, run.end});
    return text;
}

QJsonObject rankObject(const RankRun &rank) {
    QJsonObject object = QJsonDocument::fromJson(resultsJson(rank.run, rank.context)).object();
    object.insert("rank", rank.rank);
    object.insert("host", QString::fromStdString(rank.host));
    object.insert("operations", static_cast<qint64>(rank.run.operations));
    object.insert("failedOperations", static_cast<qint64>(rank.run.failedOperations));
    object.insert("firstFailureErrno", rank.run.firstFailureErrno);
    QJsonArray steps;
    for (const RankStep &step : rank.steps)
        steps.append(stepObject(step));
    object.insert("steps", steps);
    return object;
}

bool readRankObject(std::string_view bytes, RankRun &rank) {
    rank = RankRun{};
    const QJsonObject object =
        QJsonDocument::fromJson(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())))
            .object();
    rank.rank = object.value("rank").toInt(-1);
    rank.host = object.value("host").toString().toStdString();
    const ResultsFileReading reading = parseResultsJson(bytes, "rank");
    if (!reading.file || rank.rank < 0)
        return false;
    rank.run = reading.file->run;
    rank.context = reading.file->context;
    rank.run.operations = object.value("operations").toInteger();
    rank.run.failedOperations = object.value("failedOperations").toInteger();
    rank.run.firstFailureErrno = object.value("firstFailureErrno").toInt();
    for (const QJsonValue &step : object.value("steps").toArray())
        rank.steps.push_back(readStep(step.toObject()));
    return true;
}

QByteArray combinedJson(const std::vector<RankRun> &ranks, const std::string &path) {
    const std::vector<AggregateStep> steps = aggregateSteps(ranks);
    const ExportContext context = ranks.empty() ? ExportContext{} : ranks.front().context;
    QJsonObject document =
        QJsonDocument::fromJson(resultsJson(aggregateRun(ranks, path, steps), context)).object();
    QJsonArray objects;
    for (const RankRun &rank : ranks)
        objects.append(rankObject(rank));
    document.insert("ranks", objects);
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

} // namespace quorlan
