#pragma once

#include "app/FilePanels.h"
#include "app/RunController.h"
#include "bench/PanelSettings.h"

#include <QString>

#include <string>
#include <vector>

namespace quorlan {

class Bench;
class ViewController;

// One of the window's five tests as the window offers it: a button and an item of the Test menu
// that trigger the window's command, the panel that chooses the file or folder, what the run
// shows, and the test of Bench that runs on the chosen path.
struct TestCommand {
    QString title;                  // of the button and the menu item
    const char *actionName;         // the menu item's object name
    Qt::Key key;                    // the menu item's shortcut, with Ctrl
    void (ViewController::*slot)(); // the window's command
    FilePanelRequest request;
    RunDescription run;
    void (Bench::*test)(const std::string &path, const PanelSettings &panel);
};

TestCommand writeFileCommand();
TestCommand readFileCommand();
TestCommand multiWriteCommand();
TestCommand multiReadCommand();
TestCommand mixedTestCommand();

// The five, in the order of the buttons and the Test menu.
std::vector<TestCommand> testCommands();

} // namespace quorlan
