// The control panel on its own: what it shows is what the tests read, and a lock takes every
// control. The window's tests read back what it was given.
#include "app/ControlPanel.h"

#include "WindowFixture.h"

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

TEST(ControlPanel, ALockTakesEveryControlAndKeepsItsValue) {
    ControlPanel panel;
    panel.loadTitles();
    panel.setSettings({"1", 0, 0, "3", "5", 1, 0, 0});
    const auto enabledControls = [&panel] {
        int count = 0;
        for (QWidget *child : panel.findChildren<QWidget *>())
            count += (qobject_cast<QLineEdit *>(child) || qobject_cast<QComboBox *>(child) ||
                      qobject_cast<QCheckBox *>(child)) &&
                     child->isEnabled();
        return count;
    };
    EXPECT_EQ(enabledControls(), 8);
    panel.setLocked(true);
    EXPECT_EQ(enabledControls(), 0);
    EXPECT_EQ(quorlan::testing::panelFields(panel.settings()), "1|0|0|3|5|1|0|0");
    panel.setLocked(false);
    EXPECT_EQ(enabledControls(), 8);
}
