#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace quorlan {

// The help window: a top-level window titled "Quorlan Help" that shows the help text, an HTML
// resource, in a read-only browser. Links to other sites open in the user's web browser. When
// the resource cannot be read, the window shows a short plain text that says so instead.
// Ctrl+W closes the window. Each window is independent; whoever opens one owns it.
class HelpWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr const char *defaultResource = ":/quorlan/help.html";

    explicit HelpWindow(QWidget *parent = nullptr) : HelpWindow(defaultResource, parent) {}
    // resourcePath is the help text to show (tests name a missing one to see the fallback).
    explicit HelpWindow(const QString &resourcePath, QWidget *parent = nullptr);

    // The text the browser shows, as plain text.
    QString shownText() const;
    // Whether the help resource was read; false when the fallback text is shown.
    bool showsHelp() const { return showsHelp_; }

private:
    QTextBrowser *browser_ = nullptr;
    bool showsHelp_ = false;
};

} // namespace quorlan
