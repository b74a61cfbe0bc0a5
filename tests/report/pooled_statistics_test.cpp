// Tests pooled from the store keep each run's own censoring time: the
// Kaplan-Meier percentiles of the pooled runs and the log-rank comparison
// censor a timed-out run at its own test's time-out, not at the largest one.
// The expected percentiles are worked by hand below, step by step.
#include <gtest/gtest.h>

#include "report/store_tests.h"
#include "report/ttff_view.h"
#include "stats/rank_tests.h"

namespace {

// A test of the given time-out: fixes at these TTFFs, then `timed_out` runs
// without a fix.
report::TestData ATest(const std::string& label, double timeout_s, const std::vector<double>& fixes,
                       int timed_out) {
  report::TestData t;
  t.files.label = label;
  t.summary = {{"conditions", {{"timeout_s", timeout_s}, {"restart_type", "cold"}}}};
  unsigned run = 0;
  for (double ttff : fixes) {
    RunRecord r;
    r.run = ++run;
    r.success = true;
    r.ttff_s = ttff;
    t.runs.push_back(r);
  }
  for (int i = 0; i < timed_out; ++i) {
    RunRecord r;
    r.run = ++run;
    r.reason = "time-out";
    t.runs.push_back(r);
  }
  return t;
}

double Estimate(const nlohmann::json& statistics, const char* p) {
  return statistics["ttff_km_s"][p]["estimate"].get<double>();
}

// A: 200-s time-out, eight fixes 40..110 s. B: 30-s time-out, fixes at 10
// and 20 s, six runs timed out. Pooled, by hand (n at risk, S after):
//   10 s: 16, 15/16 = 0.9375     20 s: 15, 0.875
//   30 s: B's six censored, 8 left at risk
//   40: 0.765625  50: 0.65625  60: 0.546875  70: 0.4375  80: 0.328125
//   90: 0.21875  100: 0.109375  110: 0
// p50: the first S <= 0.50, 70 s; p67: the first S <= 0.33, 80 s; p95: 110 s.
// Censored at 200 s instead, S would stand at exactly 0.5 from 90 to 100 s
// and the median read 95 s.
TEST(PooledStatistics, EachTimedOutRunIsCensoredAtItsOwnTestsTimeOut) {
  const report::TestData a = ATest("A", 200, {40, 50, 60, 70, 80, 90, 100, 110}, 0);
  const report::TestData b = ATest("B", 30, {10, 20}, 6);
  const report::TestData pooled = report::PoolTests({a, b}, "store:pooled");
  const nlohmann::json s = report::StatisticsOf(pooled);
  EXPECT_DOUBLE_EQ(Estimate(s, "p50"), 70);
  EXPECT_DOUBLE_EQ(Estimate(s, "p67"), 80);
  EXPECT_DOUBLE_EQ(Estimate(s, "p95"), 110);
  EXPECT_EQ(s["ttff_km_s"]["censored"], 6);
  EXPECT_EQ(s["ttff_km_s"]["censored_at"], 30.0);
  for (const char* p : {"p50", "p67"}) {
    const auto& e = s["ttff_km_s"][p];
    EXPECT_LE(e["ci_low"].get<double>(), e["estimate"].get<double>()) << p;
    if (e["ci_high"].is_number()) {
      EXPECT_GE(e["ci_high"].get<double>(), e["estimate"].get<double>()) << p;
    }
  }
  // The comparison takes the same observations: B's six at 30 s.
  int censored_at_30 = 0;
  for (const stats::Observation& o : report::Observations(pooled))
    censored_at_30 += !o.fixed && o.time_s == 30 ? 1 : 0;
  EXPECT_EQ(censored_at_30, 6);
  // The conditions say the time-outs differ.
  const auto rows = report::Conditions(pooled);
  bool said = false;
  for (const auto& [name, value] : rows)
    said = said || (name == "time-out" && value.find("30 to 200 s") != std::string::npos);
  EXPECT_TRUE(said);

  // Tests of one time-out pool to what one test of all their runs gives.
  const report::TestData c = ATest("C", 200, {10, 20}, 6);
  const nlohmann::json same = report::StatisticsOf(report::PoolTests({a, c}, "store:same"));
  std::vector<double> all = {40, 50, 60, 70, 80, 90, 100, 110, 10, 20};
  const nlohmann::json one = report::StatisticsOf(ATest("one", 200, all, 6));
  for (const char* p : {"p50", "p67", "p95"})
    EXPECT_EQ(same["ttff_km_s"][p], one["ttff_km_s"][p]) << p;
  EXPECT_DOUBLE_EQ(Estimate(same, "p50"), 95);  // S is 0.5 from 90 to 100 s: the midpoint
}

}  // namespace
