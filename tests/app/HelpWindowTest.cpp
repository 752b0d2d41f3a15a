#include "app/HelpWindow.h"
#include "app/AppDelegate.h"
#include "appcore/SettingsStore.h"

#include "../support/GoldenMatch.h"

#include <QTemporaryDir>
#include <QTextBrowser>

#include <gtest/gtest.h>

using namespace quorlan;
using quorlan::testing::matchesSnapshot;

// Each help command opens a new window of the help page as rendered (text, not markup) and keeps
// it; a page that cannot be loaded leaves a note in its place. Both are read-only and open links
// outside; the page fills its window.
TEST(HelpWindow, EachHelpCommandOpensANewWindowOfTheRenderedHelpOrTheFallbackNote) {
    QTemporaryDir dir;
    SettingsStore store(dir.filePath("q.ini"));
    AppDelegate delegate(store);
    delegate.openHelp();
    delegate.openHelp();
    delegate.myHelpWindow.at(0)->close();
    delegate.openHelp();
    ASSERT_EQ(delegate.myHelpWindow.size(), 3u);
    EXPECT_EQ(
        std::tuple(delegate.myHelpWindow[0]->isVisible(), delegate.myHelpWindow[1]->isVisible()),
        std::tuple(false, true));
    const HelpWindow &help = *delegate.myHelpWindow[2];
    const HelpWindow missing(QStringLiteral(":/quorlan/no-such-help.html"));
    for (const HelpWindow *window : {&help, &missing}) {
        EXPECT_TRUE(window->isWindow());
        EXPECT_EQ(window->windowTitle(), "Quorlan Help");
        const auto *browser = window->findChild<QTextBrowser *>();
        EXPECT_TRUE(browser->isReadOnly() && browser->openExternalLinks());
    }
    EXPECT_EQ(help.findChild<QTextBrowser *>()->geometry(), help.rect()) << "edge to edge";
    EXPECT_TRUE(help.isVisible() && help.showsHelp());
    EXPECT_FALSE(missing.showsHelp());
    EXPECT_TRUE(matchesSnapshot(help.shownText().toStdString(), "help-page.txt"));
    EXPECT_TRUE(matchesSnapshot(missing.shownText().toStdString(), "help-fallback.txt"));
}
