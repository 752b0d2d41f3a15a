// The folder walk of the multi-file read test on 100,000 empty files (100 subfolders of 1,000):
// RUNS rounds of walkFolder alone, of a whole Bench::performMultiRead (each file opened and read,
// nothing recorded) and, as the reference, `find DIR -type f | wc -l` (find started without a
// shell; its lines are counted here). Prints the median time of each, the time per file, the
// ratios to find, and the peak resident-set growth of the walk and of the read test (VmHWM after
// minus VmRSS before, the peak reset through /proc/self/clear_refs).
// Usage: folder-walk-bench [DIR] [RUNS]   (RUNS default 5)
// The tree is made once in DIR/folder-walk-tree and reused by later runs with the same DIR;
// without DIR it goes into a new folder under /var/tmp that is removed at the end.

#include "bench/Bench.h"
#include "bench/FolderWalk.h"
#include "bench/SysCalls.h"
#include "log/LogSink.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int folders = 100;
constexpr int filesPerFolder = 1000;

struct NoLog : quorlan::LogSink {
    void appendToLog(const std::string &) override {}
};

// Makes the tree unless its last file is already there; false when a file cannot be made.
bool makeTree(const std::string &tree) {
    const std::string last =
        tree + "/" + std::to_string(folders - 1) + "/" + std::to_string(filesPerFolder - 1);
    if (::access(last.c_str(), F_OK) == 0)
        return true;
    ::mkdir(tree.c_str(), 0755);
    for (int folder = 0; folder < folders; ++folder) {
        const std::string below = tree + "/" + std::to_string(folder);
        ::mkdir(below.c_str(), 0755);
        for (int file = 0; file < filesPerFolder; ++file) {
            const std::string path = below + "/" + std::to_string(file);
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (fd < 0)
                return false;
            ::close(fd);
        }
    }
    return true;
}

// A field of /proc/self/status in kB (VmRSS, VmHWM); 0 when absent.
long statusKilobytes(const std::string &field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::atol(line.c_str() + field.size() + 1);
    return 0;
}

// Resets the peak resident set (VmHWM) to the current one; false where the kernel cannot.
bool resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

struct Timed {
    double milliseconds = 0;
    long peakGrowthKb = 0; // VmHWM after minus VmRSS before
    long count = 0;
};

template <typename Work> Timed timed(Work work) {
    const bool peakReset = resetPeak();
    const long before = statusKilobytes("VmRSS");
    const auto start = std::chrono::steady_clock::now();
    const long count = work();
    const auto end = std::chrono::steady_clock::now();
    const long growth = peakReset ? statusKilobytes("VmHWM") - before : -1;
    return {std::chrono::duration<double, std::milli>(end - start).count(), growth, count};
}

long walkOnce(const std::string &tree) {
    long visits = 0;
    quorlan::walkFolder(quorlan::systemCalls(), tree, [&](const std::string &) {
        ++visits;
        return true;
    });
    return visits;
}

long readTestOnce(const std::string &tree) {
    NoLog log;
    quorlan::Bench bench(log, quorlan::systemCalls());
    bench.readTimebase();
    bench.performMultiRead(tree, quorlan::PanelSettings{});
    return static_cast<long>(bench.lastRun.results.size());
}

// `find tree -type f | wc -l`: find's output lines, counted here; -1 when find cannot run.
long findOnce(const std::string &tree) {
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    std::string program = "find", type = "-type", regular = "f", path = tree;
    char *arguments[] = {program.data(), path.data(), type.data(), regular.data(), nullptr};
    pid_t child = 0;
    const int failed = ::posix_spawnp(&child, "find", &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    long lines = 0;
    char buffer[65536];
    for (ssize_t got; !failed && (got = ::read(pipeEnds[0], buffer, sizeof buffer)) != 0;) {
        if (got > 0)
            lines += std::count(buffer, buffer + got, '\n');
        else if (errno != EINTR)
            break;
    }
    ::close(pipeEnds[0]);
    int status = 0;
    if (failed || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return lines;
}

double median(std::vector<Timed> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const Timed &a, const Timed &b) { return a.milliseconds < b.milliseconds; });
    return runs[runs.size() / 2].milliseconds;
}

long peakGrowth(const std::vector<Timed> &runs) {
    long most = 0;
    for (const Timed &run : runs)
        most = std::max(most, run.peakGrowthKb);
    return most;
}

} // namespace

int main(int argc, char **argv) {
    std::string base = argc > 1 && argv[1][0] != '\0' ? argv[1] : "";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const bool temporary = base.empty();
    if (temporary) {
        char pattern[] = "/var/tmp/folder-walk-bench.XXXXXX";
        if (!::mkdtemp(pattern)) {
            std::perror("mkdtemp");
            return 1;
        }
        base = pattern;
    }
    const std::string tree = base + "/folder-walk-tree";
    const auto made = timed([&] { return makeTree(tree) ? 1L : 0L; });
    if (made.count == 0) {
        std::fprintf(stderr, "cannot make the tree in %s\n", tree.c_str());
        return 1;
    }
    std::printf("tree %s: %d folders of %d empty files (ready in %.0f ms)\n", tree.c_str(), folders,
                filesPerFolder, made.milliseconds);
    // The first runs warm the cache; their peak growth is the memory the walk and the read test
    // need at all, since later runs reuse the heap the first ones left.
    const Timed firstWalk = timed([&] { return walkOnce(tree); });
    const Timed firstRead = timed([&] { return readTestOnce(tree); });
    const long files = findOnce(tree);
    std::vector<Timed> walks, reads, finds;
    for (int round = 1; round <= runs; ++round) { // alternating
        walks.push_back(timed([&] { return walkOnce(tree); }));
        reads.push_back(timed([&] { return readTestOnce(tree); }));
        finds.push_back(timed([&] { return findOnce(tree); }));
        std::printf("round %d: walk %.1f ms, read test %.1f ms, find %.1f ms\n", round,
                    walks.back().milliseconds, reads.back().milliseconds,
                    finds.back().milliseconds);
    }
    const double walk = median(walks), read = median(reads), find = median(finds);
    const double perFile = 1e6 / static_cast<double>(std::max(files, 1L)); // ms -> ns per file
    std::printf("medians of %d: walk %.1f ms (%ld entries, %.0f ns per file), read test %.1f ms "
                "(%ld results, %.0f ns per file), find -type f | wc -l %.1f ms (%ld files)\n",
                runs, walk, walks.back().count, walk * perFile, read, reads.back().count,
                read * perFile, find, files);
    std::printf("ratio to find: walk %.2f, read test %.2f\n", walk / find, read / find);
    std::printf("peak resident-set growth (-1: not measurable): first walk %ld kB, first read "
                "test %ld kB; later rounds at most %ld and %ld kB\n",
                firstWalk.peakGrowthKb, firstRead.peakGrowthKb, peakGrowth(walks),
                peakGrowth(reads));
    if (temporary) {
        std::error_code ignored;
        std::filesystem::remove_all(base, ignored); // the bench's own tree
    }
    return files == folders * filesPerFolder ? 0 : 1;
}
