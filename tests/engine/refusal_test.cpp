// A module that refuses a command ("ERROR", "+CME ERROR: n", "+CMS ERROR: n"):
// a refused query, stop, start or set-up ends the test within that reply,
// naming the command, the reply and what to do; a refused reset fails its
// run "reset refused" and is never a success; a busy reply a profile names
// is tried again.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "profiles/bundled_profiles.h"
#include "profiles/profile_loader.h"
#include "tests/engine/engine_harness.h"

namespace {

using testsupport::EngineHarness;

// The engine speaking a bundled profile, and the module speaking it too.
void SpeakBundled(EngineHarness& h, const char* name) {
  const ProfileLoad load = ResolveProfile(name);
  ASSERT_TRUE(load.profile) << name;
  h.UseProfile(*load.profile);
  h.module.SpeakProfile(*load.profile);
}

int WritesOf(const testsupport::FakeModule& m, const std::string& cmd) {
  int n = 0;
  for (const std::string& c : m.CommandTexts())
    n += c == cmd ? 1 : 0;
  return n;
}

TEST(Refusal, ARefusedQueryStopStartOrSetUpEndsTheTestWithinThatReply) {
  const struct {
    const char* profile;
    const char* refused;  // the command, without its line end
    const char* reply;
    bool gnss_on;  // found on: the first stop is sent
    int restart;
    int refused_in_run;  // the run whose record is missing (0: before any)
    const char* legend;
  } cases[] = {
      {"default", "AT+WGPS?", "ERROR", false, RESTART_COLD, 0, "the state query"},
      {"sim7600", "AT+CGPS?", "+CME ERROR: 4", false, RESTART_COLD, 0, "another family's query"},
      {"default", "AT+WGPSEND", "+CMS ERROR: 500", true, RESTART_HOT, 0, "the first stop"},
      {"default", "AT+WGPS=1", "ERROR", false, RESTART_COLD, 0, "the common start"},
      {"sim7600", "AT+CGPS=1,1", "ERROR", false, RESTART_WARM, 0, "sim7600's common start"},
      {"default", "AT+WGPSEND", "ERROR", false, RESTART_HOT, 1, "the stop between runs"},
      {"telit", "AT$GPSNMUN=2,1,1,1,1,1,1", "ERROR", false, RESTART_COLD, 0, "a set-up command"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    EngineHarness h;
    SpeakBundled(h, c.profile);
    h.module.gnss_on = c.gnss_on;
    h.module.ttff_ms = [](int) { return 3000; };
    const std::string refused = std::string(c.refused) + "\r\n";
    h.module.refuse = [&](const std::string& cmd, int) {
      return cmd == refused ? std::string(c.reply) : std::string();
    };
    h.RunTest(c.restart, 2);

    const TestOutcome out = h.engine->LastOutcome();
    EXPECT_FALSE(out.completed);
    EXPECT_EQ(out.end_reason, "the module refused " + std::string(c.refused) + " (\"" + c.reply +
                                  "\"): check the profile against its manual, zuvek-cli "
                                  "profiles show " +
                                  c.profile);
    // Written once, and nothing after it: no repeat, no time-out waited.
    EXPECT_EQ(WritesOf(h.module, refused), 1);
    const auto commands = h.module.Commands();
    ASSERT_FALSE(commands.empty());
    EXPECT_EQ(commands.back().text, refused);
    EXPECT_LT(h.clock->MonotonicUs() - commands.back().at_us, 1'000'000);
    EXPECT_EQ(out.records.size(), static_cast<std::size_t>(c.refused_in_run));
    for (const RunRecord& r : out.records)
      EXPECT_TRUE(r.success);
    EXPECT_NE(h.DebugLog().find(std::string(c.refused) + " refused: " + c.reply),
              std::string::npos);
  }
}

TEST(Refusal, ARefusedResetFailsItsRunAndIsNeverCountedAsThatRestart) {
  const struct {
    const char* profile;
    int restart;
    const char* refused;
    const char* legend;
  } cases[] = {
      {"default", RESTART_WARM, "AT+WGPSDEL=2", "a delete the module does not know"},
      {"sim7600", RESTART_COLD, "AT+CGPSCOLD", "a restart command of its own"},
      {"telit", RESTART_WARM, "AT$GPSR=2", "telit's warm reset"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    EngineHarness h;
    SpeakBundled(h, c.profile);
    const std::string refused = std::string(c.refused) + "\r\n";
    h.module.refuse = [&](const std::string& cmd, int) {
      return cmd == refused ? std::string("ERROR") : std::string();
    };
    h.RunTest(c.restart, 2);

    const TestOutcome out = h.engine->LastOutcome();
    EXPECT_TRUE(out.completed) << out.end_reason;  // every run made, each failed
    EXPECT_EQ(h.module.Starts(), 0) << "GNSS never started after a refused reset";
    EXPECT_EQ(WritesOf(h.module, refused), 2) << "once per run, not 11 times";
    ASSERT_EQ(out.records.size(), 2u);
    for (const RunRecord& r : out.records) {
      EXPECT_FALSE(r.success);
      EXPECT_EQ(r.reason, "reset refused");
    }
    EXPECT_EQ(out.failures, 2);
    EXPECT_EQ(
        h.ResultLog(),
        "Times\t\t\tResult\t\t\tDuration\r\n1\t\t\tFAIL\t\t\tN/A\r\n2\t\t\tFAIL\t\t\tN/A\r\n");
    std::ifstream file(out.summary_path);
    const nlohmann::json summary = nlohmann::json::parse(file);
    EXPECT_EQ(summary["reset_refused"], 2);
    EXPECT_EQ(summary["successes"], 0);
    // No attempt of the receiver: the statistics have no valid run.
    EXPECT_EQ(summary["statistics"]["valid_runs"]["L"], 0) << summary["statistics"].dump();
    EXPECT_EQ(summary["statistics"]["valid_runs"]["M"], 2);
    std::ifstream csv(out.csv_path);
    const std::string text((std::istreambuf_iterator<char>(csv)), {});
    EXPECT_NE(text.find("\n1,FAIL,"), std::string::npos) << text;
    EXPECT_NE(text.find(",reset refused,"), std::string::npos) << text;
  }
}

TEST(Refusal, ABusyReplyTheProfileNamesIsTriedAgain) {
  const char* text =
      "name = \"busy\"\n[query]\ncommand = \"AT+WGPS?\"\non = \"+WGPS: 1\"\noff = \"+WGPS: 0\"\n"
      "[start]\ncommand = \"AT+WGPS=1\"\nattempts = 3\nbusy = [\"+CME ERROR: 505\"]\n";
  const ProfileLoad load = ParseProfile(text, "busy.toml");
  ASSERT_TRUE(load.profile) << load.problems.front();
  for (const char* reply : {"+CME ERROR: 505", "+CME ERROR: 3"}) {
    SCOPED_TRACE(reply);
    EngineHarness h;
    h.UseProfile(*load.profile);
    h.module.ttff_ms = [](int) { return 3000; };
    h.module.refuse = [&](const std::string& cmd, int count) {
      return cmd == "AT+WGPS=1\r\n" && count == 1 ? std::string(reply) : std::string();
    };
    h.RunTest(RESTART_HOT, 1);
    const TestOutcome out = h.engine->LastOutcome();
    const bool busy = std::string(reply) == "+CME ERROR: 505";
    EXPECT_EQ(out.completed, busy) << out.end_reason;
    EXPECT_EQ(WritesOf(h.module, "AT+WGPS=1\r\n"), busy ? 2 : 1);
    EXPECT_EQ(h.module.Starts(), busy ? 1 : 0);
    EXPECT_EQ(h.DebugLog().find("AT+WGPS=1 busy (+CME ERROR: 505)...") != std::string::npos, busy);
    if (!busy) {
      EXPECT_EQ(out.end_reason,
                "the module refused AT+WGPS=1 (\"+CME ERROR: 3\"): check the profile against its "
                "manual, the profile file \"busy\"");
    }
  }
}

// A refusal that need not end the test (an identity command, the XTRA clock)
// is told once GNSS runs, and the test goes on as without a reply; a test
// that ends on a refusal before that tells only that one.
TEST(Refusal, ARefusedIdentityOrXtraClockIsToldAndTheTestGoesOn) {
  const std::string look = "): check the profile against its manual, zuvek-cli profiles show ";
  {
    EngineHarness h;
    SpeakBundled(h, "default");
    h.host.import_xtra = true;
    h.module.ttff_ms = [](int) { return 3000; };
    h.module.refuse = [](const std::string& cmd, int) {
      return cmd == "AT+CCLK?\r\n" ? std::string("+CME ERROR: 3") : std::string();
    };
    h.RunTest(RESTART_HOT, 1);
    const TestOutcome out = h.engine->LastOutcome();
    EXPECT_TRUE(out.completed) << out.end_reason;
    EXPECT_EQ(h.host.storage_problems,
              std::vector<std::string>{"the module refused AT+CCLK? (\"+CME ERROR: 3\"" + look +
                                       "default. XTRA goes on without the module's time."});
    EXPECT_EQ(WritesOf(h.module, "AT+WGPSXTRADATA=\"RAM:xtra2.bin\"\r\n"), 1);
  }
  for (const bool query_refused : {false, true}) {
    SCOPED_TRACE(query_refused ? "the query refused too" : "the identity alone");
    EngineHarness h;
    SpeakBundled(h, "sim7600");
    h.module.ttff_ms = [](int) { return 3000; };
    h.module.refuse = [&](const std::string& cmd, int) {
      const bool refused = cmd == "AT+CGMM\r\n" || (query_refused && cmd == "AT+CGPS?\r\n");
      return refused ? std::string("ERROR") : std::string();
    };
    h.RunTest(RESTART_HOT, 1);
    const TestOutcome out = h.engine->LastOutcome();
    EXPECT_EQ(out.completed, !query_refused) << out.end_reason;
    const std::vector<std::string> told = {
        "the module refused AT+CGMM (\"ERROR\"" + look +
        "sim7600. The test goes on without that part of the module's identity."};
    EXPECT_EQ(h.host.storage_problems, query_refused ? std::vector<std::string>{} : told);
  }
}

}  // namespace
