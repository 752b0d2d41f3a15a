#include "cli/CommandLine.h"

#include "bench/Bench.h"
#include "bench/PanelSettings.h"
#include "bench/ProgressSink.h"
#include "bench/ResultsExport.h"
#include "bench/RunWarnings.h"
#include "bench/SysCalls.h"
#include "bench/VolumeInfo.h"
#include "log/LogSink.h"
#include "sysinfo/MachineDescription.h"
#include "sysinfo/SystemProbe.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace quorlan {

namespace {

const char *const usageText =
    "Usage: quorlan-bench COMMAND [OPTIONS] PATH\n"
    "\n"
    "Runs one Quorlan test and prints its log on standard output.\n"
    "\n"
    "Commands:\n"
    "  write        write one file (PATH: the file to create or replace; \".tiff\" is added\n"
    "               when the name has another extension, as the window's save panel does)\n"
    "  read         read one existing file\n"
    "  multi-write  write a series of files into an existing folder\n"
    "  multi-read   read every file of an existing folder tree\n"
    "  mixed        write a series of files into a folder, then read them back\n"
    "\n"
    "Options (the control panel, with the window's defaults):\n"
    "  --size TEXT         file size number, read as the panel reads it (\"1\")\n"
    "  --unit KB|MB|GB     unit of the file size, decimal (KB)\n"
    "  --fill 0x00|0x88|0x1A|0x41   fill byte of written files (0x00)\n"
    "  --repeats TEXT      number of passes (\"1\")\n"
    "  --length TEXT       files per pass with random sizes (\"5\")\n"
    "  --no-cache          read with the file-system cache bypassed\n"
    "  --verbose           a log line for every file of a multi-file test\n"
    "  --random            random file sizes instead of the standard sizes\n"
    "  --sizes LIST        comma-separated byte counts replacing the sixteen standard sizes\n"
    "  --json FILE         after the test, write its results and summary to FILE as JSON\n"
    "  --csv FILE          after the test, write its results to FILE as CSV\n"
    "  --help              show this text\n"
    "  --version           show the version\n"
    "\n"
    "After the test, warnings about what its rates measure (a file system in memory or on the\n"
    "network, a cache that could not be bypassed, compressed files, a run too short) go to\n"
    "standard error, one line each, never into the log.\n"
    "\n"
    "Exit status: 0 when the test ran, whatever it measured; 1 when it ran but a results file\n"
    "could not be written; 2 for a usage error or a PATH the window could not have chosen.\n";

class StdoutLog final : public LogSink {
public:
    void appendToLog(const std::string &text) override {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
};

// One line on the terminal, rewritten for every file.
class StderrProgress final : public ProgressSink {
public:
    void fileStarted(const Progress &p) override {
        std::cerr << "\r\033[K";
        if (p.writePhase)
            std::cerr << "writing  ";
        else if (p.passes > 0)
            std::cerr << "pass " << p.pass << "/" << p.passes << "  ";
        std::cerr << "file " << p.file;
        if (p.files > 0)
            std::cerr << "/" << p.files;
        std::cerr << "  " << p.path << std::flush;
    }
};

int usageError(const std::string &message) {
    std::cerr << "quorlan-bench: " << message << "\nTry 'quorlan-bench --help'.\n";
    return exitUsage;
}

struct Options {
    std::string command;
    std::string path;
    PanelSettings panel;
    std::optional<std::vector<std::int64_t>> sizes;
    std::optional<std::string> jsonFile; // --json FILE
    std::optional<std::string> csvFile;  // --csv FILE
};

int indexIn(const std::vector<std::string> &names, const std::string &value) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i].size() == value.size() &&
            std::equal(names[i].begin(), names[i].end(), value.begin(),
                       [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
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

// Creates or replaces file with bytes (the name is used byte for byte). On failure, says so on
// stderr with the system's reason and returns false; a partly written file is left as it is.
bool writeResultsFile(const std::string &file, const QByteArray &bytes) {
    int error = 0;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        error = errno;
    for (qsizetype done = 0; error == 0 && done < bytes.size();) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0)
            error = ENOSPC;
        else if (errno != EINTR)
            error = errno;
    }
    // A close error (NFS, quota) means the data may not have arrived; EINTR still closed it.
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR && error == 0)
        error = errno;
    if (error != 0)
        std::cerr << "quorlan-bench: cannot write results to \"" << file
                  << "\": " << std::strerror(error) << "\n";
    return error == 0;
}

// What the run's figures do not show by themselves, one line each on stderr, never in the log.
void printWarnings(const Bench &bench) {
    for (const std::string &warning : runWarnings(bench.lastRun, systemCalls()))
        std::cerr << "quorlan-bench: warning: " << warning << "\n";
}

// Writes the requested exports of the run that just ended; false when any could not be written.
bool writeExports(const Options &options, const Bench &bench) {
    if (!options.jsonFile && !options.csvFile)
        return true;
    const ExportContext context{bench.macType, bench.macOSVersion, bench.quorlanVersion,
                                fileSystemOf(systemCalls(), bench.lastRun.path).type};
    bool ok = true;
    if (options.jsonFile)
        ok = writeResultsFile(*options.jsonFile, resultsJson(bench.lastRun, context)) && ok;
    if (options.csvFile)
        ok = writeResultsFile(*options.csvFile, resultsCsv(bench.lastRun, context)) && ok;
    return ok;
}

bool isDirectory(const std::string &path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string &path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::string parentOf(const std::string &path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The save panel only yields names with the "tiff" extension.
std::string withTiffExtension(const std::string &path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1) &&
        indexIn({"tiff"}, path.substr(dot + 1)) == 0)
        return path;
    return path + ".tiff";
}

// Checks the path as the command's panel would have produced it; an empty text when it is fine.
std::string pathProblem(Options &options) {
    const std::string &command = options.command;
    if (command == "write") {
        if (isDirectory(options.path))
            return "'" + options.path + "' is a folder";
        options.path = withTiffExtension(options.path);
        if (!isDirectory(parentOf(options.path)))
            return "the folder of '" + options.path + "' does not exist";
        if (isDirectory(options.path))
            return "'" + options.path + "' is a folder";
        return {};
    }
    if (command == "read") {
        if (!exists(options.path))
            return "'" + options.path + "' does not exist";
        if (isDirectory(options.path))
            return "'" + options.path + "' is a folder, not a file";
        return {};
    }
    if (!isDirectory(options.path))
        return "'" + options.path + "' is not an existing folder";
    return {};
}

} // namespace

int runCommandLine(const std::vector<std::string> &arguments) {
    Options options;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= arguments.size())
                return std::nullopt;
            return arguments[++i];
        };
        if (argument == "--help" || argument == "-h") {
            std::cout << usageText;
            return exitRan;
        }
        if (argument == "--version") {
            std::cout << "quorlan-bench " << QUORLAN_VERSION << "\n";
            return exitRan;
        }
        if (argument == "--no-cache") {
            options.panel.noCache = 1;
        } else if (argument == "--verbose") {
            options.panel.verbose = 1;
        } else if (argument == "--random") {
            options.panel.isRandom = 1;
        } else if (argument == "--size" || argument == "--repeats" || argument == "--length" ||
                   argument == "--unit" || argument == "--fill" || argument == "--sizes" ||
                   argument == "--json" || argument == "--csv") {
            const std::optional<std::string> text = value();
            if (!text)
                return usageError("option " + argument + " needs a value");
            if (argument == "--size") {
                options.panel.filesize = *text;
            } else if (argument == "--repeats") {
                options.panel.repeats = *text;
            } else if (argument == "--length") {
                options.panel.length = *text;
            } else if (argument == "--json") {
                options.jsonFile = *text;
            } else if (argument == "--csv") {
                options.csvFile = *text;
            } else if (argument == "--unit") {
                options.panel.sizeIndex = indexIn({"KB", "MB", "GB"}, *text);
                if (options.panel.sizeIndex < 0)
                    return usageError("unknown unit '" + *text + "' (KB, MB or GB)");
            } else if (argument == "--fill") {
                options.panel.contentIndex = indexIn({"0x00", "0x88", "0x1A", "0x41"}, *text);
                if (options.panel.contentIndex < 0)
                    return usageError("unknown fill byte '" + *text +
                                      "' (0x00, 0x88, 0x1A or 0x41)");
            } else {
                options.sizes = parseSizes(*text);
                if (!options.sizes)
                    return usageError("--sizes takes comma-separated byte counts, such as "
                                      "20000,40000");
            }
        } else if (argument.size() > 1 && argument[0] == '-' && argument != "--") {
            return usageError("unknown option '" + argument + "'");
        } else {
            positional.push_back(argument);
        }
    }
    if (positional.size() != 2)
        return usageError(positional.empty() ? "no command given" : "expected COMMAND PATH");
    options.command = positional[0];
    options.path = positional[1];
    const std::vector<std::string> commands = {"write", "read", "multi-write", "multi-read",
                                               "mixed"};
    if (std::find(commands.begin(), commands.end(), options.command) == commands.end())
        return usageError("unknown command '" + options.command + "'");
    if (options.path.empty())
        return usageError("empty PATH");
    if (const std::string problem = pathProblem(options); !problem.empty())
        return usageError(problem);
    StdoutLog log;
    Bench bench(log, systemCalls(), options.sizes.value_or(standardSizes()));
    bench.readTimebase();
    bench.theSizes = bench.theStdSizes;
    const MachineDescription machine = describeMachine(*systemProbe());
    bench.macType = machine.macType.toStdString();
    bench.macOSVersion = machine.macOSVersion.toStdString();
    bench.quorlanVersion = QUORLAN_VERSION;
    StderrProgress progress;
    if (isatty(STDERR_FILENO))
        bench.setProgressSink(&progress);
    if (options.command == "write")
        bench.runWriteTest(options.path, options.panel);
    else if (options.command == "read")
        bench.runReadTest(options.path, options.panel);
    else if (options.command == "multi-write")
        bench.performMultiWrite(options.path, options.panel);
    else if (options.command == "multi-read")
        bench.performMultiRead(options.path, options.panel);
    else
        bench.performMixedTest(options.path, options.panel);
    if (isatty(STDERR_FILENO))
        std::cerr << "\r\033[K" << std::flush;
    printWarnings(bench);
    return writeExports(options, bench) ? exitRan : exitResultsUnwritten;
}

} // namespace quorlan
