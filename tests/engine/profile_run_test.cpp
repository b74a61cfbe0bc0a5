// The run loop speaking a module profile other than the default, against a
// fake module that speaks it (or does not).
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "profiles/bundled_profiles.h"
#include "profiles/module_commands.h"
#include "profiles/profile_loader.h"
#include "tests/engine/engine_harness.h"
#include "tests/support/profile_sequence.h"

namespace {

using testsupport::EngineHarness;
using Texts = std::vector<std::string>;

ModuleProfile Bundled(const char* name) {
  const ProfileLoad load = ResolveProfile(name);
  EXPECT_TRUE(load.profile) << name;
  return load.profile ? *load.profile : DefaultProfile();
}

// The module answers whatever a profile's step waits for besides "OK".
void AnswerTheProfilesReplies(testsupport::FakeModule& module, const ModuleProfile& p) {
  module.SpeakProfile(p);
  std::vector<const ProfileStep*> steps = {&p.xtra_data};
  for (const ProfileStep& s : p.del)
    steps.push_back(&s);
  for (const ProfileStep* s : steps) {
    if (s->Present() && s->reply != module::kReplyOk)
      module.extra_lines[CommandName(s->command)] = {s->reply + "\r\n"};
  }
}

TEST(ProfileRun, Sim7600SendsItsOwnCommandsInOrderForEveryRestartType) {
  const ModuleProfile p = Bundled("sim7600");
  const char* starts[] = {"AT+CGPSHOT\r\n", "AT+CGPSCOLD\r\n", "AT+CGPS=1,1\r\n"};
  for (int type : {RESTART_HOT, RESTART_COLD, RESTART_WARM}) {
    for (bool xtra : {false, true}) {
      SCOPED_TRACE(std::string(RestartTypeName(type)) + (xtra ? ", XTRA" : ""));
      EngineHarness h;
      h.UseProfile(p);
      h.module.SpeakProfile(p);
      h.module.gnss_on = true;  // stopped before the first run
      h.module.extra_lines["AT+CGPSXD=0"] = {"+CGPSXD: 0\r\n"};
      h.module.extra_lines["AT+CGMM"] = {"AT+CGMM\r\n", "SIMCOM_SIM7600E-H\r\n"};
      h.module.ttff_ms = [](int) { return 4000; };
      h.host.import_xtra = xtra;
      h.RunTest(type, 2);

      Texts run = {"AT+CGPS?\r\n"};
      if (xtra)
        run.push_back("AT+CGPSXD=0\r\n");  // no clock, no time command in this profile
      run.push_back(starts[type]);
      Texts want = {"AT+CGMI\r\n", "AT+CGMM\r\n", "AT+CGMR\r\n"};
      want.insert(want.end(), run.begin(), run.end());
      want.insert(want.begin() + 4, "AT+CGPS=0\r\n");  // the first stop: GNSS was on
      want.push_back("AT+CGPS=0\r\n");                 // between the runs
      want.insert(want.end(), run.begin(), run.end());
      EXPECT_EQ(h.module.CommandTexts(), want);

      const TestOutcome out = h.engine->LastOutcome();
      EXPECT_TRUE(out.completed) << out.end_reason;
      ASSERT_EQ(out.records.size(), 2u);
      for (const RunRecord& r : out.records) {
        EXPECT_TRUE(r.success);
        EXPECT_EQ(r.xtra, xtra);
      }
      std::ifstream file(out.summary_path);
      const nlohmann::json summary = nlohmann::json::parse(file);
      EXPECT_EQ(summary["profile"], "sim7600");
      EXPECT_EQ(summary["module"]["AT+CGMM"], "SIMCOM_SIM7600E-H");  // the echo left out
      EXPECT_EQ(summary["module"]["AT+CGMI"], "");
      EXPECT_EQ(h.AtLog().find("AT+WGPS"), std::string::npos);
    }
  }
}

TEST(ProfileRun, EveryBundledProfileFindsAFixAgainstAModuleSpeakingIt) {
  for (const BundledProfile& b : BundledProfiles()) {
    for (int type : {RESTART_HOT, RESTART_COLD, RESTART_WARM}) {
      for (bool xtra : {false, true}) {
        SCOPED_TRACE(std::string(b.name) + ", " + RestartTypeName(type) + (xtra ? ", XTRA" : ""));
        const ModuleProfile p = Bundled(b.name);
        EngineHarness h;
        h.UseProfile(p);
        AnswerTheProfilesReplies(h.module, p);
        h.host.import_xtra = xtra;
        h.RunTest(type, 2);
        const TestOutcome out = h.engine->LastOutcome();
        EXPECT_TRUE(out.completed) << out.end_reason;
        EXPECT_EQ(h.module.Starts(), 2);
        ASSERT_EQ(out.records.size(), 2u);
        EXPECT_TRUE(out.records[1].success);
        // Each run: the setup and identity once, then the profile's steps in order.
        const Texts want =
            testsupport::ProfileSequence(p, type, xtra, 2, false, "2024/01/15,08:30:00");
        EXPECT_EQ(h.module.CommandTexts(), want);
        EXPECT_EQ(out.records[0].xtra, xtra && p.xtra_data.Present());
      }
    }
  }
}

TEST(ProfileRun, AModuleOfAnotherDialectFailsNamingTheUnansweredCommand) {
  EngineHarness h;
  h.UseProfile(Bundled("sim7600"));
  // The fake speaks the default dialect and nothing else.
  h.module.answer = [](const std::string& cmd, int) {
    return cmd.rfind("AT+WGPS", 0) == 0 || cmd == "AT+CCLK?\r\n";
  };
  h.RunTest(RESTART_COLD, 1);
  const TestOutcome out = h.engine->LastOutcome();
  EXPECT_FALSE(out.completed);
  EXPECT_EQ(out.end_reason, "no reply to AT+CGPS?");
  const std::string debug = h.DebugLog();
  EXPECT_NE(debug.find("AT+CGPS? timeout...try again\n"), std::string::npos);
  EXPECT_NE(debug.find("AT+CGPS? timeout...finnaly\n"), std::string::npos);
  EXPECT_EQ(h.module.Starts(), 0);

  // And the default profile against a module of the SIM7600 dialect.
  EngineHarness d;
  const ModuleProfile sim7600 = Bundled("sim7600");
  d.module.SpeakProfile(sim7600);
  d.module.answer = [](const std::string& cmd, int) { return cmd.rfind("AT+CGPS", 0) == 0; };
  d.RunTest(RESTART_COLD, 1);
  EXPECT_EQ(d.engine->LastOutcome().end_reason, "no reply to AT+WGPS?");
}

TEST(ProfileRun, SetupAndIdentityCommandsGoFirstAndTheirRepliesAreRecorded) {
  const ProfileLoad load = ParseProfile(
      "name = \"mine\"\n[start]\ncommand = \"AT+WGPS=1\"\n[[setup]]\ncommand = \"AT+NMEA=1\"\n"
      "[identity]\ncommands = [\"ATI\", \"AT+CGMR\"]\n",
      "mine.toml");
  ASSERT_TRUE(load.profile) << load.problems.front();
  EngineHarness h;
  h.UseProfile(*load.profile);
  h.module.extra_lines["ATI"] = {"Quectel\r\n", "EG25\r\n"};
  // AT+CGMR goes unanswered: recorded empty after its wait.
  h.module.answer = [](const std::string& cmd, int) { return cmd != "AT+CGMR\r\n"; };
  h.RunTest(RESTART_HOT, 1);
  const auto cmds = h.module.Commands();
  ASSERT_GE(cmds.size(), 4u);
  EXPECT_EQ(cmds[0].text, "AT+NMEA=1\r\n");
  EXPECT_EQ(cmds[1].text, "ATI\r\n");
  EXPECT_EQ(cmds[2].text, "AT+CGMR\r\n");
  EXPECT_EQ(cmds[3].text, "AT+WGPS=1\r\n");  // no query, no delete, no stop in this profile
  std::ifstream file(h.engine->LastOutcome().summary_path);
  const nlohmann::json summary = nlohmann::json::parse(file);
  EXPECT_EQ(summary["module"]["ATI"], "Quectel\nEG25");
  EXPECT_EQ(summary["module"]["AT+CGMR"], "");  // unanswered: waited its 10 s
  EXPECT_EQ(summary["profile"], "mine");
  EXPECT_TRUE(h.engine->LastOutcome().completed);
}

}  // namespace
