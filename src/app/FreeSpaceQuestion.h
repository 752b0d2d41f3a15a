#pragma once

#include "app/Alerts.h"
#include "bench/PanelSettings.h"

#include <optional>
#include <string>

namespace quorlan {

class Bench;
class SysCalls;
struct TestCommand;

// The question asked before a test that writes more than the volume can take: the bytes the test
// writes against the volume's free space and the space of the files it replaces, as the tests
// themselves count them. nullopt when the writes fit, when the free space is not known, and for
// tests that write nothing or whose sizes are drawn only when a pass begins (random sizes).
// path is the chosen file or folder; bench gives the size lists as they stand before the run.
// The first button, the default and the answer to Escape, is Cancel; the second is Run.
std::optional<Alert> freeSpaceQuestion(SysCalls &calls, const TestCommand &command,
                                       const std::string &path, const PanelSettings &panel,
                                       const Bench &bench);

} // namespace quorlan
