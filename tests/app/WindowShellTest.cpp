// Keys that work as a desktop user expects, and the window's own size and place.

#include "WindowFixture.h"
#include "app/HelpWindow.h"
#include "app/PanelColumn.h"
#include "app/WarningsLabel.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QStatusBar>

namespace quorlan::testing {

TEST_F(WindowTest, CtrlEqualsEnlargesAndCtrlQQuitsFromAHelpWindow) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    const double before = window->theFontSize;
    QTest::keyClick(window.get(), Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(window->theFontSize, before + 1.0);

    HelpWindow help;
    help.show();
    help.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&help));
    QTest::keyClick(&help, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(terminations, 1);
}

// The left column stretches its panel to the column's width, and the warnings take no more
// height than their icon or their line of text (the status bar keeps its height), their icon
// no more width than it needs.
TEST_F(WindowTest, TheLeftColumnAndTheWarningsTakeTheirSpaceExactly) {
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const auto *column = part<PanelColumn>("");
    EXPECT_EQ(column->widget()->width(), column->viewport()->width());
    auto *warnings = part<WarningsLabel>("warningsLabel");
    warnings->setWarnings({"one warning"});
    warnings->resize(600, warnings->sizeHint().height());
    warnings->layout()->activate();
    int tallest = 0;
    for (const QLabel *label : warnings->findChildren<QLabel *>()) {
        tallest = std::max(tallest, label->sizeHint().height());
        if (!label->pixmap().isNull()) {
            EXPECT_EQ(label->width(), label->sizeHint().width()) << "the text takes the rest";
        }
    }
    EXPECT_EQ(warnings->sizeHint().height(), tallest);
}

TEST_F(WindowTest, TheNextWindowOpensWithTheSizeThisOneClosedWith) {
    EXPECT_TRUE(part<LogView>("outputTextbox")->logText().isEmpty());
    EXPECT_FALSE(part<LogView>("outputTextbox")->placeholderText().isEmpty());
    window->resize(700, 500);
    window->close();
    window = makeWindow();
    EXPECT_EQ(window->size(), QSize(700, 500));
}

TEST_F(WindowTest, QuittingDuringASingleFileTestSaysWhyItWaitsAndShowsABusyCursor) {
    gate.holdAt = "held.tiff";
    panels.answers.push_back({panelOKResponse, QString::fromStdString(folder + "/held.tiff")});
    QSignalSpy finished(window.get(), &ViewController::runFinished);
    window->writeFileButton();
    ASSERT_TRUE(gate.waitUntilHeld());
    window->close();
    EXPECT_EQ(window->statusBar()->currentMessage(),
              "Quorlan quits when this file is done: a single-file test cannot be stopped part "
              "way.");
    EXPECT_EQ(window->cursor().shape(), Qt::BusyCursor);
    EXPECT_EQ(terminations, 0);
    gate.release();
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(terminations, 1);
}

} // namespace quorlan::testing
