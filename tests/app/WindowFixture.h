#pragma once

// What the window tests share: panels that the test answers, a machine that describes itself
// the same way every time, system calls that can hold a test at a chosen file, and a window on
// a settings file of its own.

#include "../support/TempFolder.h"
#include "app/FilePanels.h"
#include "app/LogView.h"
#include "app/ViewController.h"
#include "appcore/SettingsStore.h"
#include "bench/SysCalls.h"
#include "sysinfo/MachineProbe.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

namespace quorlan::testing {

// Records every panel request. A queued answer is given at once; without one the completion
// waits in `pending` until the test calls answerPending.
class FakePanels final : public FilePanels {
public:
    struct Answer {
        int response = panelOKResponse;
        std::optional<QString> path;
    };

    void begin(const FilePanelRequest &request, QWidget *, FilePanelCompletion done) override {
        requests.push_back(request);
        if (answers.empty()) {
            pending = std::move(done);
            return;
        }
        const Answer answer = answers.front();
        answers.pop_front();
        done(answer.response, answer.path);
    }

    void answerPending(int response, std::optional<QString> path) {
        FilePanelCompletion done = std::move(pending);
        pending = nullptr;
        done(response, std::move(path));
    }

    std::deque<Answer> answers;
    std::vector<FilePanelRequest> requests;
    FilePanelCompletion pending;
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
            std::unique_lock lock(mutex_);
            held_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return released_; });
        }
        return PosixSysCalls::open(path, flags, mode);
    }
    // True once a test waits at the gate; keeps the GUI's event loop turning meanwhile.
    bool waitUntilHeld() {
        for (int i = 0; i < 2000; ++i) {
            {
                std::lock_guard lock(mutex_);
                if (held_)
                    return true;
            }
            QTest::qWait(5);
        }
        return false;
    }
    void release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

    std::string holdAt;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool released_ = false;
};

inline const std::vector<std::int64_t> smallSizes = {20000, 40000};

class WindowTest : public ::testing::Test {
protected:
    WindowTest()
        : folder(scratch.path()), settingsFile(QString::fromStdString(folder) + "/q.ini") {}

    ~WindowTest() override { gate.release(); }

    // A window as the application makes it; shown, so that it has restored its panel.
    std::unique_ptr<ViewController> makeWindow() {
        auto window = std::make_unique<ViewController>(
            ViewServices{*store, panels, gate, probe, smallSizes, [this] { ++terminations; }});
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

    // The window's widget or action of that object name and type; a missing one fails the test.
    template <typename T> T *part(const char *name) const {
        T *found = window->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            throw std::runtime_error(std::string("the window has no part named ") + name);
        return found;
    }

    std::string log() const { return part<LogView>("outputTextbox")->logText().toStdString(); }

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
