#include "app/Application.h"

#include "app/WindowMenus.h"
#include "bench/SysCalls.h"
#include "sysinfo/SystemProbe.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QTimer>

namespace quorlan {

Application::Application(SettingsStore &store)
    : probe_(systemProbe()),
      delegate_(store, UpdateServices{QUrl(QStringLiteral(QUORLAN_UPDATE_LIST_URL)),
                                      QStringLiteral(QUORLAN_DOWNLOAD_SITE_URL), &alerts_,
                                      &browser_, UpdateDownloadLimits{}}),
      window_(std::make_unique<ViewController>(
          ViewServices{store, panels_, systemCalls(), *probe_, standardSizes(),
                       [] { QTimer::singleShot(0, qApp, &QCoreApplication::quit); }, &alerts_})) {
    QObject::connect(window_->menus().openHelpAction(), &QAction::triggered, &delegate_,
                     &AppDelegate::openHelp);
    delegate_.setHelpMenu(window_->menus().helpMenu());
}

Application::~Application() = default;

void Application::start() {
    window_->show();
    QTimer::singleShot(0, &delegate_, &AppDelegate::applicationDidFinishLaunching);
}

void Application::describeToQt() {
    QApplication::setApplicationName("Quorlan");
    QApplication::setOrganizationName("Quorlan");
    QApplication::setApplicationVersion(QUORLAN_VERSION);
    QApplication::setDesktopFileName("example.quorlan.Quorlan");
    QApplication::setWindowIcon(QIcon(":/quorlan/quorlan.svg"));
    // Help windows must not keep the program alive once the main window has closed.
    QApplication::setQuitOnLastWindowClosed(false);
}

} // namespace quorlan
