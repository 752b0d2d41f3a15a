#include "app/HelpWindow.h"

#include <QTextBrowser>

#include <gtest/gtest.h>

namespace quorlan {
namespace {

TEST(HelpWindow, ShowsTheHelpText) {
    HelpWindow window;
    EXPECT_TRUE(window.isWindow());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quorlan Help"));
    ASSERT_TRUE(window.showsHelp());

    const QString text = window.shownText();
    for (const char *heading :
         {"The control panel", "Write File…", "Read File…", "Multi-Write Test…", "Multi-Read Test…",
          "Mixed Test…", "Measurement lines", "The report", "The regressed rate",
          "Bypassing the cache", "Keyboard shortcuts", "quorlan-bench"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(heading))) << heading;
    // The page is rendered, not shown as markup.
    EXPECT_FALSE(text.contains(QStringLiteral("<h2>")));

    const auto *browser = window.findChild<QTextBrowser *>();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(browser->isReadOnly());
    EXPECT_TRUE(browser->openExternalLinks());
}

TEST(HelpWindow, FallsBackWhenTheTextIsMissing) {
    HelpWindow window(QStringLiteral(":/quorlan/no-such-help.html"));
    EXPECT_FALSE(window.showsHelp());
    EXPECT_TRUE(window.shownText().contains(QStringLiteral("could not be loaded")));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quorlan Help"));
}

} // namespace
} // namespace quorlan
