#include "app/HelpWindow.h"

#include "../support/GoldenMatch.h"

#include <QTextBrowser>

#include <gtest/gtest.h>

using namespace quorlan;
using quorlan::testing::matchesSnapshot;

// The help page as the window renders it (text, not markup), and the note shown in its place
// when the page cannot be loaded; both in a read-only browser that opens links outside.
TEST(HelpWindow, ShowsTheRenderedHelpOrTheFallbackNote) {
    const HelpWindow help;
    const HelpWindow missing(QStringLiteral(":/quorlan/no-such-help.html"));
    for (const HelpWindow *window : {&help, &missing}) {
        EXPECT_TRUE(window->isWindow());
        EXPECT_EQ(window->windowTitle(), "Quorlan Help");
        const auto *browser = window->findChild<QTextBrowser *>();
        EXPECT_TRUE(browser->isReadOnly() && browser->openExternalLinks());
    }
    EXPECT_TRUE(help.showsHelp());
    EXPECT_FALSE(missing.showsHelp());
    EXPECT_TRUE(matchesSnapshot(help.shownText().toStdString(), "help-page.txt"));
    EXPECT_TRUE(matchesSnapshot(missing.shownText().toStdString(), "help-fallback.txt"));
}
