// The run controller on its own: one run at a time, cancelling only what can be cancelled, and an
// abandoned run that ends silently. That every line reaches the log in order before the run ends
// is checked by the window's tests against whole logs.
#include "app/RunController.h"
#include "app/TestCommand.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <future>

using namespace quorlan;

// A second run is refused while one runs; a run is cancelled once; the next can be again. Its
// progress comes with the seconds since it started. An abandoned run is waited for and then
// tells nothing more.
TEST(RunController, OneRunAtATimeCancelledOnceWhenItCanBeAndAbandonedSilently) {
    RunController runs;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    QSignalSpy started(&runs, &RunController::started);
    QSignalSpy finished(&runs, &RunController::finished);
    QSignalSpy progressed(&runs, &RunController::progressed);
    QElapsedTimer sinceStart;
    sinceStart.start();
    ASSERT_TRUE(runs.start(multiWriteCommand().run, [&runs, released] {
        runs.progressSink().fileStarted(Progress{.file = 1, .files = 2, .path = "f"});
        released.wait();
    }));
    bool secondRan = false;
    EXPECT_FALSE(runs.start(RunDescription{.title = "Mixed test"}, [&] { secondRan = true; }));
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(runs.run().title, "Multi-write test");
    ASSERT_TRUE(progressed.wait(30000));
    EXPECT_EQ(progressed[0][0].value<Progress>().file, 1);
    const double seconds = progressed[0][1].toDouble();
    EXPECT_TRUE(seconds >= 0 && seconds <= static_cast<double>(sinceStart.elapsed()) / 1000)
        << seconds;
    EXPECT_TRUE(runs.canCancel() && runs.cancel());
    EXPECT_FALSE(runs.canCancel() || runs.cancel()) << "asked once";
    release.set_value();
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_FALSE(secondRan);
    ASSERT_TRUE(runs.start(RunDescription{.title = "Writing one file"}, [] {}));
    EXPECT_FALSE(runs.canCancel() || runs.cancel()) << "a single-file test cannot be stopped";
    ASSERT_TRUE(finished.wait(30000));

    std::promise<void> releaseLast;
    QSignalSpy logText(&runs, &RunController::logText);
    bool workEnded = false;
    ASSERT_TRUE(runs.start(multiWriteCommand().run, [&, last = releaseLast.get_future().share()] {
        last.wait();
        runs.logSink().appendToLog("after the release\n");
        workEnded = true;
    }));
    EXPECT_TRUE(runs.canCancel()) << "the next multi-file run can be cancelled again";
    releaseLast.set_value();
    runs.abandon();
    EXPECT_TRUE(workEnded) << "abandon waits for the thread";
    EXPECT_FALSE(runs.isRunning());
    QTest::qWait(100);
    EXPECT_EQ(finished.count() + logText.count(), 2) << "only the two earlier runs finished";
}
