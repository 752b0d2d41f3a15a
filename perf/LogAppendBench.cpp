// Time to bring 100,000 measurement lines into the window's log: appended one by one to the
// queue from a test thread, taken in the window's batches and inserted into the view, until the
// view has laid them out. Prints the median of the runs in milliseconds, and as the reference the
// same text given to a plain QPlainTextEdit in one setPlainText call.
#include "app/LogQueue.h"
#include "app/LogView.h"
#include "log/LogLines.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

double oneRun(int lines) {
    quorlan::LogView view;
    view.resize(900, 600);
    view.show();
    QApplication::processEvents();
    quorlan::LogQueue queue;
    QElapsedTimer clock;
    clock.start();
    std::atomic<bool> finished{false};
    std::thread test([&] {
        for (int i = 0; i < lines; ++i)
            queue.appendToLog(quorlan::measurementLine("w", 2000000 + i, 0.0123456789));
        finished = true;
    });
    for (bool last = false; !last;) {
        last = finished.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the window's poll
        view.appendText(queue.take());
        QApplication::processEvents();
    }
    test.join();
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    QApplication::processEvents();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

double oneSetPlainText(int lines) {
    QString text;
    for (int i = 0; i < lines; ++i)
        text += QString::fromStdString(quorlan::measurementLine("w", 2000000 + i, 0.0123456789));
    QPlainTextEdit view;
    view.resize(900, 600);
    view.show();
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    view.setPlainText(text);
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    QApplication::processEvents();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    QApplication qt(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int lines = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100000;
    std::vector<double> times, reference;
    for (int i = 0; i < runs; ++i) { // alternating
        times.push_back(oneRun(lines));
        reference.push_back(oneSetPlainText(lines));
        std::printf("run %d: %.1f ms, reference %.1f ms\n", i + 1, times.back(), reference.back());
    }
    std::printf("median for %d lines: %.1f ms (includes the 50 ms polls); one setPlainText of the "
                "same text: %.1f ms; ratio %.2f\n",
                lines, median(times), median(reference), median(times) / median(reference));
    return 0;
}
