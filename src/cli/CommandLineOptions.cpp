#include "cli/CommandLineOptions.h"

#include "bench/Bench.h"

#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <iostream>

namespace quorlan {

namespace {

// The commands, in the order --help lists them.
constexpr Command commands[] = {
    {"write", &Bench::runWriteTest, PathKind::NewFile,
     "write one file (PATH: the file to create or replace; \".tiff\" is added\n"
     "when the name has another extension, as the window's save panel does)"},
    {"read", &Bench::runReadTest, PathKind::ExistingFile, "read one existing file"},
    {"multi-write", &Bench::performMultiWrite, PathKind::Folder,
     "write a series of files into an existing folder"},
    {"multi-read", &Bench::performMultiRead, PathKind::Folder,
     "read every file of an existing folder tree"},
    {"mixed", &Bench::performMixedTest, PathKind::Folder,
     "write a series of files into a folder, then read them back"},
    {"compare", nullptr, PathKind::ExistingFile,
     "compare the runs of results files written with --json, each further\n"
     "one against the first (BASE); the files take the place of PATH"},
};

const char *const usageIntroduction =
    "Usage: quorlan-bench COMMAND [OPTIONS] PATH\n"
    "       quorlan-bench compare [--markdown] [--json FILE] BASE.json OTHER.json [MORE.json...]\n"
    "\n"
    "Runs one Quorlan test and prints its log on standard output, or compares the results\n"
    "of runs: per kind and file size the median rates, their ratio and its 95% confidence\n"
    "interval, and whether a run is faster beyond the noise.\n";

const char *const usageDetails =
    "An option's value follows it as the next argument or after '=' (--size=5). Options may\n"
    "come before or after COMMAND and PATH; '--' ends them, so that a PATH may begin with '-'.\n"
    "A NUMBER is read as the window's field reads it: white space around it, a sign, a\n"
    "fraction or an exponent (\" 5 \", \"+5\", \"2.7\", \"1e3\"); anything else is refused.\n"
    "PATH is made absolute and normal (no '//', no '.', no '/' at the end), as a panel of the\n"
    "window gives it; links in it are kept as typed.\n"
    "\n"
    "Ctrl-C (SIGINT) or SIGTERM stops a multi-file test after the file in progress, then\n"
    "prints \"Test cancelled.\", the report, the path line and the footer; a single-file\n"
    "test first finishes its one request. A second Ctrl-C stops at once.\n"
    "\n"
    "Standard error carries the progress (on a terminal only) and warnings, never the log:\n"
    "before a test writes, when the bytes it writes exceed the volume's free space (the test\n"
    "goes on); after it, about what its rates measure (a file system in memory or on the\n"
    "network, a cache that could not be bypassed, compressed files, a run too short).\n"
    "\n"
    "Exit status:\n"
    "  0    the test ran and every timed operation succeeded; the runs were compared\n"
    "  1    the test ran, but an operation failed or nothing could be measured, or a\n"
    "       results file could not be written\n"
    "  2    a usage error, or a PATH the window could not have chosen (nothing is written),\n"
    "       or a results file to compare that cannot be read\n"
    "  130  stopped by SIGINT (Ctrl-C)\n"
    "  143  stopped by SIGTERM\n";

QString latin1(const std::string &bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Arguments travel through the parser as Latin-1, one character per byte, so that file names
// come back byte for byte whatever their encoding.
std::string bytesOf(const QString &text) {
    return text.toLatin1().toStdString();
}

template <std::size_t N>
int indexIn(const std::array<std::string_view, N> &names, const std::string &value) {
    for (std::size_t i = 0; i < N; ++i) {
        const std::string_view name = names[i];
        if (name.size() == value.size() &&
            std::equal(name.begin(), name.end(), value.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            }))
            return static_cast<int>(i);
    }
    return -1;
}

std::optional<std::vector<std::int64_t>> parseSizes(const std::string &list) {
    std::vector<std::int64_t> sizes;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        const std::string item = list.substr(start, comma - start);
        std::int64_t value = 0;
        const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), value);
        if (item.empty() || error != std::errc{} || end != item.data() + item.size() || value < 0)
            return std::nullopt;
        sizes.push_back(value);
        start = comma + 1;
    }
    return sizes;
}

// Qt's own sentence for a parse error ("Missing value after '--size'."), as ours: lower case,
// no final full stop; an unknown option with the dashes it was typed with.
std::string parseErrorMessage(const QCommandLineParser &parser) {
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        const std::string name = bytesOf(unknown.front());
        return "unknown option '" + std::string(name.size() == 1 ? "-" : "--") + name + "'";
    }
    std::string text = bytesOf(parser.errorText());
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

// What an option does with its value (ignored by a switch): a usage message when the value is
// refused, empty when it was taken into options. option is the long name with its dashes.
using TakeOption = std::string (*)(const std::string &option, const std::string &value,
                                   CommandLineOptions &options);

std::string refused(const std::string &option, const std::string &value, const char *why) {
    return option + ": '" + value + "' " + why;
}

// A number field of the panel: kept as typed when it is a number at all.
std::string takeNumber(const std::string &option, const std::string &value, std::string &field) {
    if (readNumberField(value, 0).kind == NumberReading::Kind::Default)
        return refused(option, value, "is not a number");
    field = value;
    return {};
}

template <std::size_t N>
std::string takeChoice(const std::string &option, const std::string &value,
                       const std::array<std::string_view, N> &names, const char *why, int &index) {
    index = indexIn(names, value);
    return index < 0 ? refused(option, value, why) : std::string();
}

// Which commands an option belongs to.
enum class OptionUse { Tests, Compare, Both };

struct OptionSpec {
    const char *names;     // "size", or "h,help" for a short and a long name
    const char *valueName; // nullptr for a switch
    const char *help;
    TakeOption take; // nullptr for --help and --version, answered before any test
    OptionUse use = OptionUse::Tests;
};

// Every option, in the order --help lists them.
constexpr OptionSpec optionSpecs[] = {
    {"size", "NUMBER", "file size in the unit of --unit (1)",
     [](const std::string &o, const std::string &v, CommandLineOptions &to) {
         return takeNumber(o, v, to.panel.filesize);
     }},
    {"unit", "KB|MB|GB", "unit of the file size, decimal (KB)",
     [](const std::string &o, const std::string &v, CommandLineOptions &to) {
         return takeChoice(o, v, sizeList, "is not KB, MB or GB", to.panel.sizeIndex);
     }},
    {"fill", "0x00|0x88|0x1A|0x41", "fill byte of written files (0x00)",
     [](const std::string &o, const std::string &v, CommandLineOptions &to) {
         return takeChoice(o, v, contentList, "is not 0x00, 0x88, 0x1A or 0x41",
                           to.panel.contentIndex);
     }},
    {"repeats", "NUMBER", "number of passes (1)",
     [](const std::string &o, const std::string &v, CommandLineOptions &to) {
         return takeNumber(o, v, to.panel.repeats);
     }},
    {"length", "NUMBER", "files per pass with random sizes (5)",
     [](const std::string &o, const std::string &v, CommandLineOptions &to) {
         return takeNumber(o, v, to.panel.length);
     }},
    {"no-cache", nullptr, "read with the file-system cache bypassed",
     [](const std::string &, const std::string &, CommandLineOptions &to) {
         to.panel.noCache = 1;
         return std::string();
     }},
    {"verbose", nullptr, "a log line for every file of a multi-file test",
     [](const std::string &, const std::string &, CommandLineOptions &to) {
         to.panel.verbose = 1;
         return std::string();
     }},
    {"random", nullptr, "random file sizes instead of the standard sizes",
     [](const std::string &, const std::string &, CommandLineOptions &to) {
         to.panel.isRandom = 1;
         return std::string();
     }},
    {"sizes", "LIST", "comma-separated byte counts replacing the sixteen standard sizes",
     [](const std::string &o, const std::string &v, CommandLineOptions &to) {
         to.sizes = parseSizes(v);
         return to.sizes ? std::string()
                         : refused(o, v, "is not a list of byte counts such as 20000,40000");
     }},
    {"json", "FILE",
     "after the test, write its results and summary to FILE as JSON\n"
     "(compare: the comparison, rates in bytes per second)",
     [](const std::string &, const std::string &v, CommandLineOptions &to) {
         to.jsonFile = v;
         return std::string();
     },
     OptionUse::Both},
    {"csv", "FILE", "after the test, write its results to FILE as CSV",
     [](const std::string &, const std::string &v, CommandLineOptions &to) {
         to.csvFile = v;
         return std::string();
     }},
    {"markdown", nullptr, "compare: print GitHub-flavoured Markdown tables",
     [](const std::string &, const std::string &, CommandLineOptions &to) {
         to.markdown = true;
         return std::string();
     },
     OptionUse::Compare},
    {"h,help", nullptr, "show this text", nullptr},
    {"version", nullptr, "show the version", nullptr},
};

QStringList namesOf(const OptionSpec &declared) {
    return QString::fromLatin1(declared.names).split(',');
}

std::string longName(const OptionSpec &declared) {
    return "--" + bytesOf(namesOf(declared).back());
}

// The command and the path (compare: the results files); a usage message when they are not
// exactly one known command and a non-empty path (at least two non-empty file names).
std::string takePositionals(const QStringList &positionals, CommandLineOptions &options) {
    if (positionals.isEmpty())
        return "no command given";
    const std::string word = bytesOf(positionals.front());
    const auto command = std::find_if(std::begin(commands), std::end(commands),
                                      [&](const Command &c) { return word == c.name; });
    if (command == std::end(commands))
        return "unknown command '" + word + "'";
    options.command = command;
    if (!command->test) {
        for (qsizetype i = 1; i < positionals.size(); ++i)
            options.files.push_back(bytesOf(positionals[i]));
        if (options.files.size() < 2)
            return "compare needs BASE and at least one more results file";
        return std::find(options.files.begin(), options.files.end(), "") != options.files.end()
                   ? "empty results file name"
                   : std::string();
    }
    if (positionals.size() != 2)
        return positionals.size() < 2 ? "no PATH given" : "more than one PATH given";
    options.path = bytesOf(positionals[1]);
    return options.path.empty() ? "empty PATH" : std::string();
}

// An option given to a command it does not belong to, as a usage message; empty when none was.
std::string misplacedOption(const QCommandLineParser &parser, const CommandLineOptions &options) {
    const bool compare = !options.command->test;
    for (const OptionSpec &declared : optionSpecs) {
        if (!declared.take || declared.use == OptionUse::Both ||
            !parser.isSet(namesOf(declared).back()))
            continue;
        if (compare && declared.use == OptionUse::Tests)
            return longName(declared) + " is not an option of compare";
        if (!compare && declared.use == OptionUse::Compare)
            return longName(declared) + " is an option of compare only";
    }
    return {};
}

} // namespace

int usageError(const std::string &message) {
    std::cerr << "quorlan-bench: " << message << "\nTry 'quorlan-bench --help'.\n";
    return exitUsage;
}

std::string usageText() {
    std::string text = usageIntroduction;
    const auto entry = [&](const std::string &head, const std::string &help) {
        text += "  " + head;
        std::size_t column = head.size() + 2;
        if (column >= 21) {
            text += "\n";
            column = 0;
        }
        std::string indented = help;
        for (std::size_t at = indented.find('\n'); at != std::string::npos;
             at = indented.find('\n', at + 1))
            indented.insert(at + 1, std::string(21, ' '));
        text += std::string(21 - column, ' ') + indented + "\n";
    };
    text += "\nCommands:\n";
    for (const Command &command : commands)
        entry(command.name, command.help);
    text += "\nOptions (the control panel, with the window's defaults):\n";
    for (const OptionSpec &option : optionSpecs) {
        std::string head;
        for (const QString &name : namesOf(option))
            head += (head.empty() ? "" : ", ") + std::string(name.size() == 1 ? "-" : "--") +
                    bytesOf(name);
        if (option.valueName)
            head += std::string(" ") + option.valueName;
        entry(head, option.help);
    }
    return text + "\n" + usageDetails;
}

ParsedCommandLine parseCommandLine(const std::vector<std::string> &arguments) {
    QCommandLineParser parser;
    for (const OptionSpec &declared : optionSpecs)
        parser.addOption(declared.valueName
                             ? QCommandLineOption(namesOf(declared), QString(),
                                                  QString::fromLatin1(declared.valueName))
                             : QCommandLineOption(namesOf(declared)));
    QStringList list{QStringLiteral("quorlan-bench")};
    for (const std::string &argument : arguments)
        list << latin1(argument);
    if (!parser.parse(list))
        return {std::nullopt, usageError(parseErrorMessage(parser))};
    if (parser.isSet("help")) {
        std::cout << usageText();
        return {std::nullopt, exitSucceeded};
    }
    if (parser.isSet("version")) {
        std::cout << "quorlan-bench " << QUORLAN_VERSION << "\n";
        return {std::nullopt, exitSucceeded};
    }
    CommandLineOptions options;
    for (const OptionSpec &declared : optionSpecs) {
        const QString name = namesOf(declared).back();
        if (!declared.take || !parser.isSet(name))
            continue;
        const std::string value = declared.valueName ? bytesOf(parser.value(name)) : std::string();
        if (const std::string problem = declared.take(longName(declared), value, options);
            !problem.empty())
            return {std::nullopt, usageError(problem)};
    }
    if (const std::string problem = takePositionals(parser.positionalArguments(), options);
        !problem.empty())
        return {std::nullopt, usageError(problem)};
    if (const std::string problem = misplacedOption(parser, options); !problem.empty())
        return {std::nullopt, usageError(problem)};
    return {options, exitSucceeded};
}

} // namespace quorlan
