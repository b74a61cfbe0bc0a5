#include "engine/results.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/run_settings.h"
#include "engine/ttff_report.h"

namespace {

TEST(Results, ResultLines) {
  EXPECT_EQ(FormatResultLine(1, 3, 31.5), "3\t\t\tSUCC\t\t\t31.500000\r\n");
  EXPECT_EQ(FormatResultLine(0, 12, 99.0), "12\t\t\tFAIL\t\t\tN/A\r\n");
}

TEST(Results, ListRows) {
  auto ok = FormatResultRow(TestResult{true, 12.3456, 5, {}, {}});
  EXPECT_EQ(ok.times, "5");
  EXPECT_EQ(ok.duration, "12.346");
  EXPECT_EQ(ok.result, "SUCC");
  auto fail = FormatResultRow(TestResult{false, 7.0, 6, {}, "time-out"});
  EXPECT_EQ(fail.duration, "N/A");
  EXPECT_EQ(fail.result, "FAIL");
}

TEST(Results, StatisticsOfOneFix) {
  TestStatistics s;
  s.nRuntimes = 1;
  FillDurationStatistics({12.5f}, s);
  EXPECT_EQ(FormatStatistics(s),
            "runtimes = 1\nfail times = 0\naverage = 12.50,max = 12.50,min = 12.50\n");
}

TEST(Results, AverageIsASinglePrecisionSum) {
  // 0.1f ten times in float is not exactly 1; the mean keeps float rounding.
  std::vector<float> tenths(10, 0.1f);
  float sum = 0.0f;
  for (float v : tenths)
    sum += v;
  EXPECT_EQ(ComputeAverage(tenths), sum / 10.0f);
  EXPECT_EQ(ComputeAverage({}), 0.0f);
}

TEST(RunSettings, DefineCountParsing) {
  struct {
    const char* text;
    int count;
  } cases[] = {{"0", 0},    {"-3", -3},   {"abc", 0}, {" 12 ", 12},
               {"7abc", 7}, {"\t5\n", 5}, {"", 0},    {"99999999999999", 2147483647}};
  for (const auto& c : cases)
    EXPECT_EQ(ParseDefineCount(c.text), c.count) << c.text;
}

TEST(Series, PercentilesAndSpread) {
  auto s = ComputeSeries({4, 1, 3, 2, 5});
  EXPECT_EQ(s.count, 5u);
  EXPECT_DOUBLE_EQ(s.mean, 3.0);
  EXPECT_DOUBLE_EQ(s.median, 3.0);
  EXPECT_DOUBLE_EQ(s.min, 1.0);
  EXPECT_DOUBLE_EQ(s.max, 5.0);
  EXPECT_NEAR(s.p95, 4.8, 1e-9);  // between the two largest
  EXPECT_NEAR(s.p67, 3.68, 1e-9);
  EXPECT_NEAR(s.stddev, std::sqrt(2.0), 1e-9);
  EXPECT_EQ(ComputeSeries({}).count, 0u);
}

}  // namespace
