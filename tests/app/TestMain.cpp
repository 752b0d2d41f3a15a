// The widget tests need one QApplication for the whole process.
#include <QApplication>

#include <gtest/gtest.h>

namespace {

// The offscreen platform warns about every window feature it lacks; everything else is shown.
void quietOffscreenNotes(QtMsgType type, const QMessageLogContext &, const QString &message) {
    if (message.startsWith("This plugin does not support") ||
        message.startsWith("QStandardPaths: XDG_RUNTIME_DIR"))
        return;
    fprintf(stderr, "%s\n", qPrintable(message));
    if (type == QtFatalMsg)
        abort();
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietOffscreenNotes);
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QUORLAN_VERSION);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
