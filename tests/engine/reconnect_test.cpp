// The engine when a port is lost during a test and its host reconnects
// lost ports: where in a run the loss falls decides what is recorded (a
// run without a result yet fails with the reason "port lost"; a run with
// its result keeps it), the last run needs no reconnection, a reconnection
// that fails ends the test with what it has, and without reconnection a
// lost port fails the run in progress at once and ends the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "profiles/module_commands.h"
#include "profiles/profile_loader.h"
#include "tests/engine/engine_harness.h"

namespace {

using testsupport::EngineHarness;
using testsupport::RecordingHost;

class ReconnectingHost : public RecordingHost {
 public:
  unsigned seconds = 10;
  bool comes_back = true;
  int reconnects = 0;
  std::atomic<bool> lost{false};

  std::vector<std::string> notices;
  std::function<void()> on_reconnect;  // the module as it comes back

  bool ReconnectPorts(unsigned s, const std::function<bool()>&) override {
    EXPECT_EQ(s, seconds);
    ++reconnects;
    if (on_reconnect)
      on_reconnect();
    if (comes_back)
      lost = false;
    return comes_back;
  }
  void OnNotice(const std::string& sentence) override { notices.push_back(sentence); }
};

// The harness's engine again, its host reconnecting lost ports (after
// `seconds`; 0: none), speaking `profile` (null: the default).
void UseReconnectingHost(EngineHarness& h, ReconnectingHost& host, unsigned seconds,
                         const ModuleProfile* profile = nullptr) {
  EngineEnvironment env;
  env.clock = h.clock.get();
  env.at_queue = &h.at;
  env.nmea_queue = &h.nmea;
  env.write_at = [&h](const std::string& cmd) { h.module.Write(cmd); };
  env.target = &h.target;
  env.host = &host;
  env.day_dir = h.tmp.path().string();
  env.port_lost = &host.lost;
  env.test.reconnect_s = seconds;
  if (profile)
    env.test.profile = std::make_shared<const ModuleProfile>(*profile);
  h.engine = std::make_unique<TestEngine>(env);
}

struct Case {
  const char* what;
  unsigned lost_run;
  RunPhase lost_phase;
  unsigned seconds;  // 0: the host does not reconnect
  bool comes_back;
  const char* results;  // S/F per recorded run
  const char* reasons;  // per run: p port lost, t time-out, - a fix
  int reconnects;
  const char* end_reason;
};

std::string Letters(const std::vector<TestResult>& results) {
  std::string out;
  for (const TestResult& r : results)
    out += r.bSucc ? 'S' : 'F';
  return out;
}

std::string Reasons(const std::vector<RunRecord>& records) {
  std::string out;
  for (const RunRecord& r : records)
    out += r.reason == "port lost" ? 'p' : r.reason == "time-out" ? 't' : '-';
  return out;
}

TEST(EngineReconnect, WhereTheLossFallsDecidesWhatIsRecorded) {
  const Case cases[] = {
      {"fix wait of run 2", 2, RunPhase::FixWait, 10, true, "SFS", "-p-", 1, "completed"},
      {"query of run 2", 2, RunPhase::Query, 10, true, "SFS", "-p-", 1, "completed"},
      {"delete of run 1", 1, RunPhase::Delete, 10, true, "FSS", "p--", 1, "completed"},
      {"closing pause of run 1", 1, RunPhase::ClosingPause, 10, true, "SSS", "---", 1, "completed"},
      {"stop of run 2", 2, RunPhase::Stop, 10, true, "SSS", "---", 1, "completed"},
      {"capture of the last run", 3, RunPhase::Capture, 10, true, "SSS", "---", 0, "completed"},
      {"fix wait of the last run", 3, RunPhase::FixWait, 10, true, "SSF", "--p", 0, "completed"},
      {"never back", 2, RunPhase::FixWait, 10, false, "SF", "-p", 1, "port lost"},
      // Without reconnection the run in progress fails and the test ends.
      {"no reconnection, fix wait", 2, RunPhase::FixWait, 0, true, "SF", "-p", 0, "port lost"},
      {"no reconnection, query", 2, RunPhase::Query, 0, true, "SF", "-p", 0, "port lost"},
      {"no reconnection, capture", 2, RunPhase::Capture, 0, true, "SS", "--", 0, "port lost"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EngineHarness h;
    h.module.ttff_ms = [](int) { return 3000; };
    ReconnectingHost host;
    host.seconds = c.seconds;
    host.comes_back = c.comes_back;
    std::int64_t lost_at = 0;
    host.on_phase = [&](unsigned run, RunPhase phase) {
      if (run == c.lost_run && phase == c.lost_phase && !host.lost) {
        host.lost = true;
        lost_at = h.clock->MonotonicUs();
      }
    };
    UseReconnectingHost(h, host, c.seconds);
    h.RunTest(RESTART_HOT, 3);
    EXPECT_TRUE(host.notices.empty()) << host.notices.front();

    const TestOutcome out = h.engine->LastOutcome();
    EXPECT_EQ(Letters(h.results), c.results);
    EXPECT_EQ(Reasons(out.records), c.reasons);
    EXPECT_EQ(host.reconnects, c.reconnects);
    EXPECT_EQ(out.end_reason, c.end_reason);
    EXPECT_EQ(out.completed, std::string(c.end_reason) == "completed");
    // At once: the fix wait of 200 s is not waited out.
    if (c.seconds == 0) {
      EXPECT_LT(h.clock->MonotonicUs() - lost_at, 30'000'000);
    }
    const int failures = static_cast<int>(std::count(c.results, c.results + 3, 'F'));
    EXPECT_EQ(out.failures, failures);
    // The result log: one line per recorded run and the statistics.
    const std::string log = h.ResultLog();
    const std::string runs = std::to_string(std::strlen(c.results));
    EXPECT_NE(log.find("runtimes = " + runs + "\nfail times = " + std::to_string(failures) + "\n"),
              std::string::npos)
        << log;
    EXPECT_TRUE(host.messages.empty()) << host.messages.front();
    h.engine.reset();  // before the host it points at
  }
}

// A module that reset itself comes back without its set-up (here: its NMEA
// output off): the set-up is sent again, so the run after the reconnect
// finds its fix, and an identity that changed is told.
TEST(EngineReconnect, TheSetUpIsSentAgainAndAnotherIdentityIsTold) {
  const ProfileLoad load = ParseProfile(
      "name = \"mine\"\n[query]\ncommand = \"AT+WGPS?\"\non = \"+WGPS: 1\"\noff = \"+WGPS: 0\"\n"
      "[stop]\ncommand = \"AT+WGPSEND\"\n[start]\ncommand = \"AT+WGPS=1\"\n"
      "[[setup]]\ncommand = \"AT+NMEA=1\"\n[identity]\ncommands = [\"AT+CGMR\"]\n",
      "mine.toml");
  ASSERT_TRUE(load.profile) << load.problems.front();
  for (bool same_firmware : {true, false}) {
    SCOPED_TRACE(same_firmware ? "the same module" : "another firmware");
    EngineHarness h;
    h.module.ttff_ms = [](int) { return 3000; };
    h.module.nmea_setup = "AT+NMEA=1\r\n";
    h.module.extra_lines["AT+CGMR"] = {"FW1\r\n"};
    ReconnectingHost host;
    host.on_reconnect = [&] {
      h.module.ForgetSetup();
      if (!same_firmware)
        h.module.extra_lines["AT+CGMR"] = {"FW2\r\n"};
    };
    host.on_phase = [&](unsigned run, RunPhase phase) {
      if (run == 2 && phase == RunPhase::FixWait && !host.lost)
        host.lost = true;
    };
    UseReconnectingHost(h, host, host.seconds, &*load.profile);
    h.RunTest(RESTART_HOT, 3);

    const TestOutcome out = h.engine->LastOutcome();
    EXPECT_EQ(out.end_reason, "completed");
    EXPECT_EQ(Letters(h.results), "SFS") << "run 3 fixes: its NMEA is on again";
    EXPECT_EQ(Reasons(out.records), "-p-");
    const auto texts = h.module.CommandTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "AT+NMEA=1\r\n"), 2);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "AT+CGMR\r\n"), 2);
    // Right after the reconnect, before run 3's query.
    const auto again = std::find(texts.begin() + 2, texts.end(), "AT+NMEA=1\r\n");
    ASSERT_LT(again + 2, texts.end());
    EXPECT_EQ(*(again + 1), "AT+CGMR\r\n");
    EXPECT_EQ(*(again + 2), "AT+WGPS?\r\n");
    if (same_firmware) {
      EXPECT_TRUE(host.notices.empty()) << host.notices.front();
    } else {
      ASSERT_EQ(host.notices.size(), 1u);
      EXPECT_EQ(host.notices[0],
                "the module that came back answers AT+CGMR \"FW2\" (was \"FW1\"): another module "
                "or firmware? The test goes on; check the bench.");
    }
    h.engine.reset();
  }
}

}  // namespace
