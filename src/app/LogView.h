#pragma once

#include <QPlainTextEdit>

namespace quorlan {

// The output log: read-only, fixed-pitch, only ever grows. Text carries no colour of its own,
// so it is drawn in the palette's text colour and follows a change between light and dark.
class LogView final : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit LogView(QWidget *parent = nullptr);

    // Appends text at the end in one edit block. The view keeps following the end while it is
    // scrolled to the bottom; a reader who scrolled up is left where they are.
    void appendText(const QString &text);

    // The system's fixed-pitch font at the given size in points, for all text already in the
    // log and all text appended later. A size stored from outside may be absurd: the font is
    // drawn at most maxDrawnFontSize points (and at least 1), whatever the size asked for.
    static constexpr double maxDrawnFontSize = 288.0;
    void setLogFontSize(double points);
    double logFontSize() const;

    // The whole text exactly as appended: line feeds as "\n", no character replaced.
    QString logText() const;
};

} // namespace quorlan
