// Draws the pictures of the window in the README and the user guide: runs a mixed test of a few
// small files into a folder and saves the window as a PNG once the test has ended.
// Usage: window-screenshot FOLDER OUTPUT.png [--dark | --running | --chart | --help | --update]
// --running saves the window while the test runs, with its progress area; --chart saves it with
// the Chart tab in front after the test; --help saves a help window instead; --update saves the
// alert that offers a listed version, as the update check shows it.
#include "app/Alerts.h"
#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/DesktopBrowser.h"
#include "app/FilePanels.h"
#include "app/HelpWindow.h"
#include "app/QtAlerts.h"
#include "app/ViewController.h"
#include "appcore/SettingsStore.h"
#include "bench/SysCalls.h"
#include "sysinfo/SystemProbe.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QPalette>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// Answers every panel with the folder given on the command line.
class FolderPanels final : public quorlan::FilePanels {
public:
    explicit FolderPanels(QString folder) : folder_(std::move(folder)) {}
    void begin(const quorlan::FilePanelRequest &, QWidget *,
               quorlan::FilePanelCompletion done) override {
        done(quorlan::panelOKResponse, folder_);
    }

private:
    QString folder_;
};

QPalette darkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(45, 45, 48));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::Base, QColor(30, 30, 32));
    p.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    p.setColor(QPalette::PlaceholderText, QColor(140, 140, 140));
    p.setColor(QPalette::Button, QColor(58, 58, 62));
    p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    p.setColor(QPalette::Highlight, QColor(42, 110, 190));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(130, 130, 130));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(130, 130, 130));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(130, 130, 130));
    return p;
}

// Shows each alert without blocking, saves the first one's picture and answers "Ignore".
class PictureAlerts final : public quorlan::Alerts {
public:
    explicit PictureAlerts(QString output) : output_(std::move(output)) {}
    int runModal(const quorlan::Alert &alert) override {
        const auto box = quorlan::QtAlerts::makeBox(alert);
        box->show();
        QEventLoop settle;
        QTimer::singleShot(300, &settle, &QEventLoop::quit);
        settle.exec();
        if (!saved)
            saved = box->grab().save(output_);
        return quorlan::alertFirstButtonReturn;
    }
    bool saved = false;

private:
    QString output_;
};

// The offer of a listed version 0.2.0 to this build, from a list read as the update check reads it.
int saveUpdateOffer(quorlan::SettingsStore &store, const QString &output) {
    PictureAlerts alerts(output);
    quorlan::DesktopBrowser browser;
    const QString site = QStringLiteral("https://downloads.quorlan.example/quorlan/files/");
    quorlan::AppDelegate delegate(store, {QUrl(), site, &alerts, &browser, {}});
    delegate.processUpdateList("<plist version=\"1.0\"><array><dict>"
                               "<key>AppName</key><string>Quorlan</string>"
                               "<key>Version</key><string>0.2.0</string>"
                               "<key>URL</key><string>" +
                                   site.toUtf8() +
                                   "0.2.0/</string>"
                                   "</dict></array></plist>",
                               QStringLiteral(QUORLAN_VERSION));
    return alerts.saved ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    QApplication qt(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: window-screenshot FOLDER OUTPUT.png "
                             "[--dark | --running | --chart | --help | --update]\n");
        return 2;
    }
    quorlan::Application::describeToQt();
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    const QString mode = argc > 3 ? QString(argv[3]) : QString();
    if (mode == "--dark")
        QApplication::setPalette(darkPalette());

    if (mode == "--help") {
        quorlan::HelpWindow help;
        help.show();
        QTimer::singleShot(300, [&] { QApplication::exit(help.grab().save(argv[2]) ? 0 : 1); });
        return QApplication::exec();
    }

    QTemporaryDir settings;
    quorlan::SettingsStore store(settings.filePath("quorlan.ini"));
    if (mode == "--update")
        return saveUpdateOffer(store, QString::fromLocal8Bit(argv[2]));
    FolderPanels panels(QString::fromLocal8Bit(argv[1]));
    const auto probe = quorlan::systemProbe();
    quorlan::ViewController window(
        quorlan::ViewServices{store,
                              panels,
                              quorlan::systemCalls(),
                              *probe,
                              {1000000, 2000000, 4000000, 8000000, 16000000, 32000000},
                              [] {}});
    window.resize(1180, 760);
    window.show();
    auto *repeats = window.findChild<QLineEdit *>("repeatsTextbox");
    repeats->setText("2");
    window.findChild<QCheckBox *>("isVerboseCheckbox")->setChecked(true);
    const QString output = QString::fromLocal8Bit(argv[2]);
    const auto saveAndQuit = [&] {
        const bool saved = window.grab().save(output);
        QApplication::exit(saved ? 0 : 1);
    };
    if (mode == "--running") {
        window.findChild<QCheckBox *>("noCacheCheckbox")->setChecked(true);
        repeats->setText("50");
        QObject::connect(&window, &quorlan::ViewController::runStarted,
                         [&] { QTimer::singleShot(1500, saveAndQuit); });
    } else if (mode == "--chart") {
        QObject::connect(&window, &quorlan::ViewController::runFinished, [&] {
            window.findChild<QTabWidget *>("mainTabs")
                ->setCurrentWidget(window.findChild<QWidget *>("chartTab"));
            QTimer::singleShot(300, saveAndQuit);
        });
    } else {
        QObject::connect(&window, &quorlan::ViewController::runFinished,
                         [&] { QTimer::singleShot(300, saveAndQuit); });
    }
    QTimer::singleShot(200, &window, &quorlan::ViewController::runMixedTest);
    return QApplication::exec();
}
