#include "app/QtAlerts.h"

#include <QAbstractButton>
#include <QPushButton>

namespace quorlan {

std::unique_ptr<QMessageBox> QtAlerts::makeBox(const Alert &alert) {
    auto box = std::make_unique<QMessageBox>();
    box->setWindowModality(Qt::ApplicationModal);
    box->setIcon(alert.style == AlertStyle::Critical ? QMessageBox::Critical
                                                     : QMessageBox::Information);
    box->setText(alert.messageText);
    box->setInformativeText(alert.informativeText);
    box->setTextFormat(Qt::PlainText);
    // One role for every button keeps them in the order they were added on every platform
    // layout; the dialog box would otherwise sort them by role.
    for (const QString &title : alert.buttons)
        box->addButton(title, QMessageBox::ActionRole);
    if (alert.buttons.isEmpty())
        box->addButton(QMessageBox::Ok);
    QPushButton *first = qobject_cast<QPushButton *>(box->buttons().value(0));
    box->setDefaultButton(first);
    box->setEscapeButton(first);
    return box;
}

int QtAlerts::answerOf(const QMessageBox &box) {
    const int index = box.buttons().indexOf(box.clickedButton());
    return alertFirstButtonReturn + (index < 0 ? 0 : index);
}

int QtAlerts::runModal(const Alert &alert) {
    const std::unique_ptr<QMessageBox> box = makeBox(alert);
    box->exec();
    return answerOf(*box);
}

} // namespace quorlan
