#include "bench/ResultsFile.h"

#include "bench/UserFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlan {

namespace {

// The deepest nesting of objects and arrays in a results file: the document of many clients, its
// ranks array, one rank's document, its summary, a kind, that kind's perSize array and one of its
// entries.
constexpr int maxDepth = 7;

constexpr std::int64_t int64Lowest = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t int64Highest = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t intLowest = std::numeric_limits<int>::min();
constexpr std::int64_t intHighest = std::numeric_limits<int>::max();

// The offset of the first object or array that opens deeper than maxDepth, outside strings;
// no value when there is none. Bytes that are not JSON may give any answer; the parser judges
// them afterwards.
std::optional<std::size_t> tooDeepAt(std::string_view bytes) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (inString) {
            if (c == '\\')
                ++i; // the escaped character cannot end the string
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            if (++depth > maxDepth)
                return i;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return std::nullopt;
}

// A text of the file as a message quotes it: in double quotes, its first 32 characters, control
// characters and quotes escaped as JSON writes them, so that the message stays on one line.
std::string quoted(const std::string &text) {
    constexpr int longest = 32;
    std::string out = "\"";
    int characters = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool continuation = (byte & 0xC0) == 0x80; // inside a UTF-8 sequence
        if (!continuation && ++characters > longest) {
            out += "...";
            break;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// "YYYY-MM-DDTHH:MM:SSZ" with a real day and time of the years 1 to 9999 that a Date holds; no
// value for any other text.
std::optional<Date> dateOf(const std::string &text) {
    constexpr std::string_view form = "0000-00-00T00:00:00Z";
    if (text.size() != form.size())
        return std::nullopt;
    for (std::size_t i = 0; i < form.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (form[i] == '0' ? !digit : text[i] != form[i])
            return std::nullopt;
    }
    const auto field = [&](std::size_t at, std::size_t length) {
        return std::stoi(text.substr(at, length));
    };
    using namespace std::chrono;
    const year_month_day day{year{field(0, 4)}, month{static_cast<unsigned>(field(5, 2))},
                             std::chrono::day{static_cast<unsigned>(field(8, 2))}};
    const int hour = field(11, 2);
    const int minute = field(14, 2);
    const int second = field(17, 2);
    if (!day.ok() || day.year() < year{1} || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const sys_seconds moment = sys_days(day) + hours(hour) + minutes(minute) + seconds(second);
    if (moment < ceil<seconds>(Date::min()) || moment > floor<seconds>(Date::max()))
        return std::nullopt;
    return time_point_cast<Date::duration>(moment);
}

// One object of the document read key by key, named in messages by where it sits: "" for the
// document itself, "panel", "results[3]". The first problem found is kept in problem, as the
// message's sentence without the file's name; after it, reads give defaults and add nothing.
class ObjectReading {
public:
    ObjectReading(QJsonObject object, std::string place, std::string &problem)
        : object_(std::move(object)), place_(std::move(place)), problem_(problem) {}

    bool failed() const { return !problem_.empty(); }

    // The key's name in messages: "format", "panel.sizeIndex", "results[3].size".
    std::string where(const char *key) const { return place_.empty() ? key : place_ + "." + key; }

    void fail(const std::string &sentence) {
        if (!failed())
            problem_ = sentence;
    }

    std::string text(const char *key) {
        const QJsonValue v = value(key);
        if (!v.isString())
            return wrongType(key, "a string"), std::string();
        return v.toString().toStdString();
    }

    // A string, or null as the empty text.
    std::string textOrEmpty(const char *key) {
        const QJsonValue v = value(key);
        if (!v.isString() && !v.isNull())
            return wrongType(key, "a string or null"), std::string();
        return v.toString().toStdString();
    }

    bool boolean(const char *key) {
        const QJsonValue v = value(key);
        if (!v.isBool())
            return wrongType(key, "true or false"), false;
        return v.toBool();
    }

    // A whole number from lowest to highest; 0 after a problem.
    std::int64_t whole(const char *key, std::int64_t lowest, std::int64_t highest) {
        const QJsonValue v = value(key);
        if (!v.isDouble())
            return wrongType(key, "a number"), 0;
        // Either default comes back only when the number is not a whole one within 64 bits.
        const qint64 number = v.toInteger(0);
        if (number != v.toInteger(1))
            return fail(where(key) + " is not a whole number."), 0;
        if (number < lowest || number > highest) {
            fail(where(key) + " is " + std::to_string(number) + ", outside " +
                 std::to_string(lowest) + " to " + std::to_string(highest) + ".");
            return 0;
        }
        return number;
    }

    // A number, or null as NaN.
    double numberOrNaN(const char *key) {
        const QJsonValue v = value(key);
        if (!v.isDouble() && !v.isNull())
            return wrongType(key, "a number or null"), 0.0;
        return v.isNull() ? std::numeric_limits<double>::quiet_NaN() : v.toDouble();
    }

    // A date in the export's form, or null as no value.
    std::optional<Date> dateOrNone(const char *key) {
        const QJsonValue v = value(key);
        if (v.isNull())
            return std::nullopt;
        const std::string written = v.isString() ? v.toString().toStdString() : std::string();
        const std::optional<Date> date = dateOf(written);
        if (!date) {
            if (v.isString())
                fail(where(key) + " " + quoted(written) +
                     " is not a date such as 2026-12-07T05:00:00Z.");
            else
                wrongType(key, "a string or null");
        }
        return date;
    }

    QJsonObject object(const char *key) {
        const QJsonValue v = value(key);
        if (!v.isObject())
            wrongType(key, "an object");
        return v.toObject();
    }

    QJsonArray array(const char *key) {
        const QJsonValue v = value(key);
        if (!v.isArray())
            wrongType(key, "an array");
        return v.toArray();
    }

private:
    // The key's value; Undefined (of no type the reads accept) after a problem or when the key
    // is missing, which is the problem then.
    QJsonValue value(const char *key) {
        if (failed())
            return QJsonValue(QJsonValue::Undefined);
        const auto found = object_.constFind(QLatin1String(key));
        if (found == object_.constEnd()) {
            fail((place_.empty() ? std::string("the document") : place_) + " has no key \"" + key +
                 "\".");
            return QJsonValue(QJsonValue::Undefined);
        }
        return *found;
    }

    void wrongType(const char *key, const char *expected) {
        if (!failed()) // a missing key or an earlier problem says more
            fail(where(key) + " is not " + expected + ".");
    }

    QJsonObject object_;
    std::string place_;
    std::string &problem_;
};

PanelSettings panelOf(const QJsonObject &object, std::string &problem) {
    ObjectReading reading(object, "panel", problem);
    PanelSettings panel;
    panel.filesize = reading.text("filesize");
    panel.sizeIndex = static_cast<int>(reading.whole("sizeIndex", intLowest, intHighest));
    panel.contentIndex = static_cast<int>(reading.whole("contentIndex", intLowest, intHighest));
    panel.repeats = reading.text("repeats");
    panel.length = reading.text("length");
    panel.noCache = static_cast<int>(reading.whole("noCache", intLowest, intHighest));
    panel.verbose = static_cast<int>(reading.whole("verbose", intLowest, intHighest));
    panel.isRandom = static_cast<int>(reading.whole("isRandom", intLowest, intHighest));
    return panel;
}

ExportContext contextOf(ObjectReading &document, std::string &problem) {
    ObjectReading machine(document.object("machine"), "machine", problem);
    ExportContext context;
    context.macType = machine.text("macType");
    context.macOSVersion = machine.text("macOSVersion");
    context.quorlanVersion = machine.text("quorlanVersion");
    context.fileSystemType = document.textOrEmpty("fileSystemType");
    return context;
}

// One entry of results; place is "results[3]".
RecordedResult resultOf(const QJsonValue &entry, const std::string &place, std::string &problem) {
    if (!entry.isObject()) {
        problem = place + " is not an object.";
        return {};
    }
    ObjectReading reading(entry.toObject(), place, problem);
    RecordedResult recorded;
    Result &r = recorded.result;
    const std::string type = reading.text("type");
    r.type = ResultKind{reading.whole("typeCode", int64Lowest, int64Highest)};
    if (!reading.failed() && type != resultTypeName(r.type))
        reading.fail(reading.where("type") + " " + quoted(type) + " does not match its typeCode " +
                     std::to_string(resultTypeCode(r.type)) + ".");
    r.size = reading.whole("size", 0, int64Highest);
    r.time = reading.numberOrNaN("time");
    r.rate = reading.numberOrNaN("rate");
    recorded.path = reading.text("path");
    const std::string cache = reading.text("cache");
    const std::optional<CacheMode> mode = cacheModeNamed(cache);
    if (!reading.failed() && !mode)
        reading.fail(reading.where("cache") + " " + quoted(cache) +
                     " is not a cache mode this version knows.");
    recorded.cache = mode.value_or(CacheMode::None);
    return recorded;
}

// The document's keys in the order the export writes them, the format first; problem gets the
// first thing wrong.
ResultsFile resultsFileOf(const QJsonObject &object, std::string &problem) {
    ObjectReading document(object, "", problem);
    ResultsFile file;
    const std::int64_t format = document.whole("format", int64Lowest, int64Highest);
    if (!document.failed() && format != resultsFormatVersion)
        document.fail("format " + std::to_string(format) + " is not one this version reads (" +
                      std::to_string(resultsFormatVersion) + ").");
    RunRecord &run = file.run;
    run.command = document.text("command");
    run.path = document.text("path");
    const QJsonObject panel = document.object("panel");
    if (!document.failed())
        run.panel = panelOf(panel, problem);
    run.start = document.dateOrNone("start");
    run.end = document.dateOrNone("end");
    run.cancelled = document.boolean("partial");
    if (!document.failed())
        file.context = contextOf(document, problem);
    const QJsonArray results = document.array("results");
    for (qsizetype i = 0; i < results.size() && !document.failed(); ++i)
        run.results.push_back(resultOf(results[i], "results[" + std::to_string(i) + "]", problem));
    return file;
}

// What is left of a path when the folders are taken away, or the whole path when nothing is.
std::string fileNameOf(const std::string &path) {
    const std::string name = std::filesystem::path(path).filename().string();
    return name.empty() ? path : name;
}

ResultsFileReading failure(const std::string &name, const std::string &sentence) {
    return ResultsFileReading{std::nullopt, name + ": " + sentence};
}

// The whole of an open descriptor expected to hold expected bytes, read to its end or until it
// gave more than largest bytes; no value, with errno set, when a read fails.
std::optional<std::string> contentsOf(int fd, std::int64_t expected, std::int64_t largest) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(std::min(expected, largest)));
    char buffer[1 << 16];
    while (static_cast<std::int64_t>(bytes.size()) <= largest) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
    return bytes;
}

} // namespace

ResultsFileReading parseResultsJson(std::string_view bytes, const std::string &name) {
    if (const std::optional<std::size_t> at = tooDeepAt(bytes))
        return failure(name, "nested more than " + std::to_string(maxDepth) +
                                 " levels deep (at byte " + std::to_string(*at) + ").");
    QJsonParseError parseError{};
    const QJsonDocument json = QJsonDocument::fromJson(
        QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return failure(name, "not JSON (at byte " + std::to_string(parseError.offset) + ": " +
                                 parseError.errorString().toStdString() + ").");
    if (!json.isObject())
        return failure(name, "the document is not an object.");
    std::string problem;
    ResultsFile file = resultsFileOf(json.object(), problem);
    if (!problem.empty())
        return failure(name, problem);
    return ResultsFileReading{std::move(file), {}};
}

ResultsFileReading readResultsFile(const std::string &path) {
    return readResultsFile(path, maxResultsFileBytes);
}

ResultsFileReading readResultsFile(const std::string &path, std::int64_t largestBytes) {
    const std::string name = fileNameOf(path);
    int fd = -1;
    do
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return failure(name, "cannot be opened: " + errorText(errno) + ".");
    struct stat status {};
    std::optional<std::string> bytes;
    int error = 0;
    if (::fstat(fd, &status) != 0) {
        error = errno;
    } else if (status.st_size <= largestBytes) {
        bytes = contentsOf(fd, status.st_size, largestBytes);
        error = bytes ? 0 : errno;
    }
    ::close(fd);
    if (error != 0)
        return failure(name, "cannot be read: " + errorText(error) + ".");
    if (!bytes || static_cast<std::int64_t>(bytes->size()) > largestBytes)
        return failure(name, "larger than the " + std::to_string(largestBytes) +
                                 " bytes a results file may have.");
    return parseResultsJson(*bytes, name);
}

ComparedRun comparedRun(const RunRecord &run, const ExportContext &context, std::string label) {
    ComparedRun compared;
    compared.label = std::move(label);
    compared.date = run.start ? utcDateText(*run.start) : std::string();
    for (const RecordedResult &recorded : run.results)
        compared.results.push_back(recorded.result);
    compared.machine = context.macType;
    if (!context.macOSVersion.empty())
        compared.machine += "Running macOS version " + context.macOSVersion + "\n";
    compared.fileSystemType = context.fileSystemType;
    compared.command = run.command;
    compared.fillByte = readFillByte(run.panel);
    std::set<std::string> modes;
    for (const RecordedResult &recorded : run.results) {
        if (recorded.result.type == ResultKind::Read ||
            recorded.result.type == ResultKind::UncachedRead)
            modes.insert(cacheModeName(recorded.cache));
    }
    compared.readCacheModes.assign(modes.begin(), modes.end());
    return compared;
}

} // namespace quorlan
