// The window's texts computed from plain values, each listed with its input in one snapshot:
// chart axis labels, time left, save paths, the sentence of a failed save, the update download's
// content type and address rule, and the control panel's pop-up titles.
#include "app/ControlPanel.h"
#include "app/FilePanels.h"
#include "app/ProgressPanel.h"
#include "app/RateChart.h"
#include "app/SaveUserFile.h"
#include "app/UpdateDownload.h"
#include "bench/SysCalls.h"

#include "../support/GoldenMatch.h"

#include <QComboBox>
#include <QTextStream>
#include <QUrl>

#include <gtest/gtest.h>

using namespace quorlan;

TEST(AppTexts, LabelsTimesPathsAndAddressesMatchTheirSnapshot) {
    QString text;
    QTextStream out(&text);
    for (const double bytes : {1.0, 500.0, 999.0, 1000.0, 999999.0, 2e6, 2e8, 2e10})
        out << "size label " << bytes << ": " << RateChart::sizeLabel(bytes) << "\n";
    // The sixteen standard sizes (1-2-5 steps), random sizes from 20 kB to 2 GB (a label per
    // decade), a narrow range (every digit), nothing below a kB, an empty range.
    for (const auto &[low, high] : {std::pair{1.5e6, 2.5e9},
                                    {1.5e4, 2.5e9},
                                    {15000.0, 45000.0},
                                    {0.0, 1000.0},
                                    {1000.0, 10.0}}) {
        out << "size ticks " << low << " to " << high << ":";
        for (const auto &[bytes, label] : RateChart::sizeTicks(low, high))
            out << " " << label << " (" << bytes << ")";
        out << "\n";
    }
    for (const double seconds : {-3.0, 0.2, 59.0, 59.5, 3599.0, 3600.0, 7260.0, 86400.0})
        out << "time left " << seconds << ": " << timeLeftText(seconds) << "\n";
    const QStringList logTypes{"text", "txt"};
    for (const char *path :
         {"/a/run", "/a/run.txt", "/a/run.TEXT", "/a.txt/run", "/a/run.log", "/a/r.txt", "/a/.txt"})
        out << "log path " << path << ": " << pathWithAllowedType(path, logTypes) << "\n";
    out << "untyped path /a/run: " << pathWithAllowedType("/a/run", {}) << "\n";
    // The sentence names the subject, the file and its folder, and the system's reason; no
    // missing folder is made (a folder at the root could not be).
    for (const auto &[subject, path] : {std::pair{"log", "/dev/null/log.text"},
                                        {"log", "/nonexistent-quorlan/Quorlan-output.text"},
                                        {"results", "/proc"},
                                        {"log", ""}})
        out << "saving the " << subject << " as \"" << path
            << "\": " << saveUserFile(systemCalls(), subject, path, "x").value_or("saved").c_str()
            << "\n";
    for (const QByteArray type : {"text/xml", "text/plain; charset=utf-8", " Text/XML ;x", ""})
        out << "content type \"" << type << "\": " << bareMimeType(type).value_or("none") << "\n";
    out << "no content type: " << bareMimeType(QByteArray()).value_or("none") << "\n";
    for (const char *address :
         {"https://updates.quorlan.example/list.plist", "http://localhost:8080/list.plist",
          "http://[::1]:8080/list.plist", "http://127.0.0.1:8080/list.plist",
          "http://updates.quorlan.example/list.plist", "ftp://updates.quorlan.example/list.plist",
          "http://127.0.0.1.example/list.plist", "https://", ""})
        out << "update address " << address << ": "
            << (isAllowedUpdateAddress(QUrl(address)) ? "allowed" : "refused") << "\n";
    // In the order of the indices that the readings take (each index's reading is checked with
    // the panel settings); the pop-ups are emptied before they are filled.
    ControlPanel panel;
    panel.loadTitles();
    panel.loadTitles();
    for (const char *name : {"sizePopup", "contentPopup"}) {
        const auto *popup = panel.findChild<QComboBox *>(QString::fromLatin1(name));
        out << name << ":";
        for (int i = 0; i < popup->count(); ++i)
            out << " " << popup->itemText(i);
        out << "\n";
    }
    out << "pop-up items: " << panel.sizeItemCount() << " and " << panel.contentItemCount() << "\n";
    EXPECT_TRUE(quorlan::testing::matchesSnapshot(text.toStdString(), "app-texts.txt"));
}
