#pragma once

// What the window tests share: panels that the test answers, a machine that describes itself
// the same way every time, system calls that can hold a test at a chosen file, and a window on
// a settings file of its own.

#include "../support/GoldenMatch.h"
#include "../support/TempFolder.h"
#include "app/Alerts.h"
#include "app/FilePanels.h"
#include "app/LogView.h"
#include "app/ViewController.h"
#include "appcore/SettingsStore.h"
#include "bench/SysCalls.h"
#include "sysinfo/MachineProbe.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

namespace quorlan::testing {

// Records every panel request. A queued answer is given at once; without one the completion
// waits in `pending` until the test calls answerPending. A panel of several files answers the
// lines of the path.
class FakePanels final : public FilePanels {
public:
    using Answer = std::pair<int, std::optional<QString>>; // response, path
    void begin(const FilePanelRequest &request, QWidget *, FilePanelCompletion done) override {
        requests.push_back(request);
        pending = std::move(done);
        if (!answers.empty()) {
            const Answer answer = answers.front();
            answers.pop_front();
            answerPending(answer.first, answer.second);
        }
    }

    void beginChoosingFiles(const FilePanelRequest &request, QWidget *window,
                            FilePanelFilesCompletion done) override {
        begin(request, window, [done](int response, std::optional<QString> path) {
            done(response, path ? path->split('\n') : QStringList());
        });
    }

    void answerPending(int response, std::optional<QString> path) {
        std::exchange(pending, nullptr)(response, std::move(path));
    }

    std::deque<Answer> answers;
    std::vector<FilePanelRequest> requests;
    FilePanelCompletion pending;
};

// Clicks the buttons titled in answers, in turn (the first button when it runs dry), and keeps
// the alerts it showed.
class FakeAlerts final : public Alerts {
public:
    std::vector<Alert> shown;
    QStringList answers;
    int runModal(const Alert &alert) override {
        shown.push_back(alert);
        return alertFirstButtonReturn +
               (answers.empty() ? 0 : static_cast<int>(alert.buttons.indexOf(answers.takeFirst())));
    }
};

class FakeProbe final : public MachineProbe {
public:
    QVariantMap readHardwareOverview() override { return {}; }
    QString sysctlValue(const QString &name) override {
        return name == "hw.physicalcpu" ? QStringLiteral("2") : QStringLiteral("Test CPU");
    }
    QString registryDataProperty(const QString &name) override { return "test-" + name; }
    QString registryStringProperty(const QString &) override { return QStringLiteral("UUID-1"); }
    QString operatingSystemVersion() override { return QStringLiteral("Test OS 1.0"); }
};

// The real system calls, except that opening a path that ends in holdAt waits until release().
class GateSysCalls final : public PosixSysCalls {
public:
    int open(const char *path, int flags, mode_t mode) override {
        if (!holdAt.empty() && std::string_view(path).ends_with(holdAt)) {
            held = true;
            released_.wait(false);
        }
        return PosixSysCalls::open(path, flags, mode);
    }
    // True once a test waits at the gate; keeps the GUI's event loop turning meanwhile.
    bool waitUntilHeld() {
        return QTest::qWaitFor([this] { return held.load(); }, 10000);
    }
    void release() {
        released_ = true;
        released_.notify_all();
    }

    std::string holdAt; // set before the test starts
    std::atomic<bool> held = false;

private:
    std::atomic<bool> released_ = false;
};

inline const std::vector<std::int64_t> smallSizes = {20000, 40000};

// The panel's fields in declaration order, joined with "|".
inline std::string panelFields(const PanelSettings &p) {
    return p.filesize + "|" + std::to_string(p.sizeIndex) + "|" + std::to_string(p.contentIndex) +
           "|" + p.repeats + "|" + p.length + "|" + std::to_string(p.noCache) + "|" +
           std::to_string(p.verbose) + "|" + std::to_string(p.isRandom);
}

// A panel request in one line: kind, button title, file types, proposed name, the options set.
inline std::string describe(const FilePanelRequest &r) {
    const char *const kinds[] = {"save", "open", "folder"};
    QString text = QString("%1 \"%2\" [%3] \"%4\"")
                       .arg(kinds[static_cast<int>(r.kind)], r.acceptLabel,
                            r.allowedFileTypes.join(','), r.proposedName);
    const std::pair<bool, const char *> options[] = {{r.canCreateFolders, "new-folders"},
                                                     {r.showsHiddenFiles, "hidden"},
                                                     {r.treatsPackagesAsFolders, "packages"},
                                                     {r.showsResizeIndicator, "resize"},
                                                     {r.asSheet, "sheet"}};
    for (const auto &[set, name] : options)
        text += set ? QString(" ") + name : QString();
    return text.toStdString();
}

class WindowTest : public ::testing::Test {
protected:
    WindowTest()
        : folder(scratch.path()), settingsFile(QString::fromStdString(folder) + "/q.ini") {}

    ~WindowTest() override { gate.release(); }

    // A window as the application makes it; shown, so that it has restored its panel.
    std::unique_ptr<ViewController> makeWindow() { return makeWindow(gate, smallSizes); }

    // The same on other system calls, standard sizes and alerts (nullptr: none, no question is
    // asked).
    std::unique_ptr<ViewController>
    makeWindow(SysCalls &calls, const std::vector<std::int64_t> &sizes, Alerts *alerts = nullptr) {
        auto window = std::make_unique<ViewController>(
            ViewServices{*store, panels, calls, probe, sizes, [this] { ++terminations; }, alerts});
        window->show();
        return window;
    }

    // Runs a command whose panel is answered with path and waits for the test to end.
    void runCommand(void (ViewController::*command)(), const std::string &path) {
        panels.answers.push_back({panelOKResponse, QString::fromStdString(path)});
        QSignalSpy finished(window.get(), &ViewController::runFinished);
        (window.get()->*command)();
        ASSERT_TRUE(finished.wait(30000)) << "the test did not end";
    }

    // Starts command on path and waits until its test opens a file whose path ends in holdAt.
    void startHeldAt(void (ViewController::*command)(), const std::string &path,
                     const std::string &holdAt) {
        gate.holdAt = holdAt;
        panels.answers.push_back({panelOKResponse, QString::fromStdString(path)});
        (window.get()->*command)();
        ASSERT_TRUE(gate.waitUntilHeld()) << "the test never opened " << holdAt;
    }

    // Lets the held test go on and waits for it to end.
    void releaseAndWaitForTheEnd() {
        QSignalSpy finished(window.get(), &ViewController::runFinished);
        gate.release();
        ASSERT_TRUE(finished.wait(30000)) << "the test did not end";
    }

    // The window's widget or action of that object name and type; a missing one fails the test.
    template <typename T> T *part(const char *name) const {
        T *found = window->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            throw std::runtime_error(std::string("the window has no part named ") + name);
        return found;
    }

    std::string log() const { return part<LogView>("outputTextbox")->logText().toStdString(); }

    // The write and read result fields, joined with "|".
    std::string resultFields() const {
        return (part<QLineEdit>("writeResultTextbox")->text() + "|" +
                part<QLineEdit>("readResultTextbox")->text())
            .toStdString();
    }

    TempFolder scratch; // first, so that it goes last: after the window and the settings file
    std::string folder;
    QString settingsFile;
    std::unique_ptr<SettingsStore> store = std::make_unique<SettingsStore>(settingsFile);
    FakePanels panels;
    FakeProbe probe;
    GateSysCalls gate;
    int terminations = 0;
    std::unique_ptr<ViewController> window = makeWindow();
};

} // namespace quorlan::testing
