#include "app/AppDelegate.h"

#include "app/Alerts.h"
#include "app/Browser.h"
#include "app/HelpWindow.h"
#include "appcore/SettingsStore.h"
#include "appcore/UpdateList.h"
#include "appcore/UpdateSchedule.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QMenu>
#include <QNetworkAccessManager>

namespace quorlan {

namespace {

bool isAcceptedResponse(const UpdateDownloadOutcome &outcome) {
    if (outcome.error || !outcome.response)
        return false;
    const UpdateResponse &response = *outcome.response;
    if (response.statusCode < 200 || response.statusCode >= 300 || !response.mimeType)
        return false;
    return *response.mimeType == QLatin1String("text/xml") ||
           *response.mimeType == QLatin1String("text/plain");
}

} // namespace

AppDelegate::AppDelegate(SettingsStore &store, UpdateServices updates, QObject *parent)
    : QObject(parent), store_(store), updates_(std::move(updates)) {}

// The network manager goes with the delegate and takes a running download with it, without
// completing it: quitting during a check calls nothing back.
AppDelegate::~AppDelegate() = default;

void AppDelegate::applicationDidFinishLaunching() {
    checkForUpdatesIfDue();
}

void AppDelegate::checkForUpdatesIfDue() {
    quorlan::checkForUpdatesIfDue(
        store_, [] { return secondsSinceReferenceDate(QDateTime::currentDateTimeUtc()); },
        [this] { checkForUpdates(); });
}

void AppDelegate::checkForUpdates() {
    // Without an application object there is nothing that describes this program.
    if (!QCoreApplication::instance()) {
        emit updateCheckEnded();
        return;
    }
    // Read afresh by every check.
    const QString runningVersion = QCoreApplication::applicationVersion();
    if (runningVersion.isEmpty()) {
        showUpdateError(QStringLiteral("Can't check for updates:\nNo app version string found."));
        emit updateCheckEnded();
        return;
    }
    if (!updates_.alerts || !updates_.browser || !isAllowedUpdateAddress(updates_.listAddress)) {
        emit updateCheckEnded();
        return;
    }
    if (!network_)
        network_ = std::make_unique<QNetworkAccessManager>();
    downloadUpdateList(*network_, updates_.listAddress, updates_.limits,
                       [this, runningVersion](const UpdateDownloadOutcome &outcome) {
                           updateListReceived(outcome, runningVersion);
                       });
}

void AppDelegate::updateListReceived(const UpdateDownloadOutcome &outcome,
                                     const QString &runningVersion) {
    if (!isAcceptedResponse(outcome)) {
        emit updateCheckEnded();
        return;
    }
    const QByteArray body = outcome.body.value_or(QByteArray());
    QMetaObject::invokeMethod(
        this,
        [this, body, runningVersion] {
            processUpdateList(body, runningVersion);
            emit updateCheckEnded();
        },
        Qt::QueuedConnection);
}

void AppDelegate::processUpdateList(const QByteArray &body, const QString &runningVersion) {
    const UpdateList list = readUpdateList(body, runningVersion, updates_.downloadSite);
    if (list.error) {
        showUpdateError(*list.error);
        return;
    }
    for (const UpdateListEntry &entry : list.entries) {
        markHelpMenu();
        if (entry.offered)
            offerUpdate(entry.version, entry.url, runningVersion);
    }
}

void AppDelegate::markHelpMenu() {
    if (!helpMenu_)
        return;
    for (QAction *item : helpMenu_->actions()) {
        if (item->text() == QLatin1String(updateNotCheckedTitle)) {
            item->setCheckable(true);
            item->setChecked(true);
            item->setText(QString::fromLatin1(checkedForUpdateTitle));
            return;
        }
    }
}

void AppDelegate::offerUpdate(const QString &listedVersion, const QString &url,
                              const QString &runningVersion) {
    if (!updates_.alerts)
        return;
    Alert offer;
    offer.style = AlertStyle::Informational;
    offer.messageText = "An update to this app to version " + listedVersion + " is available.";
    offer.informativeText = "You are currently running Quorlan version " + runningVersion +
                            ".\nPlease choose whether to download this update now in your "
                            "default browser.";
    offer.buttons = {QStringLiteral("Ignore"), QStringLiteral("Download")};
    if (updates_.alerts->runModal(offer) == alertSecondButtonReturn && updates_.browser)
        updates_.browser->openURL(QUrl(url, QUrl::StrictMode));
}

void AppDelegate::showUpdateError(const QString &message) {
    if (!updates_.alerts)
        return;
    updates_.alerts->runModal(
        Alert{QStringLiteral("An error occurred:"), message, AlertStyle::Critical, {"OK"}});
}

void AppDelegate::openHelp() {
    auto window = std::make_unique<HelpWindow>();
    window->show();
    window->raise();
    window->activateWindow();
    myHelpWindow.push_back(std::move(window));
}

} // namespace quorlan
