#pragma once

#include <QString>

class QWidget;

namespace quorlan {

// The About Quorlan box's text, rich text: the program's name and version (QUORLAN_VERSION), what
// it does, its licence and the project's address (QUORLAN_PROJECT_URL) as a link.
QString aboutText();

// Opens the About Quorlan box, object name "aboutBox", over parent (window-modal) and returns at
// once. The box belongs to parent and deletes itself when it is closed.
void openAboutBox(QWidget &parent);

} // namespace quorlan
