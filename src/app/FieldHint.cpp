#include "app/FieldHint.h"

#include <QCoreApplication>
#include <QStringList>

namespace quorlan {

namespace {

QString tr(const char *text) {
    return QCoreApplication::translate("FieldHint", text);
}

// The text as a plain whole number is written: no spaces around it, no plus sign, no leading
// zeros. A text already in that form is read as what it says.
QString plainForm(const std::string &text) {
    QString plain = QString::fromStdString(text).trimmed();
    if (plain.startsWith('+'))
        plain.remove(0, 1);
    while (plain.size() > 1 && plain.startsWith('0'))
        plain.remove(0, 1);
    return plain;
}

// "The NAME “TEXT” is read as VALUE." when the text does not say value.
void addIfReadOtherwise(QStringList &hints, const char *sentence, const std::string &text,
                        std::int64_t value) {
    if (plainForm(text) != QString::number(value))
        hints << tr(sentence).arg(QString::fromStdString(text)).arg(value);
}

} // namespace

QString fieldHint(const PanelSettings &panel) {
    QStringList hints;
    const std::optional<std::int64_t> bytes = readFileSize(panel);
    if (!bytes)
        hints << tr("The size “%1” is no size a file can have: Write File will refuse it.")
                     .arg(QString::fromStdString(panel.filesize));
    else
        addIfReadOtherwise(hints, "The size “%1” is read as %2.", panel.filesize,
                           readNumberField(panel.filesize, 1).value);
    addIfReadOtherwise(hints, "The repeats “%1” are read as %2.", panel.repeats,
                       atLeastOne(readRepeats(panel)));
    addIfReadOtherwise(hints, "The files per random pass “%1” are read as %2.", panel.length,
                       atLeastOne(readLength(panel)));
    return hints.join('\n');
}

} // namespace quorlan
