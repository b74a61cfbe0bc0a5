// A replayed $GNRMC-only receiver end to end: with the rule "rmc" the engine
// finds its fix at the capture's first valid GNRMC epoch and records that
// sentence; with the tool's own rule it finds none.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "fix_rules/registry.h"
#include "profiles/module_commands.h"
#include "sim/replay.h"
#include "tests/e2e/sim_rig.h"
#include "tests/support/test_paths.h"
#include "tests/support/timeline_columns.h"

namespace {

using testsupport::SimRig;

const std::string kCapture = std::string(testsupport::kNmeaDataDir) + "/rx210.log";

// Seconds from the start's OK to the first epoch that holds a line the rule
// takes: the simulator sends epoch k one period after the OK plus the gaps of
// the epochs before it. Negative when no epoch does.
double FirstFixSeconds(const sim::ReplayCapture& capture, const FixRule& rule, double period_s) {
  double at = period_s;
  for (const auto& epoch : capture.Epochs()) {
    for (const auto& line : epoch.lines) {
      if (rule.IsFix(line, 0))
        return at;
    }
    at += static_cast<double>(epoch.gap_us) / 1e6;
  }
  return -1;
}

TEST(FixRuleReplay, GnrmcCaptureFixesWithRmcAtItsFirstValidEpoch) {
  std::string error;
  const auto capture = sim::ReplayCapture::Load(kCapture, &error);
  ASSERT_TRUE(capture) << error;
  ASSERT_EQ(capture->FirstFixEpoch(), -1) << "rx210.log should have no $GPRMC fix";
  const double expected = FirstFixSeconds(*capture, *fix_rules::Make("rmc"), 1.0);
  ASSERT_GT(expected, 10.0) << "the capture should start without a fix";

  // Ten times real speed: the 0.3 s allowed below is 30 ms of real
  // scheduling delay (at fifty, 6 ms: a loaded machine missed it).
  SimRig rig(10.0);
  g_config.SetTimeout(40);
  rig.options.replay_path = kCapture;
  rig.Open();
  rig.engine->SetFixRule("rmc");
  EXPECT_EQ(rig.engine->FixRuleName(), "rmc");
  rig.RunTest(RESTART_COLD, 1);
  ASSERT_EQ(rig.results.size(), 1u);
  EXPECT_TRUE(rig.results[0].bSucc);
  const TestOutcome out = rig.engine->LastOutcome();
  ASSERT_EQ(out.records.size(), 1u);
  EXPECT_EQ(out.records[0].fix_sentence, "GNRMC");
  EXPECT_NEAR(out.records[0].ttff_precise_s, expected, 0.3);
  EXPECT_NEAR(out.records[0].ttff_s, expected, 0.5);

  // The CSV row ends with the sentence (and, a cold start, its reset
  // check: 23 s is no suspect), the summary names the rule.
  const std::string csv = testsupport::ReadFile(out.csv_path);
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "run,result,ttff_s,ttff_precise_s,restart_type,xtra,start_time,time_scale,reason,"
            "fix_sentence,reset_suspect" +
                std::string(testsupport::kTimelineHeader));
  const std::string row = testsupport::WithoutTimeline(csv);
  EXPECT_EQ(row.substr(row.size() - 9), ",,GNRMC,\n") << csv;
  const auto summary = nlohmann::json::parse(testsupport::ReadFile(out.summary_path));
  EXPECT_EQ(summary.at("fix_rule"), "rmc");
}

TEST(FixRuleReplay, GnrmcCaptureHasNoFixWithTheDefaultRule) {
  SimRig rig;
  g_config.SetTimeout(40);
  rig.options.replay_path = kCapture;
  rig.Open();  // the engine of the hub's environment: the default rule
  rig.RunTest(RESTART_COLD, 1);
  ASSERT_EQ(rig.results.size(), 1u);
  EXPECT_FALSE(rig.results[0].bSucc);
  const TestOutcome out = rig.engine->LastOutcome();
  ASSERT_EQ(out.records.size(), 1u);
  EXPECT_EQ(out.records[0].reason, "time-out");
  EXPECT_EQ(out.records[0].fix_sentence, "");
  // The default rule adds no column of its own (a cold test has its reset check).
  const std::string csv = testsupport::ReadFile(out.csv_path);
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "run,result,ttff_s,ttff_precise_s,restart_type,xtra,start_time,time_scale,reason,"
            "reset_suspect" +
                std::string(testsupport::kTimelineHeader));
  const auto summary = nlohmann::json::parse(testsupport::ReadFile(out.summary_path));
  EXPECT_FALSE(summary.contains("fix_rule"));
}

}  // namespace
