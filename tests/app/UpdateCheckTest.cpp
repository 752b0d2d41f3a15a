#include "app/AppDelegate.h"
#include "app/Browser.h"
#include "app/QtAlerts.h"
#include "appcore/UpdateList.h"

#include "../appcore/SettingsFile.h"
#include "../support/GoldenMatch.h"
#include "LoopbackHttpServer.h"
#include "WindowFixture.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslKey>
#include <QTest>

#include <gtest/gtest.h>

namespace quorlan {
namespace {

using testing::FakeAlerts;
using testing::LoopbackHttpServer;

const QString site = QStringLiteral("https://downloads.quorlan.example/quorlan/files/");

class FakeBrowser final : public Browser {
public:
    std::vector<QUrl> opened;
    void openURL(const QUrl &url) override { opened.push_back(url); }
};

// A list that offers version 3.0 from the site.
const QByteArray offer = "<plist version=\"1.0\"><array><dict><key>AppName</key><string>Quorlan"
                         "</string><key>Version</key><string>3.0</string><key>URL</key><string>" +
                         site.toUtf8() + "q.tar</string></dict></array></plist>";

class UpdateCheck : public testing::SettingsFile {
protected:
    LoopbackHttpServer server;
    FakeAlerts alerts;
    FakeBrowser browser;
    QMenu helpMenu;
    QAction *statusItem = helpMenu.addAction(QString::fromLatin1(updateNotCheckedTitle));
    std::unique_ptr<SettingsStore> store = open();
    UpdateDownloadLimits limits;
    QString runningVersion = QStringLiteral("2.0.0");

    void TearDown() override { QCoreApplication::setApplicationVersion(QUORLAN_VERSION); }

    std::unique_ptr<AppDelegate> makeDelegate(const QUrl &address) {
        auto delegate = std::make_unique<AppDelegate>(
            *store, UpdateServices{address, site, &alerts, &browser, limits});
        delegate->setHelpMenu(&helpMenu);
        return delegate;
    }

    // Runs one whole check against the server, or against address when given, and tells what
    // it asked, showed, opened and left in the help menu, one line each.
    std::string check(const QUrl &address = QUrl()) {
        alerts.shown.clear();
        browser.opened.clear();
        statusItem->setText(QString::fromLatin1(updateNotCheckedTitle));
        statusItem->setChecked(false);
        const qsizetype requestsBefore = server.requestLines.size();
        QCoreApplication::setApplicationVersion(runningVersion);
        const auto delegate = makeDelegate(address.isEmpty() ? server.url() : address);
        QSignalSpy ended(delegate.get(), &AppDelegate::updateCheckEnded);
        delegate->checkForUpdates();
        EXPECT_TRUE(ended.count() > 0 || ended.wait(10000)) << "the check never ended";
        QString text;
        if (server.requestLines.size() > requestsBefore)
            text += "request " + server.requestLines.last() + "\n";
        for (const Alert &a : alerts.shown)
            text += QString("alert %1: %2 | %3 | %4\n")
                        .arg(a.style == AlertStyle::Critical ? "critical" : "informational",
                             a.messageText, QString(a.informativeText).replace('\n', "\\n"),
                             a.buttons.join('/'));
        for (const QUrl &url : browser.opened)
            text += "open " + url.toString() + "\n";
        text += QString("menu %1%2 of %3 items\n")
                    .arg(statusItem->text(), statusItem->isChecked() ? " (ticked)" : "")
                    .arg(helpMenu.actions().size());
        return text.toStdString();
    }
};

const std::string asked = "request GET /update-list.plist HTTP/1.1\n";
const std::string untouched = "menu Update not checked of 1 items\n";

// One check for each "== name" section of the snapshot, which states its case in lines that
// the check does not write: "< " lines are the server's body, "reply STATUS [TYPE]" its status
// and content type (200 text/xml otherwise), "version" the running version (2.0.0 otherwise),
// "answer" the button the user clicks at each offer in turn. The lines of the check follow:
// the request, the alerts, the opened addresses and the menu item.
TEST_F(UpdateCheck, EveryReplyEndsInItsOffersErrorsAndMenuState) {
    const QString cases =
        QString::fromStdString(quorlan::testing::readFixture("update-check-outcomes.txt"));
    std::string outcomes;
    for (const QString &section : ("\n" + cases).split("\n== ", Qt::SkipEmptyParts)) {
        const QStringList lines = section.split('\n');
        std::string stated = "== " + lines[0].toStdString() + "\n";
        QByteArray body;
        QString reply = QStringLiteral("reply 200 text/xml");
        runningVersion = QStringLiteral("2.0.0");
        alerts.answers.clear();
        for (const QString &line : lines.mid(1)) {
            if (line.startsWith("< "))
                body += line.mid(2).toUtf8() + "\n";
            else if (line.startsWith("reply "))
                reply = line;
            else if (line.startsWith("version"))
                runningVersion = line.section(' ', 1);
            else if (line.startsWith("answer "))
                alerts.answers << line.section(' ', 1);
            else
                continue; // a line of the check's own
            stated += line.toStdString() + "\n";
        }
        server.reply(reply.section(' ', 1, 1).toInt(), reply.section(' ', 2).toUtf8(), body);
        outcomes += stated + check();
    }
    EXPECT_TRUE(quorlan::testing::matchesSnapshot(outcomes, "update-check-outcomes.txt"));
}

// An address that is not https is not asked; a refused connection, a server whose certificate
// is not trusted, an oversized body and a server that never answers end silently, also when the
// delegate is gone before the time-out.
TEST_F(UpdateCheck, FailedTransfersEndSilently) {
    EXPECT_EQ(check(QUrl("http://updates.quorlan.example/list.plist")), untouched);
    EXPECT_EQ(check(QUrl("http://127.0.0.1:1/update-list.plist")), untouched) << "nothing listens";
    const auto fixture = [](const char *name) {
        return QByteArray::fromStdString(quorlan::testing::readFixture(name));
    };
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(fixture("untrusted-localhost.crt")));
    tls.setPrivateKey(QSslKey(fixture("untrusted-localhost.key"), QSsl::Rsa));
    ASSERT_FALSE(tls.localCertificate().isNull() || tls.privateKey().isNull());
    LoopbackHttpServer selfSigned(&tls);
    selfSigned.reply(200, "text/xml", offer);
    EXPECT_EQ(check(selfSigned.url()), untouched) << "the list of an unverified server was read";

    limits.maxBodyBytes = 100;
    server.reply(200, "text/xml", offer + QByteArray(200, ' '));
    EXPECT_EQ(check(), asked + untouched);
    limits = {.timeout = std::chrono::milliseconds(300)};
    server.neverAnswer();
    EXPECT_EQ(check(), asked + untouched);
    {
        const auto delegate = makeDelegate(server.url());
        delegate->checkForUpdates();
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.requestLines.size() == 3; }));
    }
    QTest::qWait(400); // past the time-out: the reply ends with nobody to tell
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_EQ(statusItem->text(), updateNotCheckedTitle);
}

TEST_F(UpdateCheck, FirstLaunchStartsExactlyOneCheckAndStoresTheSchedule) {
    QCoreApplication::setApplicationVersion(runningVersion);
    server.reply(200, "text/xml", offer);
    const auto delegate = makeDelegate(server.url());
    QSignalSpy ended(delegate.get(), &AppDelegate::updateCheckEnded);
    delegate->applicationDidFinishLaunching();
    delegate->applicationDidFinishLaunching(); // at once again: not due
    ASSERT_TRUE(ended.wait(10000));
    QTest::qWait(100);
    EXPECT_EQ(server.requestLines.size(), 1);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(statusItem->isChecked());
    const double now = QDateTime::currentSecsSinceEpoch() - 978307200.0;
    EXPECT_NEAR(restart()->doubleValue("dateLastUpdateCheck"), now, 60.0); // seconds since 2001
}

// The real dialog: buttons in the order given, Return and Escape choose the first.
TEST(QtAlerts, TheFirstButtonIsTheDefaultAndStandsFirst) {
    const Alert choice{"Title", "Detail", AlertStyle::Informational, {"Ignore", "Download"}};
    for (const auto key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_unknown}) {
        const auto box = QtAlerts::makeBox(choice);
        box->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
        const QList<QAbstractButton *> buttons = box->buttons();
        ASSERT_EQ(buttons.size(), 2);
        EXPECT_EQ(buttons[0]->text(), "Ignore");
        EXPECT_LT(buttons[0]->mapToGlobal(QPoint()).x(), buttons[1]->mapToGlobal(QPoint()).x());
        EXPECT_EQ(box->defaultButton(), buttons[0]);
        if (key == Qt::Key_unknown) // a click on the second button
            QTest::mouseClick(buttons[1], Qt::LeftButton);
        else
            QTest::keyClick(box.get(), key);
        EXPECT_EQ(QtAlerts::answerOf(*box),
                  key == Qt::Key_unknown ? alertSecondButtonReturn : alertFirstButtonReturn);
    }

    const auto error = QtAlerts::makeBox({"An error occurred:", "x", AlertStyle::Critical, {"OK"}});
    EXPECT_EQ(error->icon(), QMessageBox::Critical);
    EXPECT_EQ(error->informativeText(), "x");
}

} // namespace
} // namespace quorlan
