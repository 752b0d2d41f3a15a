// The control panel on its own: what it shows is what the tests read, it gives back exactly what
// it was given, and a lock takes every control.
#include "app/ControlPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <cstdio>

using namespace quorlan;

namespace {

QComboBox *popup(const ControlPanel &panel, const char *name) {
    return panel.findChild<QComboBox *>(QString::fromLatin1(name));
}

} // namespace

// A unit or fill title out of step with readFileSize or readFillByte would write files other
// than the panel shows.
TEST(ControlPanel, EachTitleNamesWhatTheReadingsGiveForIt) {
    ControlPanel panel;
    panel.loadTitles();
    panel.loadTitles(); // the pop-ups are emptied first
    ASSERT_EQ(panel.sizeItemCount(), 3);
    ASSERT_EQ(panel.contentItemCount(), 4);
    PanelSettings settings;
    settings.filesize = "1";
    const std::int64_t bytes[] = {1000, 1000000, 1000000000};
    for (int i = 0; i < 3; ++i) {
        settings.sizeIndex = i;
        panel.setSettings(settings);
        const PanelSettings shown = panel.settings();
        EXPECT_EQ(readFileSize(shown), bytes[i]) << i;
        EXPECT_EQ(fileSizeText(shown),
                  "1 " + popup(panel, "sizePopup")->currentText().toStdString());
    }
    for (int i = 0; i < 4; ++i) {
        settings.contentIndex = i;
        panel.setSettings(settings);
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", readFillByte(panel.settings()));
        EXPECT_EQ(popup(panel, "contentPopup")->currentText().toStdString(), hex) << i;
    }
}

TEST(ControlPanel, GivesBackExactlyWhatItWasGiven) {
    const PanelSettings cases[] = {
        PanelSettings{},
        {" 2.5e3 ", 2, 3, "", "seven", 1, 1, 1},
        {"-1", -1, -1, "+4", "0", -1, 0, -1}, // no selections, mixed check boxes
    };
    ControlPanel panel;
    panel.loadTitles();
    for (const PanelSettings &given : cases) {
        panel.setSettings(given);
        const PanelSettings back = panel.settings();
        EXPECT_EQ(back.filesize, given.filesize);
        EXPECT_EQ(back.sizeIndex, given.sizeIndex);
        EXPECT_EQ(back.contentIndex, given.contentIndex);
        EXPECT_EQ(back.repeats, given.repeats);
        EXPECT_EQ(back.length, given.length);
        EXPECT_EQ(back.noCache, given.noCache);
        EXPECT_EQ(back.verbose, given.verbose);
        EXPECT_EQ(back.isRandom, given.isRandom);
    }
}

TEST(ControlPanel, ALockTakesEveryControlAndKeepsItsValue) {
    ControlPanel panel;
    panel.loadTitles();
    PanelSettings settings;
    settings.repeats = "3";
    settings.noCache = 1;
    panel.setSettings(settings);
    std::vector<QWidget *> controls;
    for (QWidget *child : panel.findChildren<QWidget *>())
        if (qobject_cast<QLineEdit *>(child) || qobject_cast<QComboBox *>(child) ||
            qobject_cast<QCheckBox *>(child))
            controls.push_back(child);
    ASSERT_EQ(controls.size(), 8u);
    panel.setLocked(true);
    for (QWidget *control : controls)
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    EXPECT_EQ(panel.settings().repeats, "3");
    EXPECT_EQ(panel.settings().noCache, 1);
    panel.setLocked(false);
    for (QWidget *control : controls)
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
}
