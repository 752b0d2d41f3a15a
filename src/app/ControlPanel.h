#pragma once

#include "bench/PanelSettings.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace quorlan {

// The control panel: the file size and its unit, the fill byte, the repeats, the files per
// random pass and the three switches. It shows and returns them as PanelSettings, texts exactly
// as typed, and nothing else. Its controls carry the object names filesizeTextbox, sizePopup,
// contentPopup, repeatsTextbox, lengthTextbox, noCacheCheckbox, isVerboseCheckbox and
// isRandomSizes. Under them, fieldHint says which number fields a test will read as another
// value (see fieldHint); it is hidden while every field reads as typed.
class ControlPanel final : public QWidget {
    Q_OBJECT
public:
    explicit ControlPanel(QWidget *parent = nullptr);

    // Empties both pop-ups and fills them with sizeList and contentList, in order.
    void loadTitles();
    int sizeItemCount() const;
    int contentItemCount() const;

    // The panel as it stands now. A check box in its mixed state reads -1.
    PanelSettings settings() const;
    void setSettings(const PanelSettings &panel);

    // A locked panel takes no input; its values stay as they were.
    void setLocked(bool locked);

private:
    void updateFieldHint();

    QLineEdit *filesizeTextbox_;
    QComboBox *sizePopup_;
    QComboBox *contentPopup_;
    QLineEdit *repeatsTextbox_;
    QLineEdit *lengthTextbox_;
    QCheckBox *noCacheCheckbox_;
    QCheckBox *isVerboseCheckbox_;
    QCheckBox *isRandomSizes_;
    QLabel *fieldHint_;
};

} // namespace quorlan
