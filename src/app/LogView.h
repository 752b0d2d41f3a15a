#pragma once

#include <QPlainTextEdit>

namespace quorlan {

// The output log: read-only, fixed-pitch, only ever grows. Text carries no colour of its own,
// so it is drawn in the palette's text colour and follows a change between light and dark.
class LogView final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit LogView(QWidget *parent = nullptr);

    // Appends text at the end in one edit block. The view follows the end while the reader is
    // at it: whatever changes the view's height or the text's length, a reader who was at the end
    // stays there, and a reader who scrolled up is left where they are.
    void appendText(const QString &text);
    bool followsEnd() const { return following_; }

    // The system's fixed-pitch font at the given size in points, for all text already in the
    // log and all text appended later. A size stored from outside may be absurd: the font is
    // drawn at most maxDrawnFontSize points (and at least 1), whatever the size asked for.
    static constexpr double maxDrawnFontSize = 288.0;
    void setLogFontSize(double points);
    double logFontSize() const;

    // The whole text exactly as appended: line feeds as "\n", no character replaced.
    QString logText() const;

private:
    // The reader's choice, kept apart from the scroll bar: a change of height moves the end away
    // from the bar's value without the reader doing anything.
    bool following_ = true;
    bool pinning_ = false; // the view itself is moving the bar to the end
    void pinToEnd();
};

} // namespace quorlan
