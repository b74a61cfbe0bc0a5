// zuvek-cli profiles: the list, show, check, and run --profile refusing a
// profile with a mistake.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "profiles/bundled_profiles.h"
#include "profiles/profile_loader.h"
#include "tests/support/run_shell.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"

namespace {

testsupport::ShellResult RunCli(const std::string& args) {
  return testsupport::RunShell(std::string(testsupport::kCliPath) + " " + args + " 2>&1");
}

TEST(CliProfiles, ListsEveryBundledProfileWithItsDescription) {
  const auto r = RunCli("profiles");
  EXPECT_EQ(r.code, 0) << r.out;
  std::string want;
  for (const BundledProfile& b : BundledProfiles()) {
    const ProfileLoad load = ResolveProfile(b.name);
    ASSERT_TRUE(load.profile);
    char line[256];
    std::snprintf(line, sizeof line, "%-10s %s\n", b.name, load.profile->description.c_str());
    want += line;
  }
  EXPECT_EQ(r.out, want);
}

TEST(CliProfiles, ShowPrintsTheTextThatLoadsAsTheProfile) {
  testsupport::TempDir tmp;
  const std::string file = tmp.file("mine.toml");
  const auto r = RunCli("profiles show sim7600 > " + file);
  EXPECT_EQ(r.code, 0) << r.out;
  const ProfileLoad shown = LoadProfileFile(file);
  ASSERT_TRUE(shown.profile);
  EXPECT_EQ(*shown.profile, *ResolveProfile("sim7600").profile);
  const auto check = RunCli("profiles check " + file);
  EXPECT_EQ(check.code, 0) << check.out;
  EXPECT_NE(check.out.find("profile \"sim7600\" is good"), std::string::npos);

  const auto none = RunCli("profiles show sim9999");
  EXPECT_EQ(none.code, 1);
  EXPECT_NE(none.out.find("no bundled profile \"sim9999\" (bundled: default, "), std::string::npos)
      << none.out;
}

TEST(CliProfiles, AProfileWithAMistakeIsRefusedWithItsFileAndLine) {
  testsupport::TempDir tmp;
  const std::string file = tmp.file("bad.toml");
  std::ofstream(file) << "name = \"bad\"\n[start]\ncommand = \"AT+GO\"\ntimeout = 99999\n";
  const auto check = RunCli("profiles check " + file);
  EXPECT_EQ(check.code, 1);
  EXPECT_NE(check.out.find(file + ":4: start.timeout must be a whole number from 1 to 3600"),
            std::string::npos)
      << check.out;
  // run refuses it before opening any port.
  const auto run = RunCli("run --profile " + file + " --runs 1");
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.out.find(file + ":4: start.timeout"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("the profile is refused"), std::string::npos) << run.out;
}

// A profile zuvek.toml names that cannot be used is told with its line, and
// no test runs with commands the user did not choose; --profile overrides.
TEST(CliProfiles, AProfileZuvekTomlCannotUseStartsNoTest) {
  testsupport::TempDir tmp;
  testsupport::WriteFile(tmp.file("zuvek.toml"), "profile = \"sim9999\"\n");
  const std::string run = "cd " + tmp.path().string() + " && " + testsupport::kCliPath +
                          " run --restart hot --runs 1 --time-scale 50 --store none";
  const auto refused = testsupport::RunShell(run + " 2>&1");
  EXPECT_EQ(refused.code, 2) << refused.out;
  EXPECT_NE(refused.out.find("zuvek.toml:1: profile names no bundled profile"), std::string::npos)
      << refused.out;
  EXPECT_NE(refused.out.find("mend its profile line or give --profile NAME"), std::string::npos)
      << refused.out;
  EXPECT_EQ(refused.out.find("runtimes = "), std::string::npos) << refused.out;
  const auto chosen = testsupport::RunShell(run + " --profile default 2>&1");
  EXPECT_EQ(chosen.code, 0) << chosen.out;
}

// A profile without a command for the restart type asked: run refuses the
// test with a sentence, or with --plain-start runs plain starts recorded so.
TEST(CliProfiles, ARestartTypeTheProfileHasNoCommandForIsSaidBeforeTheTest) {
  testsupport::TempDir tmp;
  const std::string run = "cd " + tmp.path().string() + " && " + testsupport::kCliPath +
                          " run --profile sim7600 --restart warm --runs 1 --time-scale 50 "
                          "--store none --json";
  const std::string sentence =
      "the profile sim7600 has no command for a warm start: its warm runs would be plain starts "
      "(AT+CGPS=1,1), hot or cold as the module chooses, not warm starts";
  const auto refused = testsupport::RunShell(run + " 2>&1");
  EXPECT_EQ(refused.code, 2);
  EXPECT_NE(refused.out.find(sentence + "; choose another --restart, or give --plain-start"),
            std::string::npos)
      << refused.out;

  // Its events (what a bench and the metrics read) name the type as recorded.
  const auto plain = testsupport::RunShell(run + " --plain-start --events 2>&1");
  EXPECT_EQ(plain.code, 0) << plain.out;
  EXPECT_NE(plain.out.find(sentence + "; recorded as plain starts (--plain-start)"),
            std::string::npos)
      << plain.out;
  EXPECT_NE(plain.out.find("\"restart_type\": \"plain\""), std::string::npos) << plain.out;
  EXPECT_NE(plain.out.find("\"restart\":\"plain\""), std::string::npos) << plain.out;
  EXPECT_EQ(plain.out.find("\"warm\""), std::string::npos) << plain.out;
  // A cold test of the same profile has its own command: no word.
  const auto cold = testsupport::RunShell(
      "cd " + tmp.path().string() + " && " + testsupport::kCliPath +
      " run --profile sim7600 --restart cold --runs 1 --time-scale 50 --store none --json 2>&1");
  EXPECT_EQ(cold.code, 0) << cold.out;
  EXPECT_EQ(cold.out.find("plain start"), std::string::npos) << cold.out;
}

// Without ports, a bundled family's profile meets that family's own module
// model: its identity replies are the model's, not the profile's echo.
TEST(CliProfiles, RunWithoutPortsMeetsTheFamilysModel) {
  testsupport::TempDir tmp;
  const auto run =
      testsupport::RunShell("cd " + tmp.path().string() + " && " + testsupport::kCliPath +
                            " run --profile telit --restart cold --runs 1 "
                            "--time-scale 50 --store none --json 2>&1");
  EXPECT_EQ(run.code, 0) << run.out;
  EXPECT_NE(run.out.find("\"AT+CGMM\": \"LE910C1-EUX\""), std::string::npos) << run.out;
  const auto help = RunCli("sim --help");
  EXPECT_NE(help.out.find("--module"), std::string::npos) << help.out;
  const auto unknown = RunCli("sim --module quectel");
  EXPECT_EQ(unknown.code, 2) << unknown.out;
  EXPECT_NE(unknown.out.find("a76xx"), std::string::npos) << unknown.out;
}

}  // namespace
