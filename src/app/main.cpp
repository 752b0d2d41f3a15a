// quorlan: the desktop window.
#include "app/Application.h"
#include "appcore/SettingsStore.h"

#include <QApplication>

int main(int argc, char **argv) {
    QApplication qt(argc, argv);
    quorlan::Application::describeToQt();
    quorlan::SettingsStore store;
    quorlan::Application application(store);
    application.start();
    const int status = QApplication::exec();
    application.delegate().applicationWillTerminate();
    return status;
}
