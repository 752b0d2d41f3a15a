#pragma once

#include "bench/PanelSettings.h"

namespace quorlan {

class SettingsStore;

// Restores the control panel from the store when the window is shown.
// current holds the panel as it is now (its pop-up selections are kept when
// the stored index is absent or not below the pop-up's item count);
// sizeItems and contentItems are the two pop-ups' item counts. Stored texts
// are taken as they are, even empty; absent texts give "1", "1", "5". The
// three check boxes become 1 (on) or 0 (off).
PanelSettings restorePanel(SettingsStore &store, PanelSettings current, int sizeItems,
                           int contentItems);

// Saves the eight panel values when the window closes: pop-up indices as
// integers (-1 when nothing is selected), texts exactly as typed, and a check
// box as true only when it is on (state 1); off and mixed are false.
void savePanel(SettingsStore &store, const PanelSettings &panel);

// The log font size in points: the stored value, or 12.0 when it is below 4.0
// (which includes an absent or unreadable value). There is no upper bound.
double restoreFontSize(SettingsStore &store);

} // namespace quorlan
