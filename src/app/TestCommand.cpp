#include "app/TestCommand.h"

#include "app/ViewController.h"
#include "bench/Bench.h"

namespace quorlan {

namespace {

// A single-file test is one request that cannot be stopped part way; it fills no result field
// and leaves the chart with the last multi-file test.
RunDescription singleFileRun(const QString &title) {
    return {.title = title};
}

RunDescription multiFileRun(const QString &title, bool writes, bool reads) {
    return {.title = title,
            .cancellable = true,
            .hasWritePhase = writes && reads, // the mixed test writes once, then reads
            .fillsWriteResult = writes,
            .fillsReadResult = reads,
            .fillsChart = true};
}

} // namespace

TestCommand writeFileCommand() {
    return {.title = ViewController::tr("Write File…"),
            .actionName = "writeFileAction",
            .key = Qt::Key_1,
            .slot = &ViewController::writeFileButton,
            .request = savePanelRequest({"tiff"}, QString()),
            .run = singleFileRun(ViewController::tr("Writing one file")),
            .test = &Bench::runWriteTest};
}

TestCommand readFileCommand() {
    return {.title = ViewController::tr("Read File…"),
            .actionName = "readFileAction",
            .key = Qt::Key_2,
            .slot = &ViewController::readFile,
            .request = readFileRequest(ViewController::tr("Read")),
            .run = singleFileRun(ViewController::tr("Reading one file")),
            .test = &Bench::runReadTest};
}

TestCommand multiWriteCommand() {
    return {.title = ViewController::tr("Multi-Write Test…"),
            .actionName = "multiWriteAction",
            .key = Qt::Key_3,
            .slot = &ViewController::runMultiWriteTest,
            .request = testFolderRequest(),
            .run = multiFileRun(ViewController::tr("Multi-write test"), true, false),
            .test = &Bench::performMultiWrite};
}

TestCommand multiReadCommand() {
    return {.title = ViewController::tr("Multi-Read Test…"),
            .actionName = "multiReadAction",
            .key = Qt::Key_4,
            .slot = &ViewController::runMultiReadTest,
            .request = testFolderRequest(),
            .run = multiFileRun(ViewController::tr("Multi-read test"), false, true),
            .test = &Bench::performMultiRead};
}

TestCommand mixedTestCommand() {
    return {.title = ViewController::tr("Mixed Test…"),
            .actionName = "mixedTestAction",
            .key = Qt::Key_5,
            .slot = &ViewController::runMixedTest,
            .request = testFolderRequest(),
            .run = multiFileRun(ViewController::tr("Mixed test"), true, true),
            .test = &Bench::performMixedTest};
}

std::vector<TestCommand> testCommands() {
    return {writeFileCommand(), readFileCommand(), multiWriteCommand(), multiReadCommand(),
            mixedTestCommand()};
}

} // namespace quorlan
