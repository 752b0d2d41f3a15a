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
}

void LogView::appendText(const QString &text) {
    if (text.isEmpty())
        return;
    QScrollBar *bar = verticalScrollBar();
    const bool followEnd = bar->value() == bar->maximum();
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    cursor.insertText(text);
    cursor.endEditBlock();
    if (followEnd)
        bar->setValue(bar->maximum());
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
