// The window's texts computed from plain values, each listed with its input in one snapshot:
// chart axis labels, time left, save paths, the update download's content type and address rule.
#include "app/FilePanels.h"
#include "app/ProgressPanel.h"
#include "app/RateChart.h"
#include "app/UpdateDownload.h"

#include "../support/GoldenMatch.h"

#include <QTextStream>
#include <QUrl>

#include <gtest/gtest.h>

using namespace quorlan;

TEST(AppTexts, LabelsTimesPathsAndAddressesMatchTheirSnapshot) {
    QString text;
    QTextStream out(&text);
    for (const double bytes : {1.0, 500.0, 999999.0, 2e6, 2e8, 2e10})
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
    for (const char *path : {"/a/run", "/a/run.txt", "/a/run.TEXT", "/a.txt/run", "/a/run.log"})
        out << "log path " << path << ": " << pathWithAllowedType(path, logTypes) << "\n";
    out << "untyped path /a/run: " << pathWithAllowedType("/a/run", {}) << "\n";
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
    EXPECT_TRUE(quorlan::testing::matchesSnapshot(text.toStdString(), "app-texts.txt"));
}
