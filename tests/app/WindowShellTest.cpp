// Keys that work as a desktop user expects, and the window's own size and place.

#include "WindowFixture.h"
#include "app/HelpWindow.h"

#include <QApplication>

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

TEST_F(WindowTest, TheNextWindowOpensWithTheSizeThisOneClosedWith) {
    EXPECT_TRUE(part<LogView>("outputTextbox")->logText().isEmpty());
    EXPECT_FALSE(part<LogView>("outputTextbox")->placeholderText().isEmpty());
    window->resize(700, 500);
    window->close();
    window = makeWindow();
    EXPECT_EQ(window->size(), QSize(700, 500));
}

} // namespace quorlan::testing
