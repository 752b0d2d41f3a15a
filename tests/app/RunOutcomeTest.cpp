// What the status area says about a run's failures, and why a result field shows "n/a".

#include "../support/FaultySysCalls.h"
#include "WindowFixture.h"
#include "app/WarningsLabel.h"

#include <QLineEdit>
#include <QStatusBar>

#include <filesystem>
#include <fstream>

namespace quorlan::testing {

namespace {

class RunOutcome : public WindowTest {
protected:
    QString firstNote() const { return part<WarningsLabel>("warningsLabel")->warnings().value(0); }

    FaultySysCalls faulty;
};

} // namespace

TEST_F(RunOutcome, FailedOperationsAreCountedInTheStatusAreaAndNeverInTheLog) {
    const std::string file = folder + "/one.bin";
    std::ofstream(file) << std::string(1000, 'x');
    const struct {
        const char *name;
        void (ViewController::*command)();
        std::string path;
        std::vector<Fault> faults;
        QString sentence;
    } cases[] = {
        {"every write of a multi-write",
         &ViewController::runMultiWriteTest,
         folder,
         {{"write", 1, 1, ENOSPC}},
         "2 of 2 timed operations failed; the first: No space left on device."},
        {"a single write",
         &ViewController::writeFileButton,
         folder + "/w.tiff",
         {{"write", 1, 1, EIO}},
         "The test's timed operation failed: Input/output error."},
        {"a short read sets no error",
         &ViewController::readFile,
         file,
         {{"read", 1, 1, 0}},
         "The test's timed operation failed."},
        // Two writes, then the reads: the file whose write failed is empty and moves nothing.
        {"the second write of a mixed test",
         &ViewController::runMixedTest,
         folder,
         {{"write", 2, 0, EIO}},
         "1 of 3 timed operations failed; the first: Input/output error."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        faulty = FaultySysCalls();
        faulty.faults = c.faults;
        window = makeWindow(faulty, smallSizes);
        runCommand(c.command, c.path);
        EXPECT_EQ(firstNote(), c.sentence);
        EXPECT_EQ(log().find("failed"), std::string::npos) << log();
    }
}

TEST_F(RunOutcome, AResultFieldWithoutAFigureSaysWhyInItsToolTip) {
    const struct {
        std::vector<std::int64_t> sizes;
        bool faultyTicks; // every operation takes the same time
        QString toolTip;  // empty: the field has a figure
    } cases[] = {
        {{20000, 40000}, false, ""},
        {{20000, 40000},
         true,
         "The times measured do not grow with the file size, so no rate can be regressed from "
         "them."},
        {{20000},
         false,
         "Every file measured had the same size; a rate is regressed from files of at least two "
         "different sizes."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.toolTip.toStdString());
        window = c.faultyTicks ? makeWindow(faulty, c.sizes) : makeWindow(gate, c.sizes);
        runCommand(&ViewController::runMultiWriteTest, folder);
        const auto *field = part<QLineEdit>("writeResultTextbox");
        EXPECT_EQ(field->text() == "n/a", !c.toolTip.isEmpty()) << field->text().toStdString();
        EXPECT_EQ(field->toolTip(), c.toolTip);
    }
}

TEST_F(RunOutcome, AFailedLogSaveIsSaidInTheStatusBarAsWellAsAtTheLogsEnd) {
    window->appendToLog("last line\n");
    panels.answers.push_back({panelOKResponse, QString::fromStdString(folder + "/no/log.text")});
    window->saveContents();
    const QString said = window->statusBar()->currentMessage();
    EXPECT_TRUE(said.startsWith("The log could not be saved")) << said.toStdString();
    EXPECT_EQ(log(), "last line\n" + said.toStdString());
}

} // namespace quorlan::testing
