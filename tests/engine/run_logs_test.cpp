#include "engine/run_logs.h"

#include <gtest/gtest.h>

#include "tests/support/local_time.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;

using testsupport::LocalEpochMs;

TEST(RunLogs, NamesOfATestStartedAt090507) {
  platform::FakeClock clock(0, LocalEpochMs(2024, 3, 1, 9, 5, 7));
  const std::string stem = FormatTimeOfDay(clock);
  EXPECT_EQ(stem, "09-05-07");
  auto paths = MakeTestLogPaths("/x/2024-03-01", stem);
  EXPECT_EQ(paths.nmea, "/x/2024-03-01/09-05-07_nmea_log.txt");
  EXPECT_EQ(paths.at, "/x/2024-03-01/09-05-07_at_log.txt");
  EXPECT_EQ(paths.result, "/x/2024-03-01/09-05-07_result_log.txt");
}

TEST(RunLogs, TimestampFormat) {
  platform::LocalTime t{2024, 12, 31, 23, 59, 8, 0};
  EXPECT_EQ(FormatTimestamp(t), "2024-12-31 23:59:08");
}

TEST(RunLogs, SeparatorGoesToBothLogsExactly) {
  TempDir tmp;
  std::FILE* nmea = std::fopen(tmp.file("n.txt").c_str(), "w");
  std::FILE* at = std::fopen(tmp.file("a.txt").c_str(), "w");
  WriteRunSeparator(nmea, at, 3);
  WriteRunSeparator(nullptr, at, 12);  // a missing log is skipped
  std::fclose(nmea);
  std::fclose(at);
  EXPECT_EQ(ReadFile(tmp.file("n.txt")), "-------------times : 3-------------\n");
  EXPECT_EQ(ReadFile(tmp.file("a.txt")),
            "-------------times : 3-------------\n-------------times : 12-------------\n");
}

TEST(RunLogs, StreamsKeepCarriageReturnsAndNulsAsGiven) {
  TempDir tmp;
  std::FILE* fp = std::fopen(tmp.file("r.txt").c_str(), "w");
  const std::string bytes("$GPRMC,1\r\n\0x\r\n", 14);
  EXPECT_TRUE(WriteLog(fp, kResultLogHeader));
  EXPECT_TRUE(WriteLog(fp, bytes));
  std::fclose(fp);
  EXPECT_EQ(ReadFile(tmp.file("r.txt")), std::string(kResultLogHeader) + bytes);
  EXPECT_FALSE(WriteLog(nullptr, "x"));
}

TEST(RunLogs, AFullDiskIsReported) {
  std::FILE* fp = std::fopen("/dev/full", "w");
  ASSERT_NE(fp, nullptr);
  EXPECT_FALSE(WriteLog(fp, std::string(10000, 'x')));
  std::fclose(fp);
}

}  // namespace
