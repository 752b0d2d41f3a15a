#pragma once

#include "app/Alerts.h"

#include <QMessageBox>

#include <memory>

namespace quorlan {

// Alerts as QMessageBox dialogs, parented to no window so they block the whole application.
class QtAlerts final : public Alerts {
public:
    int runModal(const Alert &alert) override;

    // The dialog runModal shows, not yet shown: buttons in the alert's order, the first one the
    // default and the escape button.
    static std::unique_ptr<QMessageBox> makeBox(const Alert &alert);
    // The answer for the button clicked in a box made by makeBox.
    static int answerOf(const QMessageBox &box);
};

} // namespace quorlan
