// Every bundled profile end to end against the simulator speaking it: the
// commands the module received are the profile's in order for every restart
// type with and without XTRA, each start is of the type the profile can
// ask for, and the TTFF follows the truth. A tool and a module of different
// dialects end naming the command that went unanswered.
#include <gtest/gtest.h>

#include "profiles/bundled_profiles.h"
#include "profiles/module_commands.h"
#include "profiles/profile_loader.h"
#include "tests/e2e/sim_rig.h"
#include "tests/support/build_speed.h"
#include "tests/support/profile_sequence.h"

namespace {

using testsupport::SimRig;

std::shared_ptr<const ModuleProfile> Profile(const std::string& name) {
  const ProfileLoad load = ResolveProfile(name);
  EXPECT_TRUE(load.profile) << name;
  return std::make_shared<const ModuleProfile>(load.profile ? *load.profile : DefaultProfile());
}

// The commands with their line ends; the XTRA time, whose text is the
// module's clock, reduced to the command's head.
std::vector<std::string> Normalised(std::vector<std::string> commands, const ModuleProfile& p) {
  const std::string head = p.xtra_time.command.substr(0, p.xtra_time.command.find('{'));
  for (std::string& c : commands) {
    c = CommandLine(c);
    if (p.xtra_time.Present() && c.rfind(head, 0) == 0)
      c = head;
  }
  return commands;
}

class ProfileAgainstSim : public ::testing::TestWithParam<std::string> {};

TEST_P(ProfileAgainstSim, EveryRestartTypeWithAndWithoutXtra) {
  const auto profile = Profile(GetParam());
  const ModuleProfile& p = *profile;
  for (int type : {RESTART_HOT, RESTART_COLD, RESTART_WARM}) {
    for (bool xtra : {false, true}) {
      SCOPED_TRACE(std::string(RestartTypeName(type)) + (xtra ? ", XTRA" : ""));
      SimRig rig;
      rig.options.profile = profile;
      rig.tool_profile = profile;
      rig.Open();
      rig.host->import_xtra = xtra;
      rig.RunTest(type, 2);
      const TestOutcome out = rig.engine->LastOutcome();
      EXPECT_TRUE(out.completed) << out.end_reason;

      EXPECT_EQ(Normalised(rig.Commands(), p),
                Normalised(testsupport::ProfileSequence(p, type, xtra, 2, false, ""), p));

      const auto truth = rig.simulator.Truth();
      ASSERT_EQ(truth.size(), 2u);
      ASSERT_EQ(out.records.size(), 2u);
      const bool own = p.start_for[static_cast<std::size_t>(type)].Present() ||
                       (p.DeleteFor(type).Present() &&
                        std::count(p.del.begin(), p.del.end(), p.DeleteFor(type)) == 1);
      const bool assisted = xtra && (p.xtra_data.Present() || p.xtra_time.Present());
      for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(truth[i].restart_type, own ? type : RESTART_HOT) << "start " << i + 1;
        EXPECT_EQ(truth[i].assisted, assisted) << "start " << i + 1;
        EXPECT_TRUE(out.records[i].success);
        // At 50 times real speed a loaded machine's 10 ms delay of the
        // "OK" or the fix reads as half a second: the fix of each start
        // within 1.5 s (30 ms real) of its truth, more in a slower build.
        EXPECT_NEAR(out.records[i].ttff_precise_s, truth[i].TtffUs() / 1e6,
                    1.5 * testsupport::kSlowBuild);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Bundled, ProfileAgainstSim, ::testing::ValuesIn([] {
                           std::vector<std::string> names;
                           for (const BundledProfile& b : BundledProfiles())
                             names.push_back(b.name);
                           return names;
                         }()),
                         [](const auto& info) { return info.param; });

TEST(ProfileAgainstSimDialect, AnotherDialectEndsAtOnceNamingTheRefusedCommandAndItsReply) {
  const struct {
    const char* tool;
    const char* module;
    const char* reason;
  } cases[] = {{"sim7600", "default",
                "the module refused AT+CGPS? (\"ERROR\"): check the profile against its manual, "
                "zuvek-cli profiles show sim7600"},
               {"default", "telit",
                "the module refused AT+WGPS? (\"ERROR\"): check the profile against its manual, "
                "zuvek-cli profiles show default"},
               {"sierra", "sim7000",
                "the module refused AT!GPSSTATUS? (\"ERROR\"): check the profile against its "
                "manual, zuvek-cli profiles show sierra"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + " against a " + c.module + " module");
    SimRig rig(100.0);
    rig.options.profile = Profile(c.module);
    rig.tool_profile = Profile(c.tool);
    rig.Open();
    rig.RunTest(RESTART_COLD, 1);
    const TestOutcome out = rig.engine->LastOutcome();
    EXPECT_FALSE(out.completed);
    EXPECT_EQ(out.end_reason, c.reason);
    EXPECT_TRUE(rig.simulator.Truth().empty()) << "nothing started";
    EXPECT_NE(rig.AtLog().find("ERROR"), std::string::npos) << "the module refused it";
  }
}

}  // namespace
