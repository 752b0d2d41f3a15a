#include "app/AppDelegate.h"
#include "app/Browser.h"
#include "app/QtAlerts.h"
#include "appcore/UpdateList.h"

#include "../appcore/SettingsFile.h"
#include "../support/GoldenMatch.h"
#include "LoopbackHttpServer.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslKey>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>

namespace quorlan {
namespace {

using testing::LoopbackHttpServer;

const QString site = QStringLiteral("https://downloads.quorlan.example/quorlan/files/");

// Answers alerts from a queue (the first button when it runs dry) and keeps what it showed.
class FakeAlerts final : public Alerts {
public:
    std::vector<Alert> shown;
    std::deque<int> answers;
    int runModal(const Alert &alert) override {
        shown.push_back(alert);
        if (answers.empty())
            return alertFirstButtonReturn;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

class FakeBrowser final : public Browser {
public:
    std::vector<QUrl> opened;
    void openURL(const QUrl &url) override { opened.push_back(url); }
};

QByteArray plist(const QByteArray &elements) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array>" + elements +
           "</array></plist>\n";
}

// A dictionary of the given AppName and Version elements and URL text.
QByteArray rawEntry(const QByteArray &name, const QByteArray &version, const QString &url) {
    return "<dict><key>AppName</key>" + name + "<key>Version</key>" + version +
           "<key>URL</key><string>" + url.toUtf8() + "</string></dict>";
}

QByteArray entry(const char *name, const char *version, const QString &url) {
    return rawEntry("<string>" + QByteArray(name) + "</string>",
                    "<string>" + QByteArray(version) + "</string>", url);
}

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

    void SetUp() override { ASSERT_TRUE(server.listening()); }
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
        const int requestsBefore = server.requests();
        QCoreApplication::setApplicationVersion(runningVersion);
        const auto delegate = makeDelegate(address.isEmpty() ? server.url() : address);
        QSignalSpy ended(delegate.get(), &AppDelegate::updateCheckEnded);
        delegate->checkForUpdates();
        EXPECT_TRUE(ended.count() > 0 || ended.wait(10000)) << "the check never ended";
        QString text;
        if (server.requests() > requestsBefore)
            text +=
                "request " + server.lastRequest().left(server.lastRequest().indexOf('\r')) + "\n";
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

    void serve(const QByteArray &body, const QByteArray &type = "text/xml", int status = 200) {
        server.reply(status, type, body);
    }
};

const std::string asked = "request GET /update-list.plist HTTP/1.1\n";
const std::string untouched = "menu Update not checked of 1 items\n";

// Each reply of the server, and the user's answers to the offers: the requests, alerts, opened
// addresses and the menu item of every check, in a snapshot.
TEST_F(UpdateCheck, EveryReplyEndsInItsOffersErrorsAndMenuState) {
    const struct {
        const char *name;
        QByteArray body;
        std::deque<int> answers = {};
    } cases[] = {
        {"a version differing only as text, ignored",
         plist(entry("Other", "9.9", site + "other.tar") +
               entry("Quorlan", "2.0", site + "q-2.0.tar"))},
        {"an older version, downloaded",
         plist(entry("Quorlan", "1.5", site + "q-1.5.tar")),
         {alertSecondButtonReturn}},
        {"the running version", plist(entry("Quorlan", "2.0.0", site + "q.tar"))},
        {"two entries in list order, the site after other text",
         plist(
             entry("Quorlan", "3.0", site + "q-3.0.tar") +
             entry("Quorlan", "1.0", "https://mirror.quorlan.example/get?from=" + site + "q-1.0")),
         {alertSecondButtonReturn, alertFirstButtonReturn}},
        {"no Quorlan entry", plist(entry("Other", "9.9", site + "other.tar"))},
        {"other site, plain http, not a valid address",
         plist(entry("Quorlan", "3.0", "https://elsewhere.example/q-3.0.tar") +
               entry("Quorlan", "3.1", "http://downloads.quorlan.example/quorlan/files/q") +
               entry("Quorlan", "3.2", site + "q 3.2.tar"))},
        {"an empty body", QByteArray()},
        {"not a property list", "not a property list"},
        {"a dictionary at the root",
         "<plist version=\"1.0\"><dict><key>AppName</key><string>Quorlan</string></dict></plist>"},
        {"an empty list", "<plist version=\"1.0\"><array/></plist>"},
        {"not a dictionary, no AppName, a number, another spelling: no Quorlan entry",
         plist("<string>Quorlan</string><dict><key>Version</key><string>9</string></dict>"
               "<dict><key>AppName</key><integer>7</integer></dict>" +
               entry("quorlan", "9", site + "a"))},
        {"an entry without Version and URL",
         plist("<dict><key>AppName</key><string>Quorlan</string></dict>")},
        {"a Version that is a number",
         plist(rawEntry("<string>Quorlan</string>", "<integer>3</integer>", site + "b"))},
        {"a URL that is not text",
         plist("<dict><key>AppName</key><string>Quorlan</string><key>Version</key>"
               "<string>3</string><key>URL</key><array/></dict>")},
        {"a URL that is not valid", plist(entry("Quorlan", "4", site + "%zz"))},
    };
    std::string outcomes;
    for (const auto &c : cases) {
        serve(c.body);
        alerts.answers = c.answers;
        outcomes += "== " + std::string(c.name) + "\n" + check();
    }
    // Only a 2xx status with text/xml or text/plain (parameters aside) is read.
    const std::pair<int, const char *> replies[] = {
        {200, "application/xml"}, {200, "text/html"}, {200, "Text/XML"},
        {200, nullptr},           {404, "text/xml"},  {500, "text/plain"},
        {200, "text/plain"},      {299, "text/xml"},  {203, "text/xml; charset=utf-8"}};
    for (const auto &[status, type] : replies) {
        serve(plist(entry("Quorlan", "3.0", site + "q.tar")), type, status);
        outcomes += "== " + std::to_string(status) + " " + (type ? type : "without a type") + "\n" +
                    check();
    }
    EXPECT_TRUE(quorlan::testing::matchesSnapshot(outcomes, "update-check-outcomes.txt"));
}

// An address that is not https is not asked; a refused connection, an oversized body and a
// server that never answers end silently.
TEST_F(UpdateCheck, FailedTransfersEndSilently) {
    EXPECT_EQ(check(QUrl("http://updates.quorlan.example/list.plist")), untouched);
    QUrl closedPort; // nothing listens on a port whose server has just closed
    {
        LoopbackHttpServer gone;
        closedPort = gone.url();
    }
    EXPECT_EQ(check(closedPort), untouched);
    limits.maxBodyBytes = 100;
    serve(plist(entry("Quorlan", "3.0", site + "q.tar")) + QByteArray(200, ' '));
    EXPECT_EQ(check(), asked + untouched);
    limits = {.timeout = std::chrono::milliseconds(300)};
    server.neverAnswer();
    EXPECT_EQ(check(), asked + untouched);
}

TEST_F(UpdateCheck, ADelegateGoneDuringTheDownloadIsNotCalledBack) {
    QCoreApplication::setApplicationVersion(runningVersion);
    server.neverAnswer();
    limits.timeout = std::chrono::milliseconds(200);
    {
        const auto delegate = makeDelegate(server.url());
        delegate->checkForUpdates();
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.requests() == 1; }));
    }
    QTest::qWait(400); // past the time-out: the reply ends with nobody to tell
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_EQ(statusItem->text(), updateNotCheckedTitle);
}

TEST_F(UpdateCheck, AServerWhoseCertificateIsNotTrustedIsNotBelieved) {
    const auto fixture = [](const char *name) {
        QFile file(QStringLiteral(QUORLAN_FIXTURES "/") + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(fixture("untrusted-localhost.crt")));
    tls.setPrivateKey(QSslKey(fixture("untrusted-localhost.key"), QSsl::Rsa));
    ASSERT_FALSE(tls.localCertificate().isNull() || tls.privateKey().isNull());
    LoopbackHttpServer selfSigned(tls);
    selfSigned.reply(200, "text/xml", plist(entry("Quorlan", "3.0", site + "q.tar")));
    EXPECT_EQ(check(selfSigned.url()), untouched) << "the list of an unverified server was read";
}

TEST_F(UpdateCheck, NoRunningVersionIsAnErrorWithoutARequest) {
    runningVersion.clear();
    serve(plist(entry("Quorlan", "3.0", site + "q.tar")));
    EXPECT_EQ(check(), "alert critical: An error occurred: | Can't check for updates:\\nNo app "
                       "version string found. | OK\n" +
                           untouched);
}

TEST_F(UpdateCheck, FirstLaunchStartsExactlyOneCheckAndStoresTheSchedule) {
    QCoreApplication::setApplicationVersion(runningVersion);
    serve(plist(entry("Quorlan", "2.0.0", site + "q.tar")));
    const auto delegate = makeDelegate(server.url());
    QSignalSpy ended(delegate.get(), &AppDelegate::updateCheckEnded);
    delegate->applicationDidFinishLaunching();
    delegate->applicationDidFinishLaunching(); // at once again: not due
    ASSERT_TRUE(ended.wait(10000));
    QTest::qWait(100);
    EXPECT_EQ(server.requests(), 1);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(statusItem->isChecked());
    const double now = QDateTime::currentSecsSinceEpoch() - 978307200.0;
    EXPECT_NEAR(restart()->doubleValue("dateLastUpdateCheck"), now, 60.0); // seconds since 2001
}

// The real dialog: buttons in the order given, Return and Escape choose the first.
TEST(QtAlerts, TheFirstButtonIsTheDefaultAndStandsFirst) {
    const Alert offer{"Title", "Detail", AlertStyle::Informational, {"Ignore", "Download"}};
    for (const auto key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_unknown}) {
        const auto box = QtAlerts::makeBox(offer);
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
