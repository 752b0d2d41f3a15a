#include "app/WindowMenus.h"

#include "app/AboutBox.h"
#include "app/TestCommand.h"
#include "app/ViewController.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

namespace quorlan {

namespace {

QAction *item(QMenu *menu, const QString &title, const char *name) {
    QAction *action = menu->addAction(title);
    action->setObjectName(QLatin1String(name));
    return action;
}

QAction *command(QMenu *menu, const QString &title, const char *name, const QKeySequence &key,
                 ViewController &window, void (ViewController::*slot)()) {
    QAction *action = item(menu, title, name);
    action->setShortcut(key);
    QObject::connect(action, &QAction::triggered, &window, slot);
    return action;
}

} // namespace

WindowMenus::WindowMenus(QMenuBar &bar, ViewController &window) {
    buildFileMenu(bar, window);
    buildTestMenu(bar, window);
    buildViewAndHelpMenus(bar, window);
}

void WindowMenus::buildFileMenu(QMenuBar &bar, ViewController &window) {
    QMenu *fileMenu = bar.addMenu(ViewController::tr("&File"));
    saveLogAction_ = command(fileMenu, ViewController::tr("Save Log…"), "saveLogAction",
                             QKeySequence::Save, window, &ViewController::saveContents);
    saveChartAction_ = command(fileMenu, ViewController::tr("Save Chart…"), "saveChartAction",
                               QKeySequence(), window, &ViewController::saveChart);
    saveChartAction_->setEnabled(false);
    exportResultsAction_ =
        command(fileMenu, ViewController::tr("Export Results…"), "exportResultsAction",
                QKeySequence(), window, &ViewController::exportResults);
    exportResultsAction_->setEnabled(false);
    fileMenu->addSeparator();
    command(fileMenu, ViewController::tr("Compare With Results…"), "compareResultsAction",
                QKeySequence(), window, &ViewController::compareWithResults);
    clearComparisonAction_ =
        command(fileMenu, ViewController::tr("Clear Comparison"), "clearComparisonAction",
                QKeySequence(), window, &ViewController::clearComparison);
    clearComparisonAction_->setEnabled(false);
    fileMenu->addSeparator();
    QAction *closeAction = item(fileMenu, ViewController::tr("Close Window"), "closeAction");
    closeAction->setShortcut(QKeySequence::Close);
    QObject::connect(closeAction, &QAction::triggered, &window, &QWidget::close);
    QAction *quitAction = item(fileMenu, ViewController::tr("Quit"), "quitAction");
    // Ctrl+Q everywhere (Cmd+Q on macOS), also where the platform names no key for Quit, and from
    // any window of the program, a help window included.
    quitAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quitAction->setShortcutContext(Qt::ApplicationShortcut);
    quitAction->setMenuRole(QAction::QuitRole);
    QObject::connect(quitAction, &QAction::triggered, &window, &QWidget::close);
}

void WindowMenus::buildTestMenu(QMenuBar &bar, ViewController &window) {
    QMenu *testMenu = bar.addMenu(ViewController::tr("&Test"));
    for (const TestCommand &test : testCommands())
        testActions_.push_back(command(testMenu, test.title, test.actionName,
                                       QKeySequence(Qt::CTRL | test.key), window, test.slot));
    testMenu->addSeparator();
    cancelAction_ = command(testMenu, ViewController::tr("Cancel Test"), "cancelAction",
                            QKeySequence(Qt::Key_Escape), window, &ViewController::cancelTest);
    cancelAction_->setEnabled(false);
}

void WindowMenus::buildViewAndHelpMenus(QMenuBar &bar, ViewController &window) {
    QMenu *viewMenu = bar.addMenu(ViewController::tr("&View"));
    QAction *bigger = command(viewMenu, ViewController::tr("Bigger"), "incFontAction",
                              QKeySequence::ZoomIn, window, &ViewController::incFontSize);
    // Ctrl+= too: "+" is a shifted "=" on many keyboards.
    bigger->setShortcuts(bigger->shortcuts() << QKeySequence(Qt::CTRL | Qt::Key_Equal));
    command(viewMenu, ViewController::tr("Smaller"), "decFontAction", QKeySequence::ZoomOut, window,
            &ViewController::decFontSize);

    helpMenu_ = bar.addMenu(ViewController::tr("&Help"));
    helpMenu_->setObjectName("helpMenu");
    openHelpAction_ = item(helpMenu_, ViewController::tr("Quorlan Help"), "openHelpAction");
    openHelpAction_->setShortcut(QKeySequence::HelpContents);
    helpMenu_->addSeparator();
    QAction *updateStatus =
        item(helpMenu_, ViewController::tr("Update not checked"), "updateStatusAction");
    updateStatus->setEnabled(false);
    helpMenu_->addSeparator();
    QAction *about = item(helpMenu_, ViewController::tr("About Quorlan"), "aboutAction");
    about->setMenuRole(QAction::AboutRole);
    QObject::connect(about, &QAction::triggered, &window, [&window] { openAboutBox(window); });
}

void WindowMenus::showRunning(bool running, bool cancellable) {
    for (QAction *test : testActions_)
        test->setEnabled(!running);
    saveLogAction_->setEnabled(!running);
    cancelAction_->setEnabled(running && cancellable);
}

void WindowMenus::enableSaving(bool chart, bool results) {
    saveChartAction_->setEnabled(chart);
    exportResultsAction_->setEnabled(results);
}

void WindowMenus::enableClearComparison(bool loaded) {
    clearComparisonAction_->setEnabled(loaded);
}

} // namespace quorlan
