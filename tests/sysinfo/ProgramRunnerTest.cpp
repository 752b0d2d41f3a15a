#include "sysinfo/ProgramRunner.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

using namespace quorlan;
using namespace std::chrono_literals;

namespace {

QByteArray shell(const ProgramRunner &runner, const QString &script) {
    return runner.run("/bin/sh", {"-c", script});
}

} // namespace

TEST(ProgramRunner, CapturesStandardOutputByteForByteOrNothing) {
    const ProgramRunner runner;
    EXPECT_EQ(runner.run("/usr/bin/printf", {"a\\000b\\377\\n"}), QByteArray("a\0b\xff\n", 5));
    // Standard error is left out and the exit status does not matter.
    EXPECT_EQ(shell(runner, "printf out; printf err >&2; exit 3"), "out");
    // Arguments reach the program as they are, without a shell between.
    EXPECT_EQ(runner.run("/usr/bin/printf", {"%s|", "two words", "$HOME", "*"}),
              "two words|$HOME|*|");
    // More than a pipe holds at once.
    EXPECT_EQ(shell(runner, "head -c 1000000 /dev/zero").size(), 1000000);
    // Standard input is empty rather than a pipe left open: cat ends at once.
    EXPECT_EQ(shell(ProgramRunner(60s), "cat; printf end"), "end");
    // A program that cannot start gives nothing.
    for (const char *program : {"/nonexistent/system_profiler", "/", ""})
        EXPECT_EQ(runner.run(program, {"-xml"}), QByteArray()) << program;
}

// A program that overruns the time bound is killed (closing its output does not let it outlive
// the bound), one that writes more than maxOutputBytes is cut off without waiting for the bound;
// neither gives anything, not even what it wrote in time.
TEST(ProgramRunner, OverrunningOrOverlongProgramsGiveNothing) {
    QElapsedTimer clock;
    clock.start();
    for (const char *script :
         {"exec sleep 30", "printf partial; exec sleep 30", "exec sleep 30 >&-"})
        EXPECT_EQ(shell(ProgramRunner(300ms), script), QByteArray()) << script;
    EXPECT_EQ(ProgramRunner(60s).run("/usr/bin/yes", {}), QByteArray());
    EXPECT_LT(clock.elapsed(), 20000); // generous: the point is that none ran to its end
    const QString bytes = QString::number(ProgramRunner::maxOutputBytes);
    EXPECT_EQ(shell(ProgramRunner(), "head -c " + bytes + " /dev/zero").size(),
              ProgramRunner::maxOutputBytes);
    EXPECT_EQ(shell(ProgramRunner(), "head -c " + bytes + " /dev/zero; printf x"), QByteArray());
}
