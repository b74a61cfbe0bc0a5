// The engine end to end over pseudo-terminals against the module simulator.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>

#include "profiles/module_commands.h"
#include "tests/e2e/sim_rig.h"
#include "tests/support/timeline_columns.h"

namespace {

using testsupport::SimRig;
using Texts = std::vector<std::string>;

int Count(const Texts& v, const std::string& s) {
  return static_cast<int>(std::count(v.begin(), v.end(), s));
}

sim::FaultSet Faults(const std::string& words) {
  sim::FaultSet f;
  std::istringstream in(words);
  for (std::string w; in >> w;)
    EXPECT_TRUE(sim::ApplyFaultWord(w, f)) << w;
  return f;
}

TEST(EngineOverSim, OneColdRunWithGnssOff) {
  SimRig rig;
  rig.Open();
  rig.RunTest(RESTART_COLD, 1);
  EXPECT_EQ(rig.Commands(), (Texts{"AT+WGPS?", "AT+WGPSDEL=0", "AT+WGPS=1"}));
  ASSERT_EQ(rig.results.size(), 1u);
  EXPECT_TRUE(rig.results[0].bSucc);
  // The simulator's truth for a 4-s cold start, seen through 100-ms polls.
  const auto truth = rig.simulator.Truth();
  ASSERT_EQ(truth.size(), 1u);
  EXPECT_NEAR(rig.results[0].dDuration, truth[0].TtffUs() / 1e6, 0.5);
  EXPECT_TRUE(rig.engine->LastOutcome().completed);
}

TEST(EngineOverSim, GnssOnAtTheQueryIsStoppedFirst) {
  SimRig rig;
  rig.options.gnss_on = true;
  rig.Open();
  rig.RunTest(RESTART_HOT, 1);
  const Texts cmds = rig.Commands();
  ASSERT_GE(cmds.size(), 4u);
  EXPECT_EQ(Texts(cmds.begin(), cmds.begin() + 4),
            (Texts{"AT+WGPS?", "AT+WGPSEND", "AT+WGPSDEL=1", "AT+WGPS=1"}));
  const auto rec = rig.simulator.Commands();
  EXPECT_GE(rec[2].us - rec[1].us, 10'000'000);  // the pause after the stop
}

TEST(EngineOverSim, QueryAnsweredOnlyTheSecondTime) {
  SimRig rig;
  rig.options.script.Set(1, Faults("late=12000"));  // the first reply misses its 10 s
  rig.Open();
  rig.RunTest(RESTART_HOT, 1);
  const Texts cmds = rig.Commands();
  EXPECT_EQ(Texts(cmds.begin(), cmds.begin() + 2), (Texts{"AT+WGPS?", "AT+WGPS?"}));
  EXPECT_NE(rig.DebugLog().find("AT+WGPS? timeout...try again\n"), std::string::npos);
  EXPECT_EQ(Count(cmds, "AT+WGPSEND"), 0);
}

TEST(EngineOverSim, DeleteNeverAcknowledged) {
  SimRig rig(100.0);
  rig.options.script.Set(1, Faults("no-delete-ack"));
  rig.Open();
  rig.host->import_xtra = true;
  rig.RunTest(RESTART_WARM, 1);
  const Texts cmds = rig.Commands();
  EXPECT_EQ(Count(cmds, "AT+WGPSDEL=2"), 11);
  EXPECT_EQ(Count(cmds, "AT+CCLK?"), 0);  // no XTRA after giving up
  EXPECT_EQ(cmds.back(), "AT+WGPS=1");
  EXPECT_NE(rig.DebugLog().find("at command timeout...\n"), std::string::npos);
  ASSERT_EQ(rig.results.size(), 1u);
}

TEST(EngineOverSim, XtraWithClockReply) {
  SimRig rig;
  rig.Open();
  rig.host->import_xtra = true;
  rig.RunTest(RESTART_COLD, 1);
  const Texts cmds = rig.Commands();
  ASSERT_EQ(cmds.size(), 6u);
  EXPECT_EQ(cmds[2], "AT+CCLK?");
  EXPECT_TRUE(std::regex_match(
      cmds[3], std::regex(R"(AT\+WGPSXTRATIME=0,"20\d\d/\d\d/\d\d,\d\d:\d\d:\d\d",1,1,3500)")))
      << cmds[3];
  EXPECT_EQ(cmds[4], "AT+WGPSXTRADATA=\"RAM:xtra2.bin\"");
  EXPECT_EQ(cmds[5], "AT+WGPS=1");
  EXPECT_TRUE(rig.simulator.Truth().at(0).assisted);
}

TEST(EngineOverSim, XtraWithoutClockReplyAndAConfiguredCommand) {
  SimRig rig;
  rig.options.script.Set(1, Faults("error=AT+CCLK"));
  rig.Open();
  rig.host->import_xtra = true;
  g_config.SetImportXtraCmd("AT+WGPSXTRADATA=\"EFS:xtra3.bin\"");
  rig.RunTest(RESTART_HOT, 1);
  const Texts cmds = rig.Commands();
  EXPECT_EQ(Count(cmds, "AT+CCLK?"), 1);
  EXPECT_EQ(std::count_if(cmds.begin(), cmds.end(),
                          [](const std::string& c) { return c.rfind("AT+WGPSXTRATIME", 0) == 0; }),
            0);
  EXPECT_EQ(Count(cmds, "AT+WGPSXTRADATA=\"EFS:xtra3.bin\""), 1);  // with its "\r\n" appended
}

TEST(EngineOverSim, EveryRunFailingLeavesNoStatistics) {
  SimRig rig;
  g_config.SetTimeout(5);
  rig.options.script.SetAll(Faults("no-fix"));
  rig.Open();
  rig.RunTest(RESTART_HOT, 2);
  EXPECT_EQ(rig.ResultLog(), std::string(kResultLogHeader) + "1\t\t\tFAIL\t\t\tN/A\r\n" +
                                 "2\t\t\tFAIL\t\t\tN/A\r\n");
  EXPECT_EQ(Count(rig.Commands(), "AT+WGPSEND"), 1);  // between the runs only
}

TEST(EngineOverSim, StopDuringTheFixWait) {
  SimRig rig;
  rig.options.script.Set(2, Faults("no-fix"));
  rig.Open();
  rig.host->on_phase = [&](unsigned run, RunPhase phase) {
    if (run == 2 && phase == RunPhase::FixWait)
      rig.engine->Stop();
  };
  rig.RunTest(RESTART_HOT, 3);
  ASSERT_EQ(rig.results.size(), 2u);  // the interrupted run: a failure
  EXPECT_FALSE(rig.results[1].bSucc);
  EXPECT_EQ(rig.Commands().back(), "AT+WGPS=1");  // no stop command: GNSS stays on
  EXPECT_NE(rig.DebugLog().find("bExitThread = true, exit thread.\n"), std::string::npos);
}

TEST(EngineOverSim, StopDuringTheClosingPause) {
  SimRig rig;
  rig.Open();
  rig.host->on_phase = [&](unsigned run, RunPhase phase) {
    if (run == 1 && phase == RunPhase::ClosingPause)
      rig.engine->Stop();
  };
  rig.RunTest(RESTART_HOT, 3);
  EXPECT_EQ(rig.results.size(), 1u);
  EXPECT_EQ(Count(rig.Commands(), "AT+WGPS?"), 1);
  EXPECT_NE(rig.ResultLog().find("runtimes = 1\nfail times = 0\n"), std::string::npos);
}

TEST(EngineOverSim, SeveralRunsFormatTheResultLogAndAgreeWithTheCsv) {
  // A slower clock than the other tests: the precise TTFF is compared with
  // the truth, and scheduling delays count as many times as the clock runs
  // faster than real time.
  SimRig rig(10.0);
  g_config.SetTimeout(8);
  rig.options.script.Set(3, Faults("no-fix"));
  rig.Open();
  rig.RunTest(RESTART_COLD, 4);
  const std::string log = rig.ResultLog();
  const std::regex shape(
      "Times\t\t\tResult\t\t\tDuration\r\n"
      "1\t\t\tSUCC\t\t\t\\d+\\.\\d{6}\r\n"
      "2\t\t\tSUCC\t\t\t\\d+\\.\\d{6}\r\n"
      "3\t\t\tFAIL\t\t\tN/A\r\n"
      "4\t\t\tSUCC\t\t\t\\d+\\.\\d{6}\r\n"
      "runtimes = 4\nfail times = 1\naverage = \\d+\\.\\d\\d,max = \\d+\\.\\d\\d,min = "
      "\\d+\\.\\d\\d\n");
  EXPECT_TRUE(std::regex_match(log, shape)) << log;
  const auto records = rig.engine->LastOutcome().records;
  ASSERT_EQ(records.size(), 4u);
  EXPECT_FALSE(records[2].success);
  // Three AT+WGPSEND between runs, none after the last.
  EXPECT_EQ(Count(rig.Commands(), "AT+WGPSEND"), 3);
  // The precise TTFF follows the simulator's truth closely.
  const auto truth = rig.simulator.Truth();
  ASSERT_EQ(truth.size(), 4u);
  for (int i : {0, 1, 3}) {
    // At 10 times real speed, 30 ms of real scheduling delay under load still pass.
    EXPECT_NEAR(records[i].ttff_precise_s, truth[i].TtffUs() / 1e6, 0.3) << "run " << i + 1;
  }
}

TEST(EngineOverSim, NmeaPortVanishingMidRunFailsTheRunAsPortLostAndEndsTheTest) {
  SimRig rig;
  g_config.SetTimeout(6);
  rig.options.script.Set(1, Faults("no-fix drop-nmea=1"));
  rig.Open();
  rig.RunTest(RESTART_HOT, 2);
  ASSERT_EQ(rig.lost, std::vector<int>{1});  // told once, about the NMEA port
  EXPECT_NE(rig.lost_texts[0].find("NMEA port is gone"), std::string::npos);
  // Without reconnection the run fails at once as "port lost" and the test ends.
  ASSERT_EQ(rig.results.size(), 1u);
  EXPECT_FALSE(rig.results[0].bSucc);
  EXPECT_EQ(rig.engine->LastOutcome().end_reason, "port lost");
  EXPECT_EQ(rig.engine->LastOutcome().records[0].reason, "port lost");
  // The logs are intact and closed; the ports close cleanly and can open again.
  EXPECT_NE(rig.ResultLog().find("1\t\t\tFAIL\t\t\tN/A\r\n"), std::string::npos);
  rig.hub->ClosePorts();
  auto again = rig.hub->OpenPorts(
      {rig.simulator.AtDevicePath(), 115200, rig.simulator.AtDevicePath() + "-gone", 115200, ""});
  ASSERT_EQ(again.size(), 4u);
  EXPECT_EQ(again[0], "Open serial port failed!");
  EXPECT_NE(again[1].find("-gone does not exist."), std::string::npos) << again[1];
  EXPECT_EQ(again[2], "Serial Failed!");
  EXPECT_EQ(again[3], "Serial Failed!");
  rig.hub->ClosePorts();
}

TEST(EngineOverSim, AtPortVanishingFailsTheRunAsPortLostAndEndsTheTest) {
  SimRig rig;
  rig.options.script.Set(1, Faults("drop-at=0.5"));
  rig.Open();
  rig.RunTest(RESTART_HOT, 3);
  ASSERT_EQ(rig.lost, std::vector<int>{0});
  // Run 1 fails at once as "port lost", and the test ends there.
  ASSERT_EQ(rig.results.size(), 1u);
  EXPECT_FALSE(rig.results[0].bSucc);
  EXPECT_EQ(rig.engine->LastOutcome().end_reason, "port lost");
}

TEST(EngineOverSim, FaultyNmeaStreamStillGivesTheFix) {
  SimRig rig;
  rig.options.script.SetAll(Faults("garbage split-crlf burst"));
  rig.Open();
  rig.RunTest(RESTART_HOT, 2);
  ASSERT_EQ(rig.results.size(), 2u);
  EXPECT_TRUE(rig.results[0].bSucc);
  EXPECT_TRUE(rig.results[1].bSucc);
}

// A receiver that ignores the reset fixes in its first epoch: only that run
// is flagged, in the result, the CSV and the summary. (Its GSA lines follow
// the fixing RMC in that epoch, so the fix wait never reads them: here the
// fix time tells; the first-epoch rule is for receivers whose first epoch
// names satellites in use before its RMC says "A".)
TEST(EngineOverSim, IgnoredResetsAreFlaggedWithTheirReason) {
  for (const int type : {RESTART_COLD, RESTART_WARM}) {
    SCOPED_TRACE(RestartTypeName(type));
    SimRig rig;
    rig.options.ttff.warm = {20, 20};
    rig.options.ttff.cold = {30, 30};
    rig.options.script.Set(2, Faults("reset-ignored"));
    rig.Open();
    rig.RunTest(type, 3);
    ASSERT_EQ(rig.results.size(), 3u);
    const auto truth = rig.simulator.Truth();
    ASSERT_EQ(truth.size(), 3u);
    EXPECT_EQ(truth[1].restart_type, RESTART_HOT) << "the delete changed nothing";
    const std::string reason = type == RESTART_COLD ? "faster than a cold start can be (10 s)"
                                                    : "faster than a warm start can be (5 s)";
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_TRUE(rig.results[i].bSucc);
      if (i == 1) {
        EXPECT_NE(rig.results[i].reset_suspect.find(reason), std::string::npos)
            << rig.results[i].reset_suspect;
      } else {
        EXPECT_EQ(rig.results[i].reset_suspect, "") << "run " << i + 1;
      }
    }
    const TestOutcome out = rig.engine->LastOutcome();
    std::istringstream rows(testsupport::ReadFile(out.csv_path));
    std::string csv;
    for (std::string row; std::getline(rows, row);)
      csv += testsupport::WithoutTimeline(row) + "\n";
    EXPECT_NE(csv.find("\n2,SUCC,"), std::string::npos);
    EXPECT_NE(csv.find(reason + "\"\n3,SUCC,"), std::string::npos)
        << csv;  // quoted: it has a comma
    const auto summary = nlohmann::json::parse(testsupport::ReadFile(out.summary_path));
    EXPECT_EQ(summary.at("reset_suspects").at("count"), 1);
    EXPECT_EQ(summary.at("reset_suspects").at("runs")[0].at("run"), 2);
  }
}

}  // namespace
