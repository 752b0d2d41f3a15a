// Time from the start of the process to the main window shown and painted, on whatever
// platform Qt is given (offscreen for the figures in perf/README.md). The driver script passes the
// wall-clock time just before it started this process; the figure includes loading the program
// and Qt, making every part, restoring the panel and describing the machine. With --bare as the
// second argument it shows an empty QMainWindow instead: the reference for what Qt alone costs.
#include "app/Application.h"
#include "appcore/SettingsStore.h"

#include <QApplication>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

long long wallNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace

int main(int argc, char **argv) {
    const long long launched = argc > 1 ? std::atoll(argv[1]) : wallNanoseconds();
    const long long entered = wallNanoseconds();
    QApplication qt(argc, argv);
    if (argc > 2 && std::strcmp(argv[2], "--bare") == 0) {
        QMainWindow bare;
        bare.resize(1100, 720);
        bare.show();
        QTimer::singleShot(0, [&] {
            bare.repaint();
            std::printf("start-to-shown %.1f ms\n", (wallNanoseconds() - launched) / 1e6);
            QApplication::exit(0);
        });
        return QApplication::exec();
    }
    quorlan::Application::describeToQt();
    QTemporaryDir dir; // the user's own settings are never touched
    quorlan::SettingsStore store(dir.filePath("quorlan.ini"));
    quorlan::Application application(store);
    application.start();
    // Runs once the show and the first paint have been processed.
    QTimer::singleShot(0, [&] {
        application.window().repaint();
        const long long shown = wallNanoseconds();
        std::printf("start-to-shown %.1f ms (in main %.1f ms)\n", (shown - launched) / 1e6,
                    (shown - entered) / 1e6);
        QApplication::exit(0);
    });
    return QApplication::exec();
}
