#include "engine/run_logs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/csv_fields.h"
#include "engine/ttff_report.h"
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

// Two tests started within one second: the later one gets the next free
// stem and the earlier one's logs stay as they were.
TEST(RunLogs, ASecondTestInTheSameSecondGetsAStemOfItsOwn) {
  TempDir tmp;
  const std::string day = tmp.dir();
  EXPECT_EQ(UniqueTestStem(day, "09-05-07"), "09-05-07");
  testsupport::WriteFile(MakeTestLogPaths(day, "09-05-07").result, "first");
  EXPECT_EQ(UniqueTestStem(day, "09-05-07"), "09-05-07-2");
  testsupport::WriteFile(MakeTestLogPaths(day, "09-05-07-2").result, "second");
  EXPECT_EQ(UniqueTestStem(day, "09-05-07"), "09-05-07-3");
  EXPECT_EQ(UniqueTestStem(day, "09-05-08"), "09-05-08");
  EXPECT_EQ(testsupport::ReadFile(MakeTestLogPaths(day, "09-05-07").result), "first");
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

TEST(RunLogs, ASummaryThatCannotBeWrittenKeepsTheLastGoodCopy) {
  // The temporary copy lands on /dev/full, which refuses every write with
  // ENOSPC as a full file system does: the summary of the first run stays.
  TempDir tmp;
  const std::string base = tmp.file("09-05-07");
  TestReport report;
  ASSERT_TRUE(report.Open(base));
  RunRecord r;
  r.run = 1;
  r.success = true;
  r.ttff_s = 31.5;
  report.Add(r);
  const std::string good = ReadFile(report.SummaryPath());
  ASSERT_NE(good.find("\"runs\": 1"), std::string::npos) << good;
  std::filesystem::create_symlink("/dev/full", report.SummaryPath() + ".tmp");
  r.run = 2;
  report.Add(r);
  // Not replaced by the link (reading /dev/full would never end).
  ASSERT_TRUE(
      std::filesystem::is_regular_file(std::filesystem::symlink_status(report.SummaryPath())));
  EXPECT_EQ(ReadFile(report.SummaryPath()), good);
  EXPECT_FALSE(std::filesystem::exists(report.SummaryPath() + ".tmp"));
  // Once there is room again, the summary is brought up to date.
  report.WriteSummary(0, true);
  EXPECT_NE(ReadFile(report.SummaryPath()).find("\"runs\": 2"), std::string::npos);
  // Every CSV row that was written is whole (a run without a timeline: its
  // 16 columns empty).
  const std::string no_timeline(16, ',');
  EXPECT_EQ(ReadFile(report.CsvPath()).substr(ReadFile(report.CsvPath()).find('\n') + 1),
            "1,SUCC,31.500,,Hot Start,0,,1," + no_timeline + "\n2,SUCC,31.500,,Hot Start,0,,1," +
                no_timeline + "\n");
  report.Close();
}

// A free text holding a comma (the reset check's reason) is one CSV field,
// quoted as RFC 4180 has it, so that a reader taking the columns by their
// header names finds every later column where the header says.
TEST(RunLogs, ACommaInAReasonStaysInsideItsCsvField) {
  TempDir tmp;
  TestReport report;
  report.SetRestartType(1);  // cold: the reset_suspect column
  ASSERT_TRUE(report.Open(tmp.file("09-05-08")));
  RunRecord r;
  r.run = 1;
  r.success = true;
  r.ttff_s = 2.5;
  r.reset_suspect = "fix in 2.50 s, faster than a cold start can be (10 s)";
  r.timeline.fix_ms = 2500;
  report.Add(r);
  r.run = 2;
  r.reset_suspect = "a \"quoted\" word";
  report.Add(r);
  report.Close();
  const std::string csv = ReadFile(report.CsvPath());
  EXPECT_NE(csv.find(",\"fix in 2.50 s, faster than a cold start can be (10 s)\",,,,,2500,"),
            std::string::npos)
      << csv;
  EXPECT_NE(csv.find(",\"a \"\"quoted\"\" word\",,,,,2500,"), std::string::npos) << csv;
}

TEST(RunLogs, AFullDiskIsReported) {
  std::FILE* fp = std::fopen("/dev/full", "w");
  ASSERT_NE(fp, nullptr);
  EXPECT_FALSE(WriteLog(fp, std::string(10000, 'x')));
  std::fclose(fp);
}

}  // namespace

// The runs CSV as its readers (the report, the store) split it: quoted
// fields as RFC 4180 has them; and every text the writer quotes comes back
// whole.
TEST(CsvFields, SplitAsRfc4180AndEveryWrittenFieldComesBackWhole) {
  const struct {
    const char* line;
    std::vector<std::string> fields;
  } cases[] = {
      {"1,SUCC,2.000,,Hot Start", {"1", "SUCC", "2.000", "", "Hot Start"}},
      {"3,FAIL,,", {"3", "FAIL", "", ""}},
      {R"x(2,SUCC,"fix in 1.01 s, faster than a cold start can be (10 s)")x",
       {"2", "SUCC", "fix in 1.01 s, faster than a cold start can be (10 s)"}},
      {R"("say ""hi""",x)", {"say \"hi\"", "x"}},
      {"a,b\r", {"a", "b"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SplitCsvFields(c.line), c.fields) << c.line;
  for (const std::string text : {"", "time-out", "fix in 3.94 s, faster than a warm start (5 s)",
                                 "a \"quoted\" word", "\"", ",", "two\nlines", "end\r"}) {
    const std::vector<std::string> fields =
        SplitCsvFields("1," + CsvField(text) + "," + CsvField(text) + "\r");
    ASSERT_EQ(fields.size(), 3u) << text;
    EXPECT_EQ(fields[1], text);
    EXPECT_EQ(fields[2], text);
  }
}
