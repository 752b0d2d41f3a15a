#include "analysis/ComparisonText.h"

#include "analysis/Statistics.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <cmath>

namespace quorlan {

namespace {

using Row = std::vector<std::string>;

const char *kindTitle(ResultKind kind) {
    switch (kind) {
    case ResultKind::Write:
        return "write";
    case ResultKind::Read:
        return "read";
    case ResultKind::UncachedRead:
        return "uncached read";
    }
    return "unknown";
}

// The export's word for the kind.
const char *kindKey(ResultKind kind) {
    return kind == ResultKind::UncachedRead ? "uncached-read" : kindTitle(kind);
}

Row ratioCells(const std::optional<RateRatio> &ratio) {
    if (!ratio)
        return {"", ""};
    return {ratioText(ratio->ratio), intervalText(*ratio)};
}

// A kind's table: a header, a row per size, the regressed rates.
std::vector<Row> kindTable(const RunComparison &comparison, const KindComparison &kind) {
    std::vector<Row> table{{std::string(kindTitle(kind.kind)) + " size", comparison.baseLabel,
                            comparison.otherLabel, "ratio", "95% CI"}};
    const auto add = [&](std::string first, double baseRate, double otherRate,
                         const std::optional<RateRatio> &ratio) {
        Row row{std::move(first), rateText(baseRate), rateText(otherRate)};
        for (std::string &cell : ratioCells(ratio))
            row.push_back(std::move(cell));
        table.push_back(std::move(row));
    };
    for (const SizeComparison &size : kind.sizes)
        add(std::to_string(size.size), size.baseMedianRate, size.otherMedianRate, size.ratio);
    add("regressed", kind.baseRegressedRate, kind.otherRegressedRate, kind.regressed);
    return table;
}

std::string runTitle(const std::string &label, const std::string &date) {
    return date.empty() ? label : label + " (" + date + ")";
}

std::string comparisonTitle(const RunComparison &comparison) {
    return runTitle(comparison.otherLabel, comparison.otherDate) + " against " +
           runTitle(comparison.baseLabel, comparison.baseDate);
}

// Characters as a terminal shows them: UTF-8 sequences count once.
std::size_t displayWidth(const std::string &text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// Columns left-aligned, two spaces apart, no blanks at the ends of the lines.
std::string alignedTable(const std::vector<Row> &table) {
    std::vector<std::size_t> widths;
    for (const Row &row : table) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], displayWidth(row[i]));
    }
    std::string text;
    for (const Row &row : table) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line += std::string(widths[i] - displayWidth(row[i]) + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        text += line + "\n";
    }
    return text;
}

// Text shown as itself in Markdown: its punctuation escaped, line breaks as spaces.
std::string markdownEscaped(const std::string &text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\n' || c == '\r')
            escaped += ' ';
        else if (std::string_view("\\`*_[]<>|#~").find(c) != std::string_view::npos)
            escaped += std::string("\\") + c;
        else
            escaped += c;
    }
    return escaped;
}

std::string markdownTable(const std::vector<Row> &table) {
    std::string text;
    for (std::size_t r = 0; r < table.size(); ++r) {
        text += "|";
        for (const std::string &cell : table[r]) {
            text += ' ';
            text += markdownEscaped(cell);
            text += " |";
        }
        text += "\n";
        if (r == 0)
            text += "|---:|---:|---:|---:|:---:|\n";
    }
    return text;
}

QJsonValue rateValue(double rate) {
    return std::isfinite(rate) ? QJsonValue(rate) : QJsonValue(QJsonValue::Null);
}

QJsonValue ratioValue(const std::optional<RateRatio> &ratio) {
    if (!ratio)
        return QJsonValue::Null;
    return QJsonObject{{"ratio", ratio->ratio}, {"low", ratio->low}, {"high", ratio->high}};
}

QJsonValue textValue(const std::string &text) {
    return text.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QString::fromStdString(text));
}

QJsonObject kindJson(const KindComparison &kind) {
    QJsonArray sizes;
    for (const SizeComparison &size : kind.sizes)
        sizes.append(QJsonObject{{"size", static_cast<qint64>(size.size)},
                                 {"baseMedianRate", rateValue(size.baseMedianRate)},
                                 {"otherMedianRate", rateValue(size.otherMedianRate)},
                                 {"ratio", ratioValue(size.ratio)}});
    return QJsonObject{{"kind", kindKey(kind.kind)},
                       {"sizes", sizes},
                       {"baseRegressedRate", rateValue(kind.baseRegressedRate)},
                       {"otherRegressedRate", rateValue(kind.otherRegressedRate)},
                       {"regressed", ratioValue(kind.regressed)},
                       {"overall", ratioValue(kind.overall)},
                       {"verdict", QString::fromStdString(kind.verdict)}};
}

QJsonObject comparisonJson(const RunComparison &comparison) {
    QJsonArray kinds;
    for (const KindComparison &kind : comparison.kinds)
        kinds.append(kindJson(kind));
    QJsonArray warnings;
    for (const std::string &warning : comparison.warnings)
        warnings.append(QString::fromStdString(warning));
    return QJsonObject{{"base", QJsonObject{{"label", textValue(comparison.baseLabel)},
                                            {"date", textValue(comparison.baseDate)}}},
                       {"other", QJsonObject{{"label", textValue(comparison.otherLabel)},
                                             {"date", textValue(comparison.otherDate)}}},
                       {"kinds", kinds},
                       {"warnings", warnings}};
}

} // namespace

std::string comparisonText(const std::vector<RunComparison> &comparisons) {
    std::string text;
    for (const RunComparison &comparison : comparisons) {
        text += text.empty() ? "" : "\n";
        text += comparisonTitle(comparison) + "\n";
        for (const KindComparison &kind : comparison.kinds) {
            text += '\n';
            text += alignedTable(kindTable(comparison, kind));
        }
        text += "\n";
        for (const KindComparison &kind : comparison.kinds)
            text += std::string(kindTitle(kind.kind)) + ": " + kind.verdict + "\n";
        for (const std::string &warning : comparison.warnings)
            text += "warning: " + warning + "\n";
    }
    return text;
}

std::string comparisonMarkdown(const std::vector<RunComparison> &comparisons) {
    std::string text;
    for (const RunComparison &comparison : comparisons) {
        text += text.empty() ? "### " : "\n### ";
        text += markdownEscaped(comparisonTitle(comparison)) + "\n";
        for (const KindComparison &kind : comparison.kinds) {
            text += '\n';
            text += markdownTable(kindTable(comparison, kind));
        }
        text += "\n";
        for (const KindComparison &kind : comparison.kinds)
            text += std::string("- **") + kindTitle(kind.kind) +
                    "**: " + markdownEscaped(kind.verdict) + "\n";
        for (const std::string &warning : comparison.warnings)
            text += "- Warning: " + markdownEscaped(warning) + "\n";
    }
    return text;
}

std::string comparisonJson(const std::vector<RunComparison> &comparisons) {
    QJsonArray list;
    for (const RunComparison &comparison : comparisons)
        list.append(comparisonJson(comparison));
    const QJsonObject document{
        {"bootstrap", QJsonObject{{"resamples", bootstrapResamples},
                                  {"seed", static_cast<qint64>(bootstrapSeed)},
                                  {"confidence", 0.95}}},
        {"comparisons", list}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented).toStdString();
}

} // namespace quorlan
