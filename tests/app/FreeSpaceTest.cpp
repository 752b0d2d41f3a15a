// The question before a test that writes more than its volume has free.

#include "WindowFixture.h"

#include <QComboBox>
#include <QLineEdit>

#include <filesystem>
#include <sys/statfs.h>

namespace quorlan::testing {

namespace {

// The real calls, but every volume has freeBlocks blocks of 1000 bytes free.
class SmallVolume final : public PosixSysCalls {
public:
    int statfs(const char *path, struct statfs *info) override {
        const int result = PosixSysCalls::statfs(path, info);
        info->f_frsize = info->f_bsize = 1000;
        info->f_blocks = 1000000;
        info->f_bavail = freeBlocks;
        return result;
    }
    std::uint64_t freeBlocks = 0;
};

} // namespace

TEST_F(WindowTest, ATestThatDoesNotFitAsksFirstAndCancelLeavesEverythingAsItWas) {
    SmallVolume volume;
    FakeAlerts alerts; // Cancel, until told otherwise
    window = makeWindow(volume, smallSizes, &alerts);
    part<QLineEdit>("repeatsTextbox")->setText("2");
    part<QLineEdit>("filesizeTextbox")->setText("500");
    const std::string file = folder + "/w.tiff";
    const struct {
        void (ViewController::*command)();
        std::string path;
        std::uint64_t freeBlocks;
        QString question; // empty: none is asked
    } cases[] = {
        // Two passes of 20000 + 40000 bytes.
        {&ViewController::runMultiWriteTest, folder, 100,
         "This test writes 120.00 kB; the volume has 100.00 kB free."},
        {&ViewController::runMultiWriteTest, folder, 120, ""},
        // The mixed test writes its size list once.
        {&ViewController::runMixedTest, folder, 59,
         "This test writes 60.00 kB; the volume has 59.00 kB free."},
        {&ViewController::writeFileButton, file, 499,
         "This test writes 500.00 kB; the volume has 499.00 kB free."},
        {&ViewController::writeFileButton, file, 500, ""},
        {&ViewController::runMultiReadTest, folder, 0, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.question.toStdString());
        volume.freeBlocks = c.freeBlocks;
        alerts.shown.clear();
        panels.answers.push_back({panelOKResponse, QString::fromStdString(c.path)});
        QSignalSpy started(window.get(), &ViewController::runStarted);
        QSignalSpy finished(window.get(), &ViewController::runFinished);
        (window.get()->*c.command)();
        if (c.question.isEmpty()) {
            EXPECT_TRUE(alerts.shown.empty());
            EXPECT_TRUE(finished.wait(30000));
            continue;
        }
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].messageText, c.question);
        EXPECT_EQ(alerts.shown[0].buttons, QStringList({"Cancel", "Run"}));
        EXPECT_EQ(started.count(), 0) << "cancelled";
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "/0.tiff"));

    // Run goes ahead; then the files the test replaces count as space it may use.
    volume.freeBlocks = 1;
    alerts.answers = {"Run", "Run"};
    alerts.shown.clear();
    runCommand(&ViewController::runMixedTest, folder);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].messageText,
              "This test writes 60.00 kB; the volume has 1.00 kB free.");
    // In the order the multi-write's last pass left the sizes.
    EXPECT_EQ(std::filesystem::file_size(folder + "/0.tiff") +
                  std::filesystem::file_size(folder + "/1.tiff"),
              60000u);
    runCommand(&ViewController::runMixedTest, folder);
    EXPECT_EQ(alerts.shown.size(), 1u) << "the second run replaces what it writes";
}

} // namespace quorlan::testing
