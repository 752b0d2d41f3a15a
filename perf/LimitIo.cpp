// limit-io: the bare system calls of one quorlan-bench measurement and nothing else, so that
// perf/vs-limit can put Quorlan's figures beside the limit of the method itself. It uses none of
// Quorlan's code. Its buffers are prepared as the best case: private memory on a 2 MiB boundary,
// advised for huge pages, every byte written before the clock starts.
//
//   limit-io write FILE SIZE   timed: write of SIZE bytes (0x00) + fsync; open and close outside
//   limit-io uncached FILE     before: fsync + POSIX_FADV_DONTNEED; timed: open(O_DIRECT), the
//                              reads of the whole file (a length rounded up to 4096), close
//   limit-io cached FILE       timed: the reads of the whole file + sync_file_range of its data;
//                              open and close outside
//
// Prints the rate in bytes per second on stdout; exit status 1 when a call failed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr std::size_t granule = 2 * 1024 * 1024;

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC_RAW, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::uint8_t *buffer(std::size_t bytes) {
    const std::size_t length = (bytes + granule - 1) / granule * granule;
    void *range =
        mmap(nullptr, length + granule, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (range == MAP_FAILED)
        return nullptr;
    const auto address = reinterpret_cast<std::uintptr_t>(range);
    auto *aligned = reinterpret_cast<std::uint8_t *>((address + granule - 1) / granule * granule);
    madvise(aligned, length, MADV_HUGEPAGE);
    std::memset(aligned, 0, length);
    return aligned;
}

// Reads until size bytes arrived or the end of the file, asking for ask - done each time (a
// direct read asks for its whole rounded length); the bytes read, or -1 when a read failed.
long long readAll(int fd, std::uint8_t *data, std::size_t size, std::size_t ask) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = read(fd, data + done, ask - done);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(done);
}

int fail(const char *what) {
    std::perror(what);
    return 1;
}

int timedWrite(const char *path, std::size_t size) {
    std::uint8_t *data = buffer(size);
    if (data == nullptr)
        return fail("memory");
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail("open");
    const double start = now();
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0)
            return fail("write");
        done += static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0)
        return fail("fsync");
    const double end = now();
    close(fd);
    std::printf("%.0f\n", static_cast<double>(size) / (end - start));
    return 0;
}

int timedUncachedRead(const char *path, std::size_t size) {
    const std::size_t length = (size + 4095) / 4096 * 4096;
    std::uint8_t *data = buffer(length);
    if (data == nullptr)
        return fail("memory");
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0 || fsync(fd) != 0 || posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) != 0)
        return fail("drop");
    close(fd);
    const double start = now();
    fd = open(path, O_RDONLY | O_DIRECT | O_CLOEXEC);
    if (fd < 0)
        return fail("open O_DIRECT");
    const long long done = readAll(fd, data, size, length);
    if (done < 0)
        return fail("read");
    close(fd);
    const double end = now();
    std::printf("%.0f\n", static_cast<double>(done) / (end - start));
    return 0;
}

int timedCachedRead(const char *path, std::size_t size) {
    std::uint8_t *data = buffer(size);
    if (data == nullptr)
        return fail("memory");
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail("open");
    const double start = now();
    const long long done = readAll(fd, data, size, size);
    if (done < 0)
        return fail("read");
    if (sync_file_range(fd, 0, 0,
                        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                            SYNC_FILE_RANGE_WAIT_AFTER) != 0)
        return fail("sync_file_range");
    const double end = now();
    close(fd);
    std::printf("%.0f\n", static_cast<double>(done) / (end - start));
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: limit-io write FILE SIZE | uncached FILE | cached FILE\n");
        return 2;
    }
    const std::string mode = argv[1];
    const char *path = argv[2];
    if (mode == "write" && argc == 4)
        return timedWrite(path, std::strtoull(argv[3], nullptr, 10));
    struct stat info {};
    if (stat(path, &info) != 0)
        return fail("stat");
    const auto size = static_cast<std::size_t>(info.st_size);
    if (mode == "uncached")
        return timedUncachedRead(path, size);
    if (mode == "cached")
        return timedCachedRead(path, size);
    std::fprintf(stderr, "limit-io: unknown mode '%s'\n", argv[1]);
    return 2;
}
