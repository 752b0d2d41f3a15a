#pragma once

#include <QString>
#include <QStringList>

namespace quorlan {

// What runModal answers: the first button added is alertFirstButtonReturn, the next one more.
inline constexpr int alertFirstButtonReturn = 1000;
inline constexpr int alertSecondButtonReturn = 1001;

enum class AlertStyle { Informational = 1, Critical = 2 };

// A modal alert: a title, a detail text and its buttons in the order added; the first button is
// the default one (Return) and also the answer to Escape or closing the alert.
struct Alert {
    QString messageText;
    QString informativeText;
    AlertStyle style = AlertStyle::Informational;
    QStringList buttons;
};

// Shows alerts to the user; tests answer them instead.
class Alerts {
public:
    virtual ~Alerts() = default;
    // Shows the alert application-modally and returns when it is dismissed, with
    // alertFirstButtonReturn + the index of the chosen button.
    virtual int runModal(const Alert &alert) = 0;
};

} // namespace quorlan
