// The worker loop in virtual time against a scripted module.
#include "engine/ttff_engine.h"

#include <gtest/gtest.h>
#include <fstream>

#include <future>

#include "engine/at_exchange.h"
#include "platform/file_writes.h"
#include "platform/free_space.h"
#include "profiles/module_commands.h"
#include "tests/engine/engine_harness.h"

namespace {

using testsupport::EngineHarness;
using Texts = std::vector<std::string>;

int Count(const Texts& v, const std::string& s) {
  return static_cast<int>(std::count(v.begin(), v.end(), s));
}

size_t Occurrences(const std::string& hay, const std::string& needle) {
  size_t n = 0;
  for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1))
    ++n;
  return n;
}

TEST(TestEngine, OneRunWithGnssOffMakesNoStopCommands) {
  EngineHarness h;
  h.module.ttff_ms = [](int) { return 3000; };
  h.RunTest(RESTART_HOT, 1);
  EXPECT_EQ(h.module.CommandTexts(), (Texts{"AT+WGPS?\r\n", "AT+WGPSDEL=1\r\n", "AT+WGPS=1\r\n"}));
  ASSERT_EQ(h.results.size(), 1u);
  EXPECT_TRUE(h.results[0].bSucc);
  EXPECT_EQ(h.results[0].nTimes, 1u);
  EXPECT_NEAR(h.results[0].dDuration, 3.0, 0.11);
  EXPECT_EQ(h.host.live_view_clears, 0);  // one run: no clearing between runs
  // Start, clear position, clear satellites, finish, in that order.
  EXPECT_EQ(h.messages, (std::vector<unsigned>{kMsgTestStarted, kMsgClearPosition,
                                               kMsgClearSatellites, kMsgTestFinished}));
  EXPECT_EQ(h.host.setup_enables, (std::vector<bool>{false, true}));
  EXPECT_EQ(h.engine->RunState(), 0);
  EXPECT_TRUE(h.engine->LastOutcome().completed);
}

TEST(TestEngine, GnssOnIsStoppedFirstThenPausedTenSeconds) {
  EngineHarness h;
  h.module.gnss_on = true;
  h.RunTest(RESTART_COLD, 1);
  const auto cmds = h.module.Commands();
  ASSERT_GE(cmds.size(), 3u);
  EXPECT_EQ(cmds[0].text, "AT+WGPS?\r\n");
  EXPECT_EQ(cmds[1].text, "AT+WGPSEND\r\n");
  EXPECT_EQ(cmds[2].text, "AT+WGPSDEL=0\r\n");
  EXPECT_GE(cmds[2].at_us - cmds[1].at_us, 10'000'000);
}

TEST(TestEngine, DeleteCommandFollowsTheRestartType) {
  for (auto [type, cmd] :
       {std::pair{RESTART_HOT, "AT+WGPSDEL=1\r\n"}, std::pair{RESTART_COLD, "AT+WGPSDEL=0\r\n"},
        std::pair{RESTART_WARM, "AT+WGPSDEL=2\r\n"}}) {
    EngineHarness h;
    h.RunTest(type, 1);
    EXPECT_EQ(h.module.CommandTexts().at(1), cmd);
  }
}

TEST(TestEngine, QueryAnsweredOnlyTheSecondTimeSkipsTheFirstStop) {
  EngineHarness h;
  h.module.gnss_on = true;  // the second reply even says GNSS is on
  h.module.answer = [](const std::string& cmd, int count) {
    return !(cmd == "AT+WGPS?\r\n" && count == 1);
  };
  h.RunTest(RESTART_HOT, 1);
  const Texts cmds = h.module.CommandTexts();
  EXPECT_EQ(Texts(cmds.begin(), cmds.begin() + 3),
            (Texts{"AT+WGPS?\r\n", "AT+WGPS?\r\n", "AT+WGPSDEL=1\r\n"}));
  EXPECT_EQ(Occurrences(h.DebugLog(), "AT+WGPS? timeout...try again\n"), 1u);
  EXPECT_EQ(h.results.size(), 1u);
}

TEST(TestEngine, SilentModuleEndsTheTestAfterTwoQueries) {
  EngineHarness h;
  h.module.answer = [](const std::string&, int) { return false; };
  const auto start = h.clock->MonotonicUs();
  h.RunTest(RESTART_HOT, 5);
  EXPECT_EQ(h.module.CommandTexts(), (Texts{"AT+WGPS?\r\n", "AT+WGPS?\r\n"}));
  const std::string debug = h.DebugLog();
  EXPECT_NE(debug.find("AT+WGPS? timeout...try again\n"), std::string::npos);
  EXPECT_NE(debug.find("AT+WGPS? timeout...finnaly\n"), std::string::npos);
  EXPECT_TRUE(h.host.messages.empty());  // no message box for this one
  EXPECT_EQ(h.ResultLog(), kResultLogHeader);
  EXPECT_TRUE(h.results.empty());
  EXPECT_EQ(h.messages.back(), kMsgTestFinished);
  // Two 10-s waits, each ending within a poll of its time-out.
  const auto took = h.clock->MonotonicUs() - start;
  EXPECT_GE(took, 20'000'000);
  EXPECT_LE(took, 20'400'000);
  // The run leaves only its separator in the NMEA log.
  EXPECT_EQ(h.NmeaLog(), "-------------times : 1-------------\n");
}

TEST(TestEngine, DeleteNeverAcknowledgedGivesElevenAttemptsThenStartsWithoutXtra) {
  EngineHarness h;
  h.host.import_xtra = true;
  h.module.answer = [](const std::string& cmd, int) { return cmd != "AT+WGPSDEL=1\r\n"; };
  h.RunTest(RESTART_HOT, 1);
  const auto cmds = h.module.Commands();
  Texts texts = h.module.CommandTexts();
  EXPECT_EQ(Count(texts, "AT+WGPSDEL=1\r\n"), 11);
  EXPECT_EQ(Count(texts, "AT+CCLK?\r\n"), 0);
  EXPECT_EQ(texts.back(), "AT+WGPS=1\r\n");
  // Attempts spaced by a 10-s wait and a 5-s pause.
  std::vector<std::int64_t> at;
  for (const auto& c : cmds) {
    if (c.text == "AT+WGPSDEL=1\r\n")
      at.push_back(c.at_us);
  }
  for (size_t i = 1; i < at.size(); ++i) {
    EXPECT_GE(at[i] - at[i - 1], 15'000'000);
    EXPECT_LE(at[i] - at[i - 1], 15'300'000);
  }
  EXPECT_EQ(Occurrences(h.DebugLog(), "at command timeout...\n"), 1u);
  ASSERT_EQ(h.results.size(), 1u);
}

TEST(TestEngine, XtraWithClockReplyInjectsTimeThenData) {
  EngineHarness h;
  h.host.import_xtra = true;
  g_strXtraTime.clear();
  g_config.SetUncrtn(3500);
  h.RunTest(RESTART_COLD, 1);
  EXPECT_EQ(h.module.CommandTexts(),
            (Texts{"AT+WGPS?\r\n", "AT+WGPSDEL=0\r\n", "AT+CCLK?\r\n",
                   "AT+WGPSXTRATIME=0,\"2024/01/15,08:30:00\",1,1,3500\r\n",
                   "AT+WGPSXTRADATA=\"RAM:xtra2.bin\"\r\n", "AT+WGPS=1\r\n"}));
  EXPECT_TRUE(h.engine->LastOutcome().records.at(0).xtra);
}

TEST(TestEngine, XtraWithoutClockReplyStillSendsTheData) {
  EngineHarness h;
  h.host.import_xtra = true;
  h.module.answer = [](const std::string& cmd, int) { return cmd != "AT+CCLK?\r\n"; };
  g_config.SetImportXtraCmd("AT+WGPSXTRADATA=\"EFS:x.bin\"");  // no "\r\n": appended
  h.RunTest(RESTART_WARM, 1);
  EXPECT_EQ(h.module.CommandTexts(), (Texts{"AT+WGPS?\r\n", "AT+WGPSDEL=2\r\n", "AT+CCLK?\r\n",
                                            "AT+WGPSXTRADATA=\"EFS:x.bin\"\r\n", "AT+WGPS=1\r\n"}));
}

TEST(TestEngine, EmptyXtraCommandSendsTheDefault) {
  EngineHarness h;
  h.host.import_xtra = true;
  g_config.SetImportXtraCmd("");
  h.RunTest(RESTART_HOT, 1);
  EXPECT_EQ(Count(h.module.CommandTexts(), "AT+WGPSXTRADATA=\"RAM:xtra2.bin\"\r\n"), 1);
}

TEST(TestEngine, XtraDataNeverAcknowledgedEndsTheTestWithABox) {
  EngineHarness h;
  h.host.import_xtra = true;
  h.module.answer = [](const std::string& cmd, int) {
    return cmd.rfind("AT+WGPSXTRADATA", 0) != 0;
  };
  h.RunTest(RESTART_HOT, 3);
  EXPECT_EQ(Count(h.module.CommandTexts(), "AT+WGPSXTRADATA=\"RAM:xtra2.bin\"\r\n"), 3);
  EXPECT_EQ(Count(h.module.CommandTexts(), "AT+WGPS=1\r\n"), 0);
  EXPECT_EQ(h.host.messages, (Texts{"AT(XTRA) command timeout!check will break"}));
  EXPECT_TRUE(h.results.empty());
}

TEST(TestEngine, StartNotAcknowledgedEndsTheTestWithABox) {
  EngineHarness h;
  h.module.answer = [](const std::string& cmd, int) { return cmd != "AT+WGPS=1\r\n"; };
  h.RunTest(RESTART_HOT, 2);
  EXPECT_EQ(h.host.messages, (Texts{"AT command timeout!check will break"}));
  EXPECT_EQ(Count(h.module.CommandTexts(), "AT+WGPS=1\r\n"), 1);
  EXPECT_TRUE(h.results.empty());
}

// A per-test log that cannot be created is told with the "fopen failed!"
// box, once per log, and the test goes on with the others.
TEST(TestEngine, LogsThatCannotBeCreatedAreToldAndTheTestGoesOn) {
  EngineHarness h;
  const std::string taken = h.tmp.file("taken");
  std::ofstream(taken) << "a file where the day folder goes";
  h.UseDayDir(taken);
  h.RunTest(RESTART_HOT, 2);
  EXPECT_EQ(h.host.messages, (Texts{"fopen failed!", "fopen failed!", "fopen failed!"}));
  ASSERT_EQ(h.results.size(), 2u);
  EXPECT_TRUE(h.results[1].bSucc);
}

TEST(TestEngine, EveryRunFailingLeavesNoStatisticsBlock) {
  EngineHarness h;
  g_config.SetTimeout(5);
  h.module.ttff_ms = [](int) { return -1; };
  h.RunTest(RESTART_HOT, 2);
  EXPECT_EQ(h.ResultLog(), std::string(kResultLogHeader) + "1\t\t\tFAIL\t\t\tN/A\r\n" +
                               "2\t\t\tFAIL\t\t\tN/A\r\n");
  EXPECT_EQ(Occurrences(h.DebugLog(), "AT+WGPS=1 timeout...\n"), 2u);
  ASSERT_EQ(h.results.size(), 2u);
  EXPECT_FALSE(h.results[0].bSucc);
}

TEST(TestEngine, FourRunExampleResultLogByteForByte) {
  EngineHarness h;
  g_config.SetTimeout(60);
  // Fixes after 20, 30 and 40 s; the third run never gets one.
  h.module.ttff_ms = [](int start) -> std::int64_t {
    switch (start) {
      case 1:
        return 20000;
      case 2:
        return 30000;
      case 3:
        return -1;
      default:
        return 40000;
    }
  };
  h.RunTest(RESTART_COLD, 4);
  EXPECT_EQ(h.ResultLog(), std::string(kResultLogHeader) +
                               "1\t\t\tSUCC\t\t\t20.000000\r\n"
                               "2\t\t\tSUCC\t\t\t30.000000\r\n"
                               "3\t\t\tFAIL\t\t\tN/A\r\n"
                               "4\t\t\tSUCC\t\t\t40.000000\r\n"
                               "runtimes = 4\nfail times = 1\n"
                               "average = 30.00,max = 40.00,min = 20.00\n");
  // Every run but the last stops GNSS after itself and clears the live view.
  EXPECT_EQ(Count(h.module.CommandTexts(), "AT+WGPSEND\r\n"), 3);
  EXPECT_EQ(h.host.live_view_clears, 3);
  // The precise TTFF comes from the arrival stamps.
  const auto records = h.engine->LastOutcome().records;
  ASSERT_EQ(records.size(), 4u);
  EXPECT_NEAR(records[0].ttff_precise_s, 20.0, 0.001);
  EXPECT_NEAR(records[3].ttff_precise_s, 40.0, 0.001);
  // The CSV has a row per recorded run and the summary agrees.
  const std::string csv = testsupport::ReadFile(h.engine->LastOutcome().csv_path);
  EXPECT_EQ(Occurrences(csv, "\n"), 5u);
  EXPECT_NE(csv.find("3,FAIL,,,Cold Start,0,"), std::string::npos);
  const std::string summary = testsupport::ReadFile(h.engine->LastOutcome().summary_path);
  EXPECT_NE(summary.find("\"runs\": 4"), std::string::npos);
  EXPECT_NE(summary.find("\"failures\": 1"), std::string::npos);
}

TEST(TestEngine, StopDuringTheFixWaitEndsWithoutResultLineOrStopCommand) {
  EngineHarness h;
  h.module.ttff_ms = [](int start) -> std::int64_t { return start == 1 ? 5000 : -1; };
  h.host.on_phase = [&](unsigned run, RunPhase phase) {
    if (run == 2 && phase == RunPhase::FixWait)
      h.engine->Stop();
  };
  h.RunTest(RESTART_HOT, 5);
  ASSERT_EQ(h.results.size(), 2u);  // the interrupted run's row: a failure
  EXPECT_FALSE(h.results[1].bSucc);
  EXPECT_EQ(h.ResultLog().find("2\t\t\tFAIL"), std::string::npos);  // but no result line
  const Texts cmds = h.module.CommandTexts();
  EXPECT_EQ(cmds.back(), "AT+WGPS=1\r\n");  // GNSS stays on
  const std::string debug = h.DebugLog();
  const auto a = debug.find("AT+WGPS=1 timeout...\n");
  const auto b = debug.find("bExitThread = true, exit thread.\n");
  ASSERT_NE(a, std::string::npos);
  ASSERT_NE(b, std::string::npos);
  EXPECT_LT(a, b);
  // Statistics from the one fix, with the interrupted run among the failures.
  const std::string log = h.ResultLog();
  EXPECT_NE(log.find("runtimes = 1\nfail times = 1\n"), std::string::npos);
  EXPECT_EQ(h.engine->LastOutcome().end_reason, "stopped");
}

// A run interrupted before its result is accounted for the same way
// whether Stop was pressed or the window closed (which stops the test, then
// ends every wait at once), wherever the run was: a failure "stopped" in
// the list, the records (CSV, store) and the summary's "failures"; counted
// in the result log's "fail times" without a line; no attempt of the
// receiver for the success rate and the statistics.
TEST(TestEngine, AnInterruptedRunIsAccountedAlikeByStopAndByClosing) {
  struct Case {
    const char* legend;
    RunPhase phase;
    bool closing;
  };
  const Case cases[] = {
      {"Stop in the fix wait", RunPhase::FixWait, false},
      {"Stop in the query", RunPhase::Query, false},
      {"closing in the fix wait", RunPhase::FixWait, true},
      {"closing in the query", RunPhase::Query, true},
      {"closing in the delete", RunPhase::Delete, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    EngineHarness h;
    h.module.ttff_ms = [](int start) -> std::int64_t { return start == 1 ? 5000 : 60000; };
    h.host.on_phase = [&](unsigned run, RunPhase phase) {
      if (run != 2 || phase != c.phase)
        return;
      h.engine->Stop();
      if (c.closing)
        h.engine->RequestShutdown();
    };
    h.RunTest(RESTART_HOT, 5);
    const TestOutcome out = h.engine->LastOutcome();
    ASSERT_EQ(h.results.size(), 2u);
    EXPECT_FALSE(h.results[1].bSucc);
    EXPECT_EQ(h.results[1].nTimes, 2u);
    ASSERT_EQ(out.records.size(), 2u);
    EXPECT_EQ(out.records[1].reason, "stopped");
    EXPECT_EQ(out.end_reason, "stopped");
    EXPECT_EQ(out.failures, 1);
    const std::string log = h.ResultLog();
    EXPECT_EQ(log.rfind(std::string(kResultLogHeader) + "1\t\t\tSUCC\t\t\t", 0), 0u) << log;
    EXPECT_EQ(log.find("FAIL"), std::string::npos) << log;
    EXPECT_NE(log.find("\r\nruntimes = 1\nfail times = 1\naverage = "), std::string::npos) << log;
    const std::string summary = testsupport::ReadFile(out.summary_path);
    for (const char* key : {"\"runs\": 2", "\"failures\": 1", "\"success_rate\": 1.0",
                            "\"stopped\": 1", "\"port_lost\": 0"})
      EXPECT_NE(summary.find(key), std::string::npos) << key << "\n" << summary;
    EXPECT_EQ(out.ttff_statistics.success.k, 1u);
    EXPECT_EQ(out.ttff_statistics.success.n, 1u);
  }
}

TEST(TestEngine, StopDuringTheClosingPauseEndsBeforeTheNextRun) {
  EngineHarness h;
  h.host.on_phase = [&](unsigned run, RunPhase phase) {
    if (run == 1 && phase == RunPhase::ClosingPause)
      h.engine->Stop();
  };
  h.RunTest(RESTART_HOT, 3);
  EXPECT_EQ(h.results.size(), 1u);
  EXPECT_EQ(h.module.Starts(), 1);
  EXPECT_EQ(Occurrences(h.NmeaLog(), "-------------times : 2"), 0u);
  EXPECT_NE(h.ResultLog().find("runtimes = 1\nfail times = 0\n"), std::string::npos);
}

TEST(TestEngine, ASecondStartWhileRunningStartsNothing) {
  EngineHarness h;
  h.module.answer = [](const std::string&, int) { return false; };
  // Hold the worker in its first query until the second Start was tried, so
  // the virtual-time test cannot finish before it.
  std::promise<void> tried;
  std::shared_future<void> tried_future = tried.get_future().share();
  h.host.on_phase = [&](unsigned, RunPhase phase) {
    if (phase == RunPhase::Query)
      tried_future.wait_for(std::chrono::seconds(30));
  };
  ASSERT_TRUE(h.engine->Start(RESTART_HOT, 1));
  const bool second = h.engine->Start(RESTART_HOT, 1);
  tried.set_value();
  ASSERT_TRUE(h.loop.RunUntil([&] { return !h.engine->IsRunning(); }, 60000));
  h.engine->Join();
  EXPECT_FALSE(second);
  EXPECT_EQ(Count(h.module.CommandTexts(), "AT+WGPS?\r\n"), 2);  // one test's two queries
}

TEST(TestEngine, ShutdownDuringTheFixWaitWritesWhatItHasAndEnds) {
  EngineHarness h;
  h.module.ttff_ms = [](int start) -> std::int64_t { return start == 1 ? 2000 : -1; };
  std::int64_t asked_at = 0;
  h.host.on_phase = [&](unsigned run, RunPhase phase) {
    if (run == 2 && phase == RunPhase::FixWait) {
      asked_at = h.clock->MonotonicUs();
      h.engine->RequestShutdown();
    }
  };
  h.RunTest(RESTART_HOT, 10);
  EXPECT_LE(h.clock->MonotonicUs() - asked_at, 1'000'000);  // within a second
  EXPECT_EQ(h.results.size(), 1u);
  EXPECT_NE(h.ResultLog().find("runtimes = 1\nfail times = 0\n"), std::string::npos);
  EXPECT_EQ(Occurrences(h.DebugLog(), "AT+WGPS=1 timeout"), 0u);
  EXPECT_EQ(h.engine->LastOutcome().end_reason, "program ending");
}

TEST(TestEngine, ShutdownDuringAPauseEndsWithinASecond) {
  EngineHarness h;
  h.module.gnss_on = true;  // a 10-s pause after the first stop
  std::int64_t asked_at = 0;
  h.host.on_phase = [&](unsigned, RunPhase phase) {
    if (phase == RunPhase::FirstStop) {
      asked_at = h.clock->MonotonicUs();
      h.engine->RequestShutdown();
    }
  };
  h.RunTest(RESTART_HOT, 1);
  EXPECT_LE(h.clock->MonotonicUs() - asked_at, 1'000'000);
  EXPECT_EQ(h.module.Starts(), 0);
}

TEST(TestEngine, AtLogHoldsEveryConsumedReplyWithItsTimestamp) {
  EngineHarness h;
  const std::string long_line = std::string(300, 'L') + "\r\n";
  h.module.extra_lines["AT+WGPSDEL"] = {"AT+WGPSDEL=1\r\n", long_line};  // echo, then a long line
  h.RunTest(RESTART_HOT, 1);
  const std::string at = h.AtLog();
  const std::string stamp = FormatTimestamp(h.clock->Now()).substr(0, 11);  // the date part
  EXPECT_EQ(at.rfind("-------------times : 1-------------\n", 0), 0u);
  EXPECT_NE(at.find("\t+WGPS: 0\r\n"), std::string::npos);
  EXPECT_NE(at.find("\tAT+WGPSDEL=1\r\n"), std::string::npos);
  EXPECT_NE(at.find("\t" + long_line), std::string::npos);  // logged whole
  EXPECT_EQ(Occurrences(at, "\tOK\r\n"), 3u);
  EXPECT_NE(at.find(stamp), std::string::npos);
}

TEST(TestEngine, NmeaLogHoldsTheLinesUpToTheFixAndTheCapture) {
  EngineHarness h;
  g_config.SetIntervalSleep(3);
  h.module.ttff_ms = [](int) { return 2000; };
  h.RunTest(RESTART_HOT, 1);
  const std::string log = h.NmeaLog();
  EXPECT_EQ(log.rfind("-------------times : 1-------------\n$GPRMC,000001.00,V", 0), 0u);
  // Epochs 1..2 up to the fix, then about three seconds of capture.
  EXPECT_NE(log.find("$GPRMC,000002.00,A"), std::string::npos);
  EXPECT_NE(log.find("$GPRMC,000005.00,A"), std::string::npos);
  EXPECT_EQ(log.find("$GPRMC,000007.00"), std::string::npos);
}

}  // namespace

namespace {

// Closing the program (window closed, Ctrl-C) in every phase of a run ends
// the test within a second and keeps what the finished runs recorded.
TEST(TestEngine, ShutdownInEveryPhaseEndsWithinASecondAndKeepsTheFinishedRuns) {
  const RunPhase phases[] = {RunPhase::Query,   RunPhase::FirstStop, RunPhase::Delete,
                             RunPhase::Xtra,    RunPhase::Pause,     RunPhase::Start,
                             RunPhase::FixWait, RunPhase::Record,    RunPhase::Capture,
                             RunPhase::Tidy,    RunPhase::Stop,      RunPhase::ClosingPause};
  for (RunPhase phase : phases) {
    SCOPED_TRACE(RunPhaseName(phase));
    EngineHarness h;
    h.host.import_xtra = true;  // every phase is visited
    std::int64_t asked_at = -1;
    h.host.on_phase = [&](unsigned run, RunPhase p) {
      if (run == 2 && p == phase && asked_at < 0) {
        asked_at = h.clock->MonotonicUs();
        h.engine->RequestShutdown();
      }
    };
    h.module.answer = [&](const std::string& cmd, int count) {
      // Run 2's query finds GNSS on, so it goes through a first stop too.
      if (cmd == "AT+WGPS?\r\n" && count == 2)
        h.module.gnss_on = true;
      return true;
    };
    h.RunTest(RESTART_COLD, 3);
    ASSERT_GE(asked_at, 0) << "phase never reached";
    EXPECT_LE(h.clock->MonotonicUs() - asked_at, 1'000'000);
    EXPECT_TRUE(h.host.messages.empty());  // no box while the program closes
    ASSERT_GE(h.results.size(), 1u);
    const std::string log = h.ResultLog();
    EXPECT_EQ(log.rfind(kResultLogHeader, 0), 0u);
    EXPECT_NE(log.find("1\t\t\tSUCC\t\t\t"), std::string::npos);
    EXPECT_NE(log.find("average = "), std::string::npos);  // statistics of the finished runs
    EXPECT_LE(h.module.Starts(), 2);
  }
}

}  // namespace

namespace {

// Wherever Stop lands, the end reason, the outcome's `completed` and the
// summary's "finished" tell the same story: a Stop after the last run's fix
// (its capture, its closing pause) leaves every run made, so the test is
// complete; a Stop before that ends it early.
TEST(TestEngine, EndReasonAndFinishedAgreeWhereverStopLands) {
  struct Case {
    const char* legend;
    unsigned run;
    RunPhase phase;
    bool completed;
    const char* reason;
    std::size_t records;
  };
  const Case cases[] = {
      {"last run's capture", 2, RunPhase::Capture, true, "completed", 2},
      {"last run's closing pause", 2, RunPhase::ClosingPause, true, "completed", 2},
      {"last run's fix wait", 2, RunPhase::FixWait, false, "stopped", 2},
      {"first run's closing pause", 1, RunPhase::ClosingPause, false, "stopped", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    EngineHarness h;
    h.module.ttff_ms = [](int) { return 3000; };
    h.host.on_phase = [&](unsigned run, RunPhase phase) {
      if (run == c.run && phase == c.phase)
        h.engine->Stop();
    };
    h.RunTest(RESTART_HOT, 2);
    const TestOutcome out = h.engine->LastOutcome();
    EXPECT_EQ(out.completed, c.completed);
    EXPECT_EQ(out.end_reason, c.reason);
    EXPECT_EQ(out.records.size(), c.records);
    const std::string summary = testsupport::ReadFile(out.summary_path);
    const std::string finished = c.completed ? "\"finished\": true" : "\"finished\": false";
    EXPECT_NE(summary.find(finished), std::string::npos) << summary;
  }
}

TEST(TestEngine, AFullDiskIsToldOncePerFileListedInTheSummaryAndTheTestGoesOn) {
  platform::ResetWriteFailures();
  EngineHarness h;
  g_config.SetTimeout(60);
  h.module.ttff_ms = [](int) -> std::int64_t { return 20000; };
  // The NMEA log's file system fills up after its first few kilobytes.
  std::size_t used = 0;
  auto previous = platform::SetWriteFault([&used](const std::string& path, std::size_t size) {
    if (path.size() < 13 || path.compare(path.size() - 13, 13, "_nmea_log.txt") != 0)
      return 0;
    if (used + size > 2000)
      return ENOSPC;
    used += size;
    return 0;
  });
  h.RunTest(RESTART_COLD, 3);
  platform::SetWriteFault(std::move(previous));
  const TestOutcome out = h.engine->LastOutcome();
  // Told once, naming the file and what to do.
  ASSERT_EQ(h.host.storage_problems.size(), 1u);
  EXPECT_EQ(h.host.storage_problems[0].rfind("Cannot write " + out.logs.nmea + ": ", 0), 0u)
      << h.host.storage_problems[0];
  EXPECT_NE(h.host.storage_problems[0].find("Free space on "), std::string::npos);
  // The test went on: every run is recorded everywhere else.
  EXPECT_TRUE(out.completed);
  EXPECT_EQ(h.results.size(), 3u);
  EXPECT_NE(h.ResultLog().find("runtimes = 3\nfail times = 0\n"), std::string::npos);
  EXPECT_EQ(Occurrences(testsupport::ReadFile(out.csv_path), "\n"), 4u);
  EXPECT_LE(h.NmeaLog().size(), 2000u);
  // The outcome and the summary say which file is incomplete.
  EXPECT_EQ(out.incomplete_files, std::vector<std::string>{out.logs.nmea});
  const std::string summary = testsupport::ReadFile(out.summary_path);
  EXPECT_NE(summary.find("\"incomplete_files\": [\n    \"" + out.logs.nmea + "\"\n  ]"),
            std::string::npos)
      << summary;
  platform::ResetWriteFailures();
}

TEST(TestEngine, ADayFolderTooSmallForTheTestIsToldBeforeItStarts) {
  EngineHarness h;
  g_config.SetTimeout(60);
  h.module.ttff_ms = [](int) -> std::int64_t { return 20000; };
  auto previous = platform::SetFreeBytesFake([](const std::string&) { return 100 * 1024; });
  h.RunTest(RESTART_HOT, 5);
  platform::SetFreeBytesFake(std::move(previous));
  ASSERT_EQ(h.host.storage_problems.size(), 1u);
  const std::string& w = h.host.storage_problems[0];
  EXPECT_EQ(w.rfind("The day folder " + h.tmp.path().string() + " has 100 KiB free on ", 0), 0u)
      << w;
  EXPECT_NE(w.find("5 runs x (60 s time-out + 10 s logging after the fix)"), std::string::npos)
      << w;
  EXPECT_EQ(h.results.size(), 5u);  // the test went on
}

TEST(TestEngine, ASummaryWithoutTroubleHasNoIncompleteList) {
  platform::ResetWriteFailures();
  EngineHarness h;
  h.module.ttff_ms = [](int) -> std::int64_t { return 20000; };
  h.RunTest(RESTART_HOT, 1);
  const std::string summary = testsupport::ReadFile(h.engine->LastOutcome().summary_path);
  EXPECT_EQ(summary.find("incomplete"), std::string::npos) << summary;
  EXPECT_TRUE(h.host.storage_problems.empty());
}

}  // namespace
