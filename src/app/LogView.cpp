#include "app/LogView.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace quorlan {

LogView::LogView(QWidget *parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLogFontSize(12.0);
    setPlaceholderText(tr("Choose a test in the Test menu or with the buttons beside this log; "
                          "its results appear here."));
    QScrollBar *bar = verticalScrollBar();
    // Only a value the reader chose says where they want to be; a new range keeps the end in
    // view for a reader who was at it.
    connect(bar, &QScrollBar::valueChanged, this, [this, bar](int value) {
        if (!pinning_)
            following_ = value == bar->maximum();
    });
    connect(bar, &QScrollBar::rangeChanged, this, [this] {
        if (following_)
            pinToEnd();
    });
}

void LogView::pinToEnd() {
    pinning_ = true;
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    pinning_ = false;
}

void LogView::appendText(const QString &text) {
    if (text.isEmpty())
        return;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    cursor.insertText(text);
    cursor.endEditBlock();
    if (following_)
        pinToEnd();
}

void LogView::setLogFontSize(double points) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(std::clamp(points, 1.0, maxDrawnFontSize));
    setFont(font);
    document()->setDefaultFont(font);
}

double LogView::logFontSize() const {
    return document()->defaultFont().pointSizeF();
}

QString LogView::logText() const {
    QString text = document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

} // namespace quorlan
