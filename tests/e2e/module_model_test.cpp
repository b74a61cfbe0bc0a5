// Every bundled profile against its family's module model, a model written
// from the module facts of the shared notes and never from the profiles: each
// restart type finds its fixes, and each command of the profile changed in
// turn fails the test with that command and the module's reply, never with a
// time-out and never as a success (an identity command: told while the
// test goes on; the XTRA steps: with XTRA on).
#include <gtest/gtest.h>

#include "profiles/module_commands.h"
#include "profiles/profile_loader.h"
#include "sim/models/module_models.h"
#include "tests/e2e/sim_rig.h"

namespace {

using testsupport::SimRig;

std::shared_ptr<const ModuleProfile> FamilyProfile(const std::string& name) {
  const ProfileLoad load = ResolveProfile(name);
  EXPECT_TRUE(load.profile) << name;
  return std::make_shared<const ModuleProfile>(load.profile ? *load.profile : DefaultProfile());
}

class ProfileAgainstModel : public ::testing::TestWithParam<std::string> {};

TEST_P(ProfileAgainstModel, EveryRestartTypeFindsItsFixes) {
  for (int type : {RESTART_HOT, RESTART_COLD, RESTART_WARM}) {
    SCOPED_TRACE(RestartTypeName(type));
    SimRig rig(100.0);
    rig.options.module = GetParam();
    rig.tool_profile = FamilyProfile(GetParam());
    rig.Open();
    rig.RunTest(type, 2);
    const TestOutcome out = rig.engine->LastOutcome();
    EXPECT_TRUE(out.completed) << out.end_reason;
    ASSERT_EQ(out.records.size(), 2u) << out.end_reason;
    for (const RunRecord& r : out.records)
      EXPECT_TRUE(r.success) << "run " << r.run << ": " << r.reason;
    const auto truth = rig.simulator.Truth();
    ASSERT_EQ(truth.size(), 2u);
    if (rig.tool_profile->ResetsFor(type)) {
      for (const auto& t : truth)
        EXPECT_EQ(t.restart_type, type) << "the model was reset as asked";
    }
  }
}

// What a refusal of a command does: ends the test or fails its run, or (an
// identity command) is told while the test goes on.
enum class Refusal { kEnds, kTold };

// Each command a run sends, with the restart type that sends it.
struct Sent {
  std::string* command;
  int restart_type;
  unsigned runs;  // the stop between runs needs two
  Refusal refusal = Refusal::kEnds;
  bool xtra = false;  // sent only with XTRA on
};

std::vector<Sent> CommandsOf(ModuleProfile& p) {
  std::vector<Sent> out;
  if (p.query.Present())
    out.push_back({&p.query.command, RESTART_COLD, 1});
  if (p.stop.Present())
    out.push_back({&p.stop.command, RESTART_COLD, 2});
  for (int type = 0; type < 3; ++type) {
    if (p.del[static_cast<std::size_t>(type)].Present())
      out.push_back({&p.del[static_cast<std::size_t>(type)].command, type, 1});
    if (p.start_for[static_cast<std::size_t>(type)].Present())
      out.push_back({&p.start_for[static_cast<std::size_t>(type)].command, type, 1});
  }
  for (int type = 0; type < 3 && p.start.Present(); ++type) {
    if (!p.start_for[static_cast<std::size_t>(type)].Present()) {  // a type the common start serves
      out.push_back({&p.start.command, type, 1});
      break;
    }
  }
  for (ProfileStep& s : p.setup)
    out.push_back({&s.command, RESTART_COLD, 1});
  for (std::string& c : p.identity)
    out.push_back({&c, RESTART_HOT, 1, Refusal::kTold});
  for (ProfileStep* s : {&p.clock, &p.xtra_data}) {
    if (s->Present())
      out.push_back({&s->command, RESTART_HOT, 1, Refusal::kEnds, true});
  }
  return out;
}

// A typo in the command's name: its fourth character (after "AT+", "AT$",
// "AT!") becomes another letter.
std::string Mutated(const std::string& command) {
  std::string m = command;
  m[3] = m[3] == 'Q' ? 'X' : 'Q';
  return m;
}

TEST_P(ProfileAgainstModel, EachCommandChangedInTurnFailsNamingItAndTheReply) {
  ModuleProfile base = *FamilyProfile(GetParam());
  const std::size_t count = CommandsOf(base).size();
  ASSERT_GT(count, 2u);
  for (std::size_t i = 0; i < count; ++i) {
    ModuleProfile p = base;
    const Sent sent = CommandsOf(p)[i];
    const std::string was = CommandName(*sent.command);
    *sent.command = Mutated(*sent.command);
    const std::string name = CommandName(*sent.command);
    SCOPED_TRACE(was + " changed to " + name);
    SimRig rig(100.0);
    rig.options.module = GetParam();
    rig.tool_profile = std::make_shared<const ModuleProfile>(p);
    rig.Open();
    rig.host->import_xtra = sent.xtra;
    rig.RunTest(sent.restart_type, sent.runs);
    const TestOutcome out = rig.engine->LastOutcome();
    const std::string refused = "the module refused " + name + " (\"ERROR\")";
    EXPECT_NE(rig.AtLog().find("\tERROR\r\n"), std::string::npos) << "the module's reply";
    if (sent.refusal == Refusal::kTold) {
      ASSERT_EQ(rig.host->notices.size(), 1u) << out.end_reason;
      EXPECT_EQ(rig.host->notices[0].rfind(refused, 0), 0u) << rig.host->notices[0];
      EXPECT_TRUE(out.completed) << out.end_reason;
      continue;
    }
    const bool ended = out.end_reason.rfind(refused, 0) == 0;
    const bool reset_refused = !out.records.empty() && out.records.back().reason == "reset refused";
    EXPECT_TRUE(ended || reset_refused) << out.end_reason;
    EXPECT_EQ(out.end_reason.find("no reply"), std::string::npos) << out.end_reason;
    if (reset_refused) {
      EXPECT_FALSE(out.records.back().success);
      EXPECT_NE(rig.AtLog().find(name), std::string::npos);
    } else {
      EXPECT_FALSE(out.completed);
      EXPECT_EQ(out.records.size(), static_cast<std::size_t>(sent.runs - 1));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Bundled, ProfileAgainstModel, ::testing::ValuesIn(sim::ModuleModelNames()),
                         [](const auto& info) { return info.param; });

}  // namespace
