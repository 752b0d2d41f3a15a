#include "app/HelpWindow.h"

#include <QAction>
#include <QFile>
#include <QKeySequence>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

namespace quorlan {

namespace {

// The help page is a few kilobytes; anything far larger is not ours.
constexpr qint64 maxHelpBytes = 4 * 1024 * 1024;

const char *const fallbackText = "The help text of Quorlan could not be loaded.\n\n"
                                 "Quorlan writes and reads test files and times every file "
                                 "operation. The menus and the control panel of the main window "
                                 "run the tests; the log shows the results.";

} // namespace

HelpWindow::HelpWindow(const QString &resourcePath, QWidget *parent) : QWidget(parent) {
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Quorlan Help"));
    resize(640, 720);

    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    browser_->setReadOnly(true);
    browser_->setOpenExternalLinks(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);

    // The browser loads the page itself, so its anchors and relative links resolve against it.
    QFile file(resourcePath);
    if (file.open(QIODevice::ReadOnly) && file.size() > 0 && file.size() <= maxHelpBytes) {
        file.close();
        const QUrl source = resourcePath.startsWith(QLatin1Char(':'))
                                ? QUrl(QStringLiteral("qrc") + resourcePath)
                                : QUrl::fromLocalFile(resourcePath);
        browser_->setSource(source, QTextDocument::HtmlResource);
        showsHelp_ = !browser_->document()->isEmpty();
    }
    if (!showsHelp_)
        browser_->setPlainText(QString::fromUtf8(fallbackText));

    auto *closeAction = new QAction(this);
    closeAction->setShortcuts(QKeySequence::Close);
    closeAction->setShortcutContext(Qt::WindowShortcut);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    addAction(closeAction);
}

QString HelpWindow::shownText() const {
    return browser_->toPlainText();
}

} // namespace quorlan
