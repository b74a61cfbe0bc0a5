// zuvek-cli sim from a shell: its options, the paths it prints, and a clean
// end that removes the published links.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include "tests/support/run_shell.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"

namespace {

using Result = testsupport::ShellResult;
using testsupport::RunShell;

const std::string kCli = testsupport::kCliPath;

TEST(SimCli, HelpListsEveryOption) {
  const Result r = RunShell(kCli + " sim --help");
  EXPECT_EQ(r.code, 0);
  for (const char* option : {"--name",
                             "--time-scale",
                             "--rate",
                             "--seed",
                             "--no-echo",
                             "--reply-ms",
                             "--gnss-on",
                             "--truth",
                             "--replay",
                             "--fault",
                             "--script",
                             "--ttff-hot",
                             "--ttff-warm",
                             "--ttff-cold",
                             "--ttff-assisted-warm",
                             "--ttff-assisted-cold",
                             "--no-publish",
                             "--duration",
                             "--profile",
                             "--talker",
                             "--nmea-version",
                             "--signals",
                             "--fix"}) {
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
  }
}

TEST(SimCli, BadFaultsAndRangesAreUsageErrors) {
  // Legend: arguments that must be refused before anything is published.
  for (const char* args : {"--fault explode", "--ttff-hot 7:2", "--rate 20", "--fault late=x",
                           "--profile sim9999", "--talker GL", "--nmea-version 4.2", "--fix nmea",
                           "--signals L1,X9", "--signals L1 --nmea-version 4.10"}) {
    const Result r = RunShell(kCli + " sim --no-publish --duration 5 " + args);
    EXPECT_EQ(r.code, 2) << args << ": " << r.out;
    EXPECT_EQ(r.out.find("AT port:"), std::string::npos) << args;
  }
}

TEST(SimCli, PrintsThePortsAndRemovesTheLinksOnSigterm) {
  testsupport::TempDir dir;
  const std::string env = "ZUVEK_SIM_DIR=" + dir.path().string() + " ";
  // SIGTERM after 1.5 s (a sanitizer build on a loaded machine takes half a
  // second to reach main); the simulator must end cleanly by itself.
  const Result r =
      RunShell(env + "timeout --preserve-status -s TERM 1.5 " + kCli + " sim --name bench1");
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("AT port:   /dev/pts/"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(dir.path().string() + "/bench1-AT"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(dir.path().string() + "/bench1-NMEA"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Simulator stopped."), std::string::npos) << r.out;
  EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "links removed";
}

}  // namespace
