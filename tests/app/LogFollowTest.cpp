// The log follows its end through every change of the view's height while the reader is at it.

#include "WindowFixture.h"
#include "app/ProgressPanel.h"
#include "app/WarningsLabel.h"

#include <QScrollBar>

#include <functional>

namespace quorlan::testing {

namespace {

QString lines(int count) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    return text;
}

} // namespace

TEST_F(WindowTest, TheLogFollowsItsEndAcrossHeightChangesUnlessTheReaderScrolledUp) {
    auto *log = part<LogView>("outputTextbox");
    QScrollBar *bar = log->verticalScrollBar();
    auto *progress = part<ProgressPanel>("progressArea");
    auto *warnings = part<WarningsLabel>("warningsLabel");
    window->appendToLog(lines(300));
    ASSERT_GT(bar->maximum(), 0);
    ASSERT_EQ(bar->value(), bar->maximum());

    // Each step changes the log's height, then text arrives. scrolledUp: the reader left the end.
    const struct {
        const char *step;
        std::function<void()> change;
        bool scrolledUp;
    } steps[] = {
        {"progress area shown", [&] { progress->setVisible(true); }, false},
        {"warning appears",
         [&] {
             warnings->setWarnings({"one", "two", "three"});
         },
         false},
        {"progress area hidden", [&] { progress->setVisible(false); }, false},
        {"progress area shown, reader up", [&] { progress->setVisible(true); }, true},
        {"warning goes, reader up", [&] { warnings->setWarnings({}); }, true},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.step);
        if (step.scrolledUp)
            bar->setValue(bar->maximum() / 2);
        const int readerAt = bar->value();
        const int heightBefore = log->viewport()->height();
        step.change();
        ASSERT_TRUE(QTest::qWaitFor([&] { return log->viewport()->height() != heightBefore; }));
        window->appendToLog(lines(5));
        if (step.scrolledUp)
            EXPECT_EQ(bar->value(), readerAt);
        else
            EXPECT_EQ(bar->value(), bar->maximum());
    }
}

} // namespace quorlan::testing
