// quorlan-bench: runs one test of the window from a terminal and prints on stdout exactly the
// log text the window would show for it.
#include "cli/CommandLine.h"

#include <QCoreApplication>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return quorlan::runCommandLine(arguments);
}
