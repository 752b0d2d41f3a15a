#pragma once

#include "app/UpdateDownload.h"

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <memory>
#include <vector>

class QNetworkAccessManager;

namespace quorlan {

class Alerts;
class Browser;
class HelpWindow;
class SettingsStore;

// Where the update check looks and how it talks to the user. Without alerts, browser or a
// permitted list address no check is made. Neither interface is owned.
struct UpdateServices {
    QUrl listAddress;     // the update list: https (plain http only to a loopback host)
    QString downloadSite; // an entry's URL is offered only if it contains this address
    Alerts *alerts = nullptr;
    Browser *browser = nullptr;
    UpdateDownloadLimits limits;
};

// The Help menu item's texts before and after a check found this application's entry.
inline constexpr const char *updateNotCheckedTitle = "Update not checked";
inline constexpr const char *checkedForUpdateTitle = "Checked for update";

// The application's own side: the update schedule and check at launch, and the help windows.
class AppDelegate final : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(SettingsStore &store, UpdateServices updates = {},
                         QObject *parent = nullptr);
    ~AppDelegate() override;

    // The menu whose "Update not checked" item a check marks; not owned, may be absent.
    void setHelpMenu(QMenu *menu) { helpMenu_ = menu; }

    // Every help window opened so far, in order; closing one hides it and keeps it here until
    // the application quits.
    std::vector<std::unique_ptr<HelpWindow>> myHelpWindow;

    // The download's completion: stops silently unless the server answered 200 to 299 with the
    // MIME type "text/xml" or "text/plain" exactly; otherwise hands the body and the version on
    // to processUpdateList through the event loop.
    void updateListReceived(const UpdateDownloadOutcome &outcome, const QString &runningVersion);
    // Reads the list, marks the Help menu once this application's entry is found, and offers
    // each listed version that differs from the running one, in list order. An empty body is
    // taken as a list that does not parse.
    void processUpdateList(const QByteArray &body, const QString &runningVersion);
    // A critical alert "An error occurred:" with the message and one button "OK".
    void showUpdateError(const QString &message);

signals:
    // A check has ended: silently, after its alerts, or without a request.
    void updateCheckEnded();

public slots:
    void applicationDidFinishLaunching();
    void checkForUpdatesIfDue();
    // Starts a download of the update list with the running version and returns at once.
    void checkForUpdates();
    void applicationWillTerminate() {}
    // Opens a new help window each time, even when one is already open.
    void openHelp();

private:
    void markHelpMenu();
    void offerUpdate(const QString &listedVersion, const QString &url,
                     const QString &runningVersion);

    SettingsStore &store_;
    UpdateServices updates_;
    QPointer<QMenu> helpMenu_;
    std::unique_ptr<QNetworkAccessManager> network_;
};

} // namespace quorlan
