#include "app/AppDelegate.h"
#include "app/Browser.h"
#include "app/QtAlerts.h"
#include "appcore/UpdateList.h"

#include "../appcore/SettingsFile.h"
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

struct Entry {
    QString appName;
    QString version;
    QString url;
};

QByteArray listOf(const std::vector<Entry> &entries) {
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><array>";
    for (const Entry &e : entries) {
        xml += "<dict><key>AppName</key><string>" + e.appName.toUtf8() + "</string>";
        xml += "<key>Version</key><string>" + e.version.toUtf8() + "</string>";
        xml += "<key>URL</key><string>" + e.url.toUtf8() + "</string></dict>";
    }
    return xml + "</array></plist>\n";
}

QString offerTitle(const QString &version) {
    return "An update to this app to version " + version + " is available.";
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

    void SetUp() override {
        ASSERT_TRUE(server.listening());
        statusItem->setEnabled(false);
    }
    void TearDown() override { QCoreApplication::setApplicationVersion(QUORLAN_VERSION); }

    std::unique_ptr<AppDelegate> makeDelegate(const QUrl &address) {
        auto delegate = std::make_unique<AppDelegate>(
            *store, UpdateServices{address, site, &alerts, &browser, limits});
        delegate->setHelpMenu(&helpMenu);
        return delegate;
    }

    // Runs one whole check against the server, or against address when given.
    void check(const QUrl &address = QUrl()) {
        QCoreApplication::setApplicationVersion(runningVersion);
        const auto delegate = makeDelegate(address.isEmpty() ? server.url() : address);
        QSignalSpy ended(delegate.get(), &AppDelegate::updateCheckEnded);
        delegate->checkForUpdates();
        ASSERT_TRUE(ended.count() > 0 || ended.wait(10000)) << "the check never ended";
    }

    void serve(const QByteArray &body, const QByteArray &type = "text/xml", int status = 200) {
        server.reply(status, type, body);
    }

    bool menuMarked() const {
        return statusItem->text() == QLatin1String("Checked for update") && statusItem->isChecked();
    }
    bool menuUntouched() const {
        return statusItem->text() == QLatin1String("Update not checked") &&
               !statusItem->isChecked();
    }
};

TEST_F(UpdateCheck, OffersAVersionThatDiffersOnlyAsTextWithTheExactTexts) {
    serve(listOf({{"Other", "9.9", site + "other.tar"}, {"Quorlan", "2.0", site + "q-2.0.tar"}}));
    check();
    ASSERT_EQ(alerts.shown.size(), 1u);
    const Alert &offer = alerts.shown[0];
    EXPECT_EQ(offer.messageText, "An update to this app to version 2.0 is available.");
    EXPECT_EQ(offer.informativeText,
              "You are currently running Quorlan version 2.0.0.\nPlease choose whether to "
              "download this update now in your default browser.");
    EXPECT_EQ(offer.style, AlertStyle::Informational);
    EXPECT_EQ(offer.buttons, QStringList({"Ignore", "Download"}));
    EXPECT_TRUE(browser.opened.empty()) << "Ignore (the first button) opens nothing";
    EXPECT_TRUE(menuMarked());
    EXPECT_TRUE(server.lastRequest().startsWith("GET /update-list.plist HTTP/1.1\r\n"));
}

TEST_F(UpdateCheck, AnOlderVersionIsOfferedAndDownloadOpensItsAddress) {
    serve(listOf({{"Quorlan", "1.5", site + "q-1.5.tar"}}));
    alerts.answers = {alertSecondButtonReturn};
    check();
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].messageText, offerTitle("1.5"));
    ASSERT_EQ(browser.opened.size(), 1u);
    EXPECT_EQ(browser.opened[0].toString(), site + "q-1.5.tar");
}

TEST_F(UpdateCheck, TheRunningVersionMarksTheMenuWithoutAnAlert) {
    serve(listOf({{"Quorlan", "2.0.0", site + "q.tar"}}));
    check();
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_TRUE(menuMarked());
    EXPECT_EQ(helpMenu.actions().size(), 1) << "the item is renamed, not added";
}

TEST_F(UpdateCheck, TwoEntriesGiveTwoOffersInListOrder) {
    serve(
        listOf({{"Quorlan", "3.0", site + "q-3.0.tar"},
                {"Quorlan", "1.0", "https://mirror.quorlan.example/get?from=" + site + "q-1.0"}}));
    alerts.answers = {alertSecondButtonReturn, alertFirstButtonReturn};
    check();
    ASSERT_EQ(alerts.shown.size(), 2u);
    EXPECT_EQ(alerts.shown[0].messageText, offerTitle("3.0"));
    EXPECT_EQ(alerts.shown[1].messageText, offerTitle("1.0"))
        << "the download site may stand after other text in the address";
    ASSERT_EQ(browser.opened.size(), 1u);
    EXPECT_EQ(browser.opened[0].toString(), site + "q-3.0.tar");
    EXPECT_TRUE(menuMarked());
}

TEST_F(UpdateCheck, AListWithoutQuorlanLeavesTheMenuAsItWas) {
    serve(listOf({{"Other", "9.9", site + "other.tar"}}));
    check();
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_TRUE(menuUntouched());
}

TEST_F(UpdateCheck, AnAddressOutsideTheDownloadSiteIsNotOffered) {
    serve(listOf({{"Quorlan", "3.0", "https://elsewhere.example/q-3.0.tar"},
                  {"Quorlan", "3.1", "http://downloads.quorlan.example/quorlan/files/q"},
                  {"Quorlan", "3.2", site + "q 3.2.tar"}}));
    check();
    EXPECT_TRUE(alerts.shown.empty()) << "other site, plain http, not a valid address";
    EXPECT_TRUE(menuMarked());
}

TEST_F(UpdateCheck, OnlyTheTwoTextTypesWithA2xxStatusAreRead) {
    const QByteArray list = listOf({{"Quorlan", "3.0", site + "q.tar"}});
    struct Case {
        int status;
        QByteArray type;
        bool read;
    };
    const Case cases[] = {
        {200, "application/xml", false},
        {200, "text/html", false},
        {200, "Text/XML", false},
        {200, QByteArray(), false},
        {404, "text/xml", false},
        {500, "text/plain", false},
        {200, "text/plain", true},
        {299, "text/xml", true},
        {203, "text/xml; charset=utf-8", true},
    };
    for (const Case &c : cases) {
        alerts.shown.clear();
        serve(list, c.type, c.status);
        check();
        EXPECT_EQ(alerts.shown.size(), c.read ? 1u : 0u) << c.status << " " << c.type.data();
    }
    EXPECT_EQ(server.requests(), static_cast<int>(std::size(cases)));
}

TEST_F(UpdateCheck, UnusableListsAreReportedAsCriticalAlerts) {
    struct Case {
        QByteArray body;
        const char *message;
    };
    const Case cases[] = {
        {QByteArray(), "Error in update Property List."},
        {"not a property list", "Error in update Property List."},
        {"<plist version=\"1.0\"><dict><key>AppName</key><string>Quorlan</string></dict></plist>",
         "Error in update Property List."},
        {"<plist version=\"1.0\"><array/></plist>", "Update Property List has no entries."},
    };
    for (const Case &c : cases) {
        alerts.shown.clear();
        serve(c.body, "text/plain");
        check();
        ASSERT_EQ(alerts.shown.size(), 1u) << c.body.data();
        const Alert &error = alerts.shown[0];
        EXPECT_EQ(error.messageText, "An error occurred:");
        EXPECT_EQ(error.informativeText, c.message);
        EXPECT_EQ(error.style, AlertStyle::Critical);
        EXPECT_EQ(error.buttons, QStringList({"OK"}));
    }
    EXPECT_TRUE(menuUntouched());
}

TEST_F(UpdateCheck, FailedTransfersEndSilently) {
    const QByteArray list = listOf({{"Quorlan", "3.0", site + "q.tar"}});
    // Nothing listens on a port whose server has just closed.
    QUrl closedPort;
    {
        LoopbackHttpServer gone;
        closedPort = gone.url();
    }
    check(closedPort);

    limits.maxBodyBytes = 100;
    serve(list + QByteArray(200, ' '));
    check();

    limits = {};
    limits.timeout = std::chrono::milliseconds(300);
    server.neverAnswer();
    check();
    EXPECT_EQ(server.requests(), 2);

    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_TRUE(browser.opened.empty());
    EXPECT_TRUE(menuUntouched());
}

TEST_F(UpdateCheck, ADelegateGoneDuringTheDownloadIsNotCalledBack) {
    QCoreApplication::setApplicationVersion(runningVersion);
    server.neverAnswer();
    limits.timeout = std::chrono::milliseconds(200);
    {
        const auto delegate = makeDelegate(server.url());
        delegate->checkForUpdates();
        QTRY_COMPARE(server.requests(), 1);
    }
    QTest::qWait(400); // past the time-out: the reply ends with nobody to tell
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_TRUE(menuUntouched());
}

TEST_F(UpdateCheck, AServerWhoseCertificateIsNotTrustedIsNotBelieved) {
    const auto fixture = [](const char *name) {
        QFile file(QStringLiteral(QUORLAN_FIXTURES "/") + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(QSslCertificate(fixture("untrusted-localhost.crt")));
    tls.setPrivateKey(QSslKey(fixture("untrusted-localhost.key"), QSsl::Rsa));
    ASSERT_FALSE(tls.localCertificate().isNull());
    ASSERT_FALSE(tls.privateKey().isNull());
    LoopbackHttpServer selfSigned(tls);
    ASSERT_TRUE(selfSigned.listening());
    selfSigned.reply(200, "text/xml", listOf({{"Quorlan", "3.0", site + "q.tar"}}));
    check(selfSigned.url());
    EXPECT_EQ(selfSigned.url().scheme(), "https");
    EXPECT_TRUE(alerts.shown.empty()) << "the list of an unverified server was read";
    EXPECT_TRUE(menuUntouched());
}

TEST_F(UpdateCheck, NoRunningVersionIsAnErrorWithoutARequest) {
    runningVersion.clear();
    serve(listOf({{"Quorlan", "3.0", site + "q.tar"}}));
    check();
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].informativeText,
              "Can't check for updates:\nNo app version string found.");
    EXPECT_EQ(server.requests(), 0);
}

TEST_F(UpdateCheck, OnlyHttpsOrALoopbackHostIsAsked) {
    check(QUrl("http://updates.quorlan.example/list.plist"));
    EXPECT_EQ(server.requests(), 0);
    EXPECT_TRUE(isAllowedUpdateAddress(QUrl("https://updates.quorlan.example/list.plist")));
    EXPECT_TRUE(isAllowedUpdateAddress(QUrl("http://localhost:8080/list.plist")));
    EXPECT_TRUE(isAllowedUpdateAddress(QUrl("http://[::1]:8080/list.plist")));
    EXPECT_FALSE(isAllowedUpdateAddress(QUrl("ftp://updates.quorlan.example/list.plist")));
    EXPECT_FALSE(isAllowedUpdateAddress(QUrl("http://127.0.0.1.example/list.plist")));
    EXPECT_FALSE(isAllowedUpdateAddress(QUrl()));
}

TEST_F(UpdateCheck, FirstLaunchStartsExactlyOneCheckAndStoresTheSchedule) {
    QCoreApplication::setApplicationVersion(runningVersion);
    serve(listOf({{"Quorlan", "2.0.0", site + "q.tar"}}));
    const auto delegate = makeDelegate(server.url());
    QSignalSpy ended(delegate.get(), &AppDelegate::updateCheckEnded);
    delegate->applicationDidFinishLaunching();
    delegate->applicationDidFinishLaunching(); // at once again: not due
    ASSERT_TRUE(ended.wait(10000));
    QTest::qWait(100);
    EXPECT_EQ(server.requests(), 1);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(menuMarked());

    const auto reopened = restart();
    EXPECT_TRUE(reopened->contains("noUpdateCheck"));
    EXPECT_FALSE(reopened->boolean("noUpdateCheck"));
    EXPECT_EQ(reopened->doubleValue("updateCheckInt"), 43200.0);
    const double now = QDateTime::currentSecsSinceEpoch() - 978307200.0;
    EXPECT_NEAR(reopened->doubleValue("dateLastUpdateCheck"), now, 60.0);
}

// The list's own rules, without a server.
TEST(UpdateList, OddElementsAndEntriesAreSkippedOrFoundWithoutAnOffer) {
    const QByteArray body = R"(<plist version="1.0"><array>
        <string>Quorlan</string>
        <dict><key>Version</key><string>9</string></dict>
        <dict><key>AppName</key><integer>7</integer></dict>
        <dict><key>AppName</key><string>quorlan</string><key>Version</key><string>9</string>
              <key>URL</key><string>https://downloads.quorlan.example/quorlan/files/a</string></dict>
        <dict><key>AppName</key><string>Quorlan</string></dict>
        <dict><key>AppName</key><string>Quorlan</string><key>Version</key><integer>3</integer>
              <key>URL</key><string>https://downloads.quorlan.example/quorlan/files/b</string></dict>
        <dict><key>AppName</key><string>Quorlan</string><key>Version</key><string>3</string>
              <key>URL</key><array/></dict>
        <dict><key>AppName</key><string>Quorlan</string><key>Version</key><string>4</string>
              <key>URL</key><string>https://downloads.quorlan.example/quorlan/files/%zz</string></dict>
        <dict><key>AppName</key><string>Quorlan</string><key>Version</key><string>5</string>
              <key>URL</key><string>https://downloads.quorlan.example/quorlan/files/c</string></dict>
    </array></plist>)";
    const UpdateList list = readUpdateList(body, "1.0", site);
    ASSERT_FALSE(list.error);
    // Not a dictionary, no AppName, a number, another spelling: four elements skipped.
    ASSERT_EQ(list.entries.size(), 5u);
    EXPECT_FALSE(list.entries[0].offered) << "no Version and no URL";
    EXPECT_FALSE(list.entries[1].offered) << "Version is a number";
    EXPECT_FALSE(list.entries[2].offered) << "URL is not text";
    EXPECT_FALSE(list.entries[3].offered) << "URL is not a valid address";
    EXPECT_TRUE(list.entries[4].offered);
    EXPECT_EQ(list.entries[4].version, "5");
    EXPECT_FALSE(readUpdateList(body, "1.0", QString()).entries[4].offered)
        << "an empty download site matches nothing";
}

TEST(UpdateResponse, TheMimeTypeIsTheTextBeforeItsParameters) {
    EXPECT_EQ(bareMimeType("text/xml"), "text/xml");
    EXPECT_EQ(bareMimeType("text/plain; charset=utf-8"), "text/plain");
    EXPECT_EQ(bareMimeType(" Text/XML ;x"), "Text/XML");
    EXPECT_EQ(bareMimeType(""), "");
    EXPECT_FALSE(bareMimeType(QByteArray()));
}

// The real dialog: buttons in the order given, Return and Escape choose the first.
TEST(QtAlerts, TheFirstButtonIsTheDefaultAndStandsFirst) {
    const Alert offer{"Title", "Detail", AlertStyle::Informational, {"Ignore", "Download"}};
    for (const auto key : {Qt::Key_Return, Qt::Key_Escape}) {
        const auto box = QtAlerts::makeBox(offer);
        box->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
        const QList<QAbstractButton *> buttons = box->buttons();
        ASSERT_EQ(buttons.size(), 2);
        EXPECT_EQ(buttons[0]->text(), "Ignore");
        EXPECT_LT(buttons[0]->mapToGlobal(QPoint()).x(), buttons[1]->mapToGlobal(QPoint()).x());
        EXPECT_EQ(box->defaultButton(), buttons[0]);
        QTest::keyClick(box.get(), key);
        EXPECT_EQ(QtAlerts::answerOf(*box), alertFirstButtonReturn) << key;
    }
    const auto box = QtAlerts::makeBox(offer);
    box->show();
    QTest::mouseClick(box->buttons()[1], Qt::LeftButton);
    EXPECT_EQ(QtAlerts::answerOf(*box), alertSecondButtonReturn);

    const auto error = QtAlerts::makeBox({"An error occurred:", "x", AlertStyle::Critical, {"OK"}});
    EXPECT_EQ(error->icon(), QMessageBox::Critical);
    EXPECT_EQ(error->informativeText(), "x");
}

} // namespace
} // namespace quorlan
