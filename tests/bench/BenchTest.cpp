#include "../support/FaultySysCalls.h"
#include "../support/RecordingLog.h"
#include "../support/TempFolder.h"

#include "bench/Bench.h"
#include "log/LogSink.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quorlan;
using namespace quorlan::testing;
namespace fs = std::filesystem;

namespace {

// The footer of a run whose machine fields are empty, with the two dates the run set.
std::string footerOf(const Bench &bench) {
    return runFooterText(RunFooter{"", "", "", bench.startDate, bench.endDate});
}

} // namespace

class BenchTest : public ::testing::Test {
protected:
    TempFolder scratch;
    std::string folder = scratch.path();
    RecordingLog log;
    // Every interval is 500 ticks of 1 ns: 500 × 1e-9 = 5.000000000000001e-07 seconds.
    FaultySysCalls calls;
    Bench bench{log, calls};
    PanelSettings panel;

    void SetUp() override { bench.readTimebase(); }
};

TEST_F(BenchTest, WriteTestWritesTheFileAndLogsHeaderLinePathAndFooter) {
    panel.filesize = "5";
    panel.sizeIndex = 1;
    panel.contentIndex = 1;
    const std::string path = folder + "/one.tiff";
    bench.runWriteTest(path, panel);
    ASSERT_TRUE(bench.startDate && bench.endDate);
    EXPECT_EQ(log.text,
              "type,size,time,rate\nw,5000000,5.000000000000001e-07,9999999999999\n\nTest path " +
                  path + "\n" + footerOf(bench));
    const std::string content = fileContents(path);
    EXPECT_EQ(content, std::string(5000000, '\x88'));
}

TEST_F(BenchTest, WriteTestOfSizeZeroAndOfAnUncreatableFile) {
    panel.filesize = "0";
    bench.runWriteTest(folder + "/zero.tiff", panel);
    EXPECT_NE(log.text.find("\nw,0,5.000000000000001e-07,0\n"), std::string::npos);
    EXPECT_EQ(fs::file_size(folder + "/zero.tiff"), 0u);
    log.text.clear();
    panel.filesize = "1";
    bench.runWriteTest(folder + "/missing/x.tiff", panel);
    EXPECT_NE(log.text.find("\nw,1000,-1.0,-1000\n"), std::string::npos);
}

TEST_F(BenchTest, WriteTestRefusesSizesThatCannotBeWrittenAndWritesNothing) {
    for (const char *text : {"-5", "inf", "nan", "1e300", "9223372036854775807"}) {
        log.text.clear();
        panel.filesize = text;
        const std::string path = folder + "/refused.tiff";
        bench.runWriteTest(path, panel);
        EXPECT_EQ(log.text, "type,size,time,rate\nCannot write a file of size " +
                                std::string(text) +
                                " KB: the size must be a whole number of bytes from 0 to "
                                "9223372036854775807.\n\nTest path " +
                                path + "\n" + footerOf(bench))
            << text;
        EXPECT_FALSE(fs::exists(path));
    }
}

// 9e18 bytes fit in 64 bits but in no memory: the buffer is refused before a file is made.
TEST_F(BenchTest, WriteTestWhoseBufferCannotBeHadSaysSoAndWritesNothing) {
    panel.filesize = "9000000000000000";
    const std::string path = folder + "/huge.tiff";
    bench.runWriteTest(path, panel);
    EXPECT_EQ(log.text, "type,size,time,rate\nCannot write a file of 9000000000000000000 bytes: "
                        "there is not enough memory for its buffer.\n\nTest path " +
                            path + "\n" + footerOf(bench));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(bench.lastRun.results.empty());
}

TEST_F(BenchTest, WriteWithoutTimebaseLogsNoMeasurementLine) {
    Bench early(log, calls);
    early.runWriteTest(folder + "/early.tiff", panel);
    EXPECT_EQ(log.text,
              "type,size,time,rate\n\nTest path " + folder + "/early.tiff\n" + footerOf(early));
}

TEST_F(BenchTest, ReadTestKindFollowsTheCacheSwitch) {
    const std::string path = folder + "/five";
    writeFile(path, 5000000);
    bench.runReadTest(path, panel);
    EXPECT_EQ(log.text,
              "type,size,time,rate\nr,5000000,5.000000000000001e-07,9999999999999\n\nTest path " +
                  path + "\n" + footerOf(bench));
    log.text.clear();
    panel.noCache = 1;
    bench.runReadTest(path, panel);
    EXPECT_NE(log.text.find("\nr*,5000000,5.000000000000001e-07,9999999999999\n"),
              std::string::npos);
    log.text.clear();
    panel.noCache = -1; // mixed counts as off
    bench.runReadTest(path, panel);
    EXPECT_NE(log.text.find("\nr,5000000,"), std::string::npos);
}

TEST_F(BenchTest, ReadTestOfEmptyMissingAndFailingFiles) {
    const std::string empty = folder + "/empty";
    writeFile(empty, 0);
    bench.runReadTest(empty, panel);
    EXPECT_NE(log.text.find("\nr,0,5.000000000000001e-07,0\n"), std::string::npos);
    log.text.clear();
    panel.noCache = 1;
    bench.runReadTest(empty, panel); // nothing read: no line
    EXPECT_EQ(log.text.find("r*,"), std::string::npos);
    EXPECT_EQ(log.text.rfind("type,size,time,rate\n\nTest path ", 0), 0u);
    log.text.clear();
    bench.runReadTest(folder + "/gone", panel); // no size: no line
    EXPECT_EQ(log.text.rfind("type,size,time,rate\n\nTest path ", 0), 0u);
    log.text.clear();
    writeFile(folder + "/bad", 1000);
    calls.failReadErrno = EIO;
    panel.noCache = 0;
    bench.runReadTest(folder + "/bad", panel);
    EXPECT_NE(log.text.find("\nr,1000,-1.0,-1000\n"), std::string::npos);
}
