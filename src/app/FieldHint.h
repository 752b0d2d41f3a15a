#pragma once

#include "bench/PanelSettings.h"

#include <QString>

namespace quorlan {

// What the panel's number fields will be read as, where that is not what they say: one sentence
// per field whose text a test reads as another number (the panel's own readings, atLeastOne for
// the counts), or cannot use as a file size at all. Empty when every field reads as typed.
QString fieldHint(const PanelSettings &panel);

} // namespace quorlan
