// The run controller on its own: one run at a time, every line of the log in order before the
// end, cancelling only what can be cancelled, and an abandoned run that ends silently.
#include "app/RunController.h"
#include "app/TestCommand.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <future>

using namespace quorlan;

TEST(RunController, EveryLineArrivesInOrderBeforeTheRunEnds) {
    RunController runs;
    QString shown;
    bool endedWhileRunning = true;
    QObject::connect(&runs, &RunController::logText, [&](const QString &text) { shown += text; });
    QSignalSpy finished(&runs, &RunController::finished);
    QObject::connect(&runs, &RunController::finished, [&] {
        endedWhileRunning = runs.isRunning();
        shown += "|end";
    });
    QString expected;
    for (int i = 0; i < 2000; ++i)
        expected += QString("line %1\n").arg(i);
    ASSERT_TRUE(runs.start(RunDescription{.title = "Writing one file"}, [&runs] {
        for (int i = 0; i < 2000; ++i)
            runs.logSink().appendToLog("line " + std::to_string(i) + "\n");
    }));
    EXPECT_TRUE(runs.isRunning());
    EXPECT_FALSE(runs.canCancel()) << "a single-file test cannot be stopped part way";
    EXPECT_FALSE(runs.cancel());
    ASSERT_TRUE(finished.wait(30000));
    QTest::qWait(20);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(endedWhileRunning);
    EXPECT_EQ(shown, expected + "|end");
    EXPECT_EQ(runs.run().title, "Writing one file");
}

TEST(RunController, ASecondRunIsRefusedWhileOneRuns) {
    RunController runs;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    QSignalSpy started(&runs, &RunController::started);
    QSignalSpy finished(&runs, &RunController::finished);
    ASSERT_TRUE(runs.start(multiWriteCommand().run, [released] { released.wait(); }));
    bool secondRan = false;
    EXPECT_FALSE(runs.start(RunDescription{.title = "Mixed test"}, [&] { secondRan = true; }));
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(runs.run().title, "Multi-write test");

    EXPECT_TRUE(runs.canCancel());
    EXPECT_TRUE(runs.cancel());
    EXPECT_FALSE(runs.canCancel());
    EXPECT_FALSE(runs.cancel()) << "asked once";
    release.set_value();
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_FALSE(secondRan);
    EXPECT_FALSE(runs.canCancel());

    // The next run starts afresh: it can be cancelled again.
    ASSERT_TRUE(runs.start(multiWriteCommand().run, [] {}));
    EXPECT_TRUE(runs.canCancel());
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(finished.count(), 2);
}

TEST(RunController, AnAbandonedRunEndsWithoutFinishing) {
    RunController runs;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    QSignalSpy finished(&runs, &RunController::finished);
    QSignalSpy logText(&runs, &RunController::logText);
    bool workEnded = false;
    ASSERT_TRUE(runs.start(multiWriteCommand().run, [&, released] {
        released.wait();
        runs.logSink().appendToLog("after the release\n");
        workEnded = true;
    }));
    release.set_value();
    runs.abandon();
    EXPECT_TRUE(workEnded) << "abandon waits for the thread";
    EXPECT_FALSE(runs.isRunning());
    QTest::qWait(100);
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(logText.count(), 0);
}
