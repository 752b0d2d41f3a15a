// The window's parts that need no running test: the log view, the progress estimate, the file
// type rule of save panels, and the application delegate.
#include "app/AppDelegate.h"
#include "app/FilePanels.h"
#include "app/HelpWindow.h"
#include "app/LogQueue.h"
#include "app/LogView.h"
#include "app/ProgressEstimate.h"
#include "app/ProgressPanel.h"
#include "appcore/SettingsStore.h"

#include <QDateTime>
#include <QFile>
#include <QFontMetricsF>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>

#include <gtest/gtest.h>

using namespace quorlan;

TEST(LogView, KeepsTextExactlyAndRestylesAllOfIt) {
    LogView view;
    view.appendText(QString::fromUtf8("a\u00a0b,\u00fc\n"));
    view.appendText("second\n\n");
    view.appendText("");
    EXPECT_EQ(view.logText(), QString::fromUtf8("a\u00a0b,\u00fc\nsecond\n\n"));
    EXPECT_TRUE(view.isReadOnly());
    view.setLogFontSize(30.0);
    view.appendText("after\n");
    EXPECT_EQ(view.logFontSize(), 30.0);
    // No text carries a colour of its own, so a light or dark palette draws all of it.
    for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next())
        for (auto range = block.begin(); !range.atEnd(); ++range)
            EXPECT_FALSE(range.fragment().charFormat().hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_EQ(view.font().pointSizeF(), 30.0);
    // Fixed pitch as drawn (fontconfig may call a mono font "dual" spacing, so not the flag).
    const QFontMetricsF metrics(view.font());
    EXPECT_EQ(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'));
    view.setLogFontSize(1e9); // a size from outside is never drawn absurdly large
    EXPECT_EQ(view.font().pointSizeF(), LogView::maxDrawnFontSize);
}

TEST(LogView, FollowsTheEndOnlyWhileScrolledToIt) {
    LogView view;
    view.resize(300, 100);
    view.show();
    QString many;
    for (int i = 0; i < 200; ++i)
        many += QString("line %1\n").arg(i);
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

TEST(FilePanels, SavePathsGetAnAllowedType) {
    const QStringList log{"text", "txt"};
    EXPECT_EQ(pathWithAllowedType("/a/run", log), "/a/run.text");
    EXPECT_EQ(pathWithAllowedType("/a/run.txt", log), "/a/run.txt");
    EXPECT_EQ(pathWithAllowedType("/a/run.TEXT", log), "/a/run.TEXT");
    EXPECT_EQ(pathWithAllowedType("/a.txt/run", log), "/a.txt/run.text");
    EXPECT_EQ(pathWithAllowedType("/a/run.log", log), "/a/run.log.text");
    EXPECT_EQ(pathWithAllowedType("/a/run", {}), "/a/run");
    EXPECT_EQ(pathWithAllowedType("/a/x.tiff", {"tiff"}), "/a/x.tiff");
}

// The dialog asked about "run.log" only; "run.log.text" is another file, and replacing it needs
// its own yes.
TEST(FilePanels, AnAddedTypeThatNamesAnExistingFileIsAskedAbout) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString existing = folder.filePath("run.log.text");
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QStringList log{"text", "txt"};
    QStringList asked;
    const auto answer = [&asked](bool yes) {
        return [&asked, yes](const QString &path) {
            asked << path;
            return yes;
        };
    };
    EXPECT_EQ(finalSavePath(folder.filePath("run.log"), log, answer(false)), std::nullopt);
    EXPECT_EQ(finalSavePath(folder.filePath("run.log"), log, answer(true)), existing);
    EXPECT_EQ(asked, (QStringList{existing, existing}));
    asked.clear();
    // No question when the name was kept (the dialog asked) or the added name is free.
    EXPECT_EQ(finalSavePath(existing, log, answer(false)), existing);
    EXPECT_EQ(finalSavePath(folder.filePath("new"), log, answer(false)),
              folder.filePath("new.text"));
    EXPECT_TRUE(asked.isEmpty());
}

namespace {

Progress at(std::int64_t pass, std::int64_t passes, std::int64_t file, std::int64_t files,
            std::int64_t passBytes = 0, std::int64_t bytesBefore = 0, bool writePhase = false) {
    Progress p;
    p.pass = pass;
    p.passes = passes;
    p.file = file;
    p.files = files;
    p.passBytes = passBytes;
    p.bytesBefore = bytesBefore;
    p.writePhase = writePhase;
    return p;
}

} // namespace

TEST(ProgressEstimate, WritesCountBytesAndReadsCountFiles) {
    ProgressEstimate writes;
    // Pass 2 of 2, 3 of 4 bytes done in it: (1 + 0.75) / 2.
    EXPECT_DOUBLE_EQ(*writes.fractionDone(at(2, 2, 4, 4, 400, 300)), 0.875);
    EXPECT_DOUBLE_EQ(*writes.fractionDone(at(1, 4, 3, 4)), 0.125); // by files: (0 + 2/4) / 4
    // The first file: nothing done, no time left to tell yet.
    EXPECT_DOUBLE_EQ(*writes.fractionDone(at(1, 1, 1, 16, 5000, 0)), 0.0);
    EXPECT_FALSE(writes.secondsLeft(at(1, 1, 1, 16, 5000, 0), 3.0).has_value());
    // A quarter done after 10 s: 30 s left.
    EXPECT_DOUBLE_EQ(*writes.secondsLeft(at(1, 1, 2, 2, 400, 100), 10.0), 30.0);
    EXPECT_FALSE(writes.fractionDone(at(0, 0, 1, 1)).has_value()) << "no passes";
}

TEST(ProgressEstimate, MixedTestCountsItsWritesAsOneStep) {
    ProgressEstimate mixed(true);
    // Writes half done, two read passes to follow: 0.5 of 3 steps.
    EXPECT_DOUBLE_EQ(*mixed.fractionDone(at(0, 2, 2, 2, 200, 100, true)), 0.5 / 3);
    EXPECT_DOUBLE_EQ(*mixed.fractionDone(at(2, 2, 1, 2)), 2.0 / 3);
}

TEST(ProgressEstimate, FolderWalkLearnsItsCountInTheFirstPass) {
    ProgressEstimate walk;
    for (std::int64_t file = 1; file <= 10; ++file)
        EXPECT_FALSE(walk.fractionDone(at(1, 2, file, 0)).has_value());
    EXPECT_DOUBLE_EQ(*walk.fractionDone(at(2, 2, 6, 0)), 0.75); // (1 + 5/10) / 2
    EXPECT_DOUBLE_EQ(*walk.fractionDone(at(2, 2, 30, 0)), 1.0) << "grown folder: capped";
}

TEST(ProgressPanel, TimeLeftIsWrittenInWholeUnitsRoundedUp) {
    EXPECT_EQ(timeLeftText(0.2), "About 1 s left");
    EXPECT_EQ(timeLeftText(59.0), "About 59 s left");
    EXPECT_EQ(timeLeftText(59.5), "About 1 min 0 s left");
    EXPECT_EQ(timeLeftText(3599.0), "About 59 min 59 s left");
    EXPECT_EQ(timeLeftText(7260.0), "About 2 h 1 min left");
    EXPECT_EQ(timeLeftText(-3.0), "About 0 s left");
}

TEST(AppDelegate, EachHelpCommandOpensANewWindowAndKeepsIt) {
    QTemporaryDir dir;
    SettingsStore store(dir.filePath("q.ini"));
    AppDelegate delegate(store);
    for (int i = 0; i < 3; ++i)
        delegate.openHelp();
    ASSERT_EQ(delegate.myHelpWindow.size(), 3u);
    for (const auto &help : delegate.myHelpWindow)
        EXPECT_TRUE(help->isVisible() && help->showsHelp());
    delegate.myHelpWindow[0]->close();
    delegate.openHelp();
    ASSERT_EQ(delegate.myHelpWindow.size(), 4u);
    EXPECT_FALSE(delegate.myHelpWindow[0]->isVisible());
    EXPECT_TRUE(delegate.myHelpWindow[3]->isVisible());
    EXPECT_NE(delegate.myHelpWindow[3].get(), delegate.myHelpWindow[0].get());
}
