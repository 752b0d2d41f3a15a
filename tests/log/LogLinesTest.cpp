#include "log/LogLines.h"
#include "log/LogSink.h"

#include <gtest/gtest.h>

using namespace quorlan;

TEST(MeasurementLine, LaysOutKindSizeShortestTimeAndTruncatedRate) {
    EXPECT_EQ(measurementLine("w", 5000000, 0.012345), "w,5000000,0.012345,405022276\n");
    EXPECT_EQ(measurementLine("w", 1000, -1.0), "w,1000,-1.0,-1000\n");
    EXPECT_EQ(measurementLine("r", 0, 0.5), "r,0,0.5,0\n");
    EXPECT_EQ(measurementLine("r*", 1000000, 0.00005), "r*,1000000,5e-05,20000000000\n");
    // 3 bytes in 2 seconds is 1.5 bytes per second: truncated, not rounded.
    EXPECT_EQ(measurementLine("r", 3, 2.0), "r,3,2.0,1\n");
    // A negative rate truncates toward zero too.
    EXPECT_EQ(measurementLine("w", 3, -2.0), "w,3,-2.0,-1\n");
}

TEST(MeasurementLine, TimeSwitchesToExponentBelowOneTenThousandth) {
    EXPECT_EQ(formatTime(0.0), "0.0");
    EXPECT_EQ(formatTime(2.0), "2.0");
    EXPECT_EQ(formatTime(0.0001), "0.0001");
    EXPECT_EQ(formatTime(0.0000123), "1.23e-05");
    EXPECT_EQ(formatTime(1.5e-10), "1.5e-10");
    EXPECT_EQ(formatTime(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(formatTime(123456.789), "123456.789");
}

TEST(MeasurementLine, RateBeyondSixtyFourBitsSaturates) {
    EXPECT_EQ(measurementLine("r", 9000000000000000000, 1e-9),
              "r,9000000000000000000,1e-09,9223372036854775807\n");
}

TEST(LogLines, HeaderAndTestPath) {
    EXPECT_EQ(columnHeaderLine(), "type,size,time,rate\n");
    EXPECT_EQ(testPathLine("/tmp/a b/ü.tiff"), "\nTest path /tmp/a b/ü.tiff\n");
}

TEST(RunFooter, PrintsDescriptionVersionsAndUtcDates) {
    RunFooter footer{"Mac model = Unknown\n", "Debian 12", "0.1.0", {}, {}};
    EXPECT_EQ(runFooterText(footer),
              "Mac model = Unknown\nRunning macOS version Debian 12\nQuorlan version 0.1.0\n\n\n");
    // 2026-12-04 16:05:53 UTC
    footer.startDate = Date(std::chrono::seconds(1796400353));
    footer.endDate =
        Date(std::chrono::seconds(1796400353 + 3600 * 8) + std::chrono::milliseconds(999));
    EXPECT_EQ(runFooterText(footer), "Mac model = Unknown\nRunning macOS version Debian 12\n"
                                     "Quorlan version 0.1.0\n"
                                     "Started at 2026-12-04 16:05:53 +0000\n"
                                     "Ended at 2026-12-05 00:05:53 +0000\n\n\n");
}

TEST(RunFooter, AppendsInOnePiece) {
    struct Recorder : LogSink {
        std::vector<std::string> pieces;
        void appendToLog(const std::string &text) override { pieces.push_back(text); }
    } log;
    appendRunFooter(log, RunFooter{});
    ASSERT_EQ(log.pieces.size(), 1u);
    EXPECT_EQ(log.pieces[0], "Running macOS version \nQuorlan version \n\n\n");
}
