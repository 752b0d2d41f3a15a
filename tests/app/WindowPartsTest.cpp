// The window's parts that need no running test: the log view, the log queue, the progress
// estimate and the file type rule of save panels.
#include "app/FilePanels.h"
#include "app/LogQueue.h"
#include "app/LogView.h"
#include "app/ProgressEstimate.h"
#include "app/ProgressPanel.h"
#include "app/WarningsLabel.h"

#include <QFile>
#include <QFontMetricsF>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>

#include <gtest/gtest.h>

using namespace quorlan;

// The log keeps its text exactly, restyles all of it in one fixed-pitch size without colours of
// its own (so a light or dark palette draws it), and follows the end only while scrolled to it.
TEST(LogView, KeepsTextExactlyRestylesAllOfItAndFollowsTheEnd) {
    LogView view;
    EXPECT_EQ(view.logFontSize(), 12.0);
    view.resize(300, 100);
    view.show();
    view.appendText(QString::fromUtf8("a\u00a0b,\u00fc\n"));
    view.appendText("");
    view.setLogFontSize(30.0);
    EXPECT_EQ(view.logText(), QString::fromUtf8("a\u00a0b,\u00fc\n"));
    EXPECT_TRUE(view.isReadOnly());
    for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next())
        for (auto range = block.begin(); !range.atEnd(); ++range)
            EXPECT_FALSE(range.fragment().charFormat().hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_EQ(view.font().pointSizeF(), 30.0);
    // Fixed pitch as drawn (fontconfig may call a mono font "dual" spacing, so not the flag).
    const QFontMetricsF metrics(view.font());
    EXPECT_EQ(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'));
    view.setLogFontSize(1e9); // a size from outside is never drawn absurdly large
    EXPECT_EQ(view.font().pointSizeF(), LogView::maxDrawnFontSize);

    const QString many = QString("line\n").repeated(200);
    view.appendText(many);
    QScrollBar *bar = view.verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
    bar->setValue(10);
    view.appendText(many);
    EXPECT_EQ(bar->value(), 10) << "a reader who scrolled up stays put";
}

TEST(LogQueue, KeepsOrderAndReplacesBadBytes) {
    LogQueue queue;
    EXPECT_TRUE(queue.take().isEmpty());
    queue.appendToLog("one\n");
    queue.appendToLog("odd \xff name\n");
    EXPECT_EQ(queue.take(), QString::fromUtf8("one\nodd \uFFFD name\n"));
    EXPECT_TRUE(queue.take().isEmpty());
}

// The dialog asked about "run.log" only; "run.log.text" is another file, and replacing it needs
// its own yes.
TEST(FilePanels, AnAddedTypeThatNamesAnExistingFileIsAskedAbout) {
    QTemporaryDir folder;
    const QString existing = folder.filePath("run.log.text");
    QFile(existing).open(QIODevice::WriteOnly);
    const QStringList log{"text", "txt"};
    QStringList asked;
    bool yes = false;
    const auto answer = [&asked, &yes](const QString &path) {
        asked << path;
        return yes;
    };
    EXPECT_EQ(finalSavePath(folder.filePath("run.log"), log, answer), std::nullopt);
    yes = true;
    EXPECT_EQ(finalSavePath(folder.filePath("run.log"), log, answer), existing);
    // No question when the name was kept (the dialog asked) or the added name is free.
    yes = false;
    EXPECT_EQ(finalSavePath(existing, log, answer), existing);
    EXPECT_EQ(finalSavePath(folder.filePath("new"), log, answer), folder.filePath("new.text"));
    EXPECT_EQ(asked, (QStringList{existing, existing}));
}

static Progress at(std::int64_t pass, std::int64_t passes, std::int64_t file, std::int64_t files,
                   std::int64_t passBytes = 0, std::int64_t bytesBefore = 0,
                   bool writePhase = false) {
    return Progress{pass, passes, file, files, {}, 0, passBytes, bytesBefore, writePhase};
}

// Writes count bytes and reads count files; a mixed test's writes are one step before its read
// passes; the first file has no time left to tell yet; a folder walk learns its count in the
// first pass.
TEST(ProgressEstimate, FractionDoneCountsBytesOrFilesInTheirPass) {
    const std::tuple<bool, Progress, std::optional<double>> cases[] = {
        {false, at(2, 2, 4, 4, 400, 300), 0.875}, // (1 + 3/4) / 2
        {false, at(1, 4, 3, 4), 0.125},           // by files: (0 + 2/4) / 4
        {false, at(2, 2, 1, 1), 0.5},             // one file a pass
        {false, at(1, 1, 1, 16, 5000, 0), 0.0},
        {false, at(0, 0, 1, 1), std::nullopt}, // no passes
        {true, at(0, 2, 2, 2, 200, 100, true), 0.5 / 3},
        {true, at(2, 2, 1, 2), 2.0 / 3}};
    for (const auto &[mixed, progress, fraction] : cases)
        EXPECT_EQ(ProgressEstimate(mixed).fractionDone(progress), fraction) << progress.pass;
    ProgressEstimate writes;
    EXPECT_FALSE(writes.secondsLeft(at(1, 1, 1, 16, 5000, 0), 3.0).has_value());
    EXPECT_EQ(writes.secondsLeft(at(1, 1, 2, 2, 400, 100), 10.0), 30.0); // a quarter in 10 s

    ProgressEstimate walk;
    for (std::int64_t file = 1; file <= 10; ++file)
        EXPECT_FALSE(walk.fractionDone(at(1, 2, file, 0)).has_value());
    EXPECT_EQ(walk.fractionDone(at(2, 2, 6, 0)), 0.75); // (1 + 5/10) / 2
    EXPECT_EQ(walk.fractionDone(at(2, 2, 30, 0)), 1.0) << "grown folder: capped";

    // The step names the count of files only once it is known.
    ProgressPanel panel;
    panel.begin("Multi-read test", "/t", true, false);
    QString steps;
    for (const Progress &p : {at(1, 2, 3, 0), at(1, 2, 3, 4), at(0, 2, 1, 2, 0, 0, true)}) {
        panel.show(p, 1.0);
        steps += panel.findChild<QLabel *>("progressStep")->text() + "|";
    }
    EXPECT_EQ(steps, "pass 1 of 2, file 3|pass 1 of 2, file 3 of 4|writing file 1 of 2|");
    // The bar: busy while the walk's count is unknown, then the fraction done in thousandths.
    const auto *bar = panel.findChild<QProgressBar *>();
    ASSERT_NE(bar, nullptr);
    panel.begin("Multi-write test", "/t", true, false);
    EXPECT_EQ(bar->maximum(), 0);
    panel.show(at(1, 1, 2, 2, 400, 100), 10.0);
    EXPECT_EQ(std::pair(bar->value(), bar->maximum()), std::pair(250, 1000));
}

// However long a warning, the warnings ask the status bar for no width of their own: the window
// never widens for one; the line is cut and the tool tip holds it.
TEST(WarningsLabel, ALongWarningAsksForNoWidth) {
    WarningsLabel label;
    label.setWarnings({std::string(400, 'x')});
    EXPECT_LT(label.minimumSizeHint().width(), 100);
    EXPECT_EQ(label.toolTip().size(), 400);
}
