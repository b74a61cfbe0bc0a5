// zuvek-cli doctor from a shell against the simulator's published ports and
// a fake /proc: every check on its own line, exit 0 when all is fine and 1
// when something needs doing.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "platform/clock.h"
#include "sim/simulator.h"
#include "tests/support/run_shell.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"

namespace {

namespace fs = std::filesystem;

class CliDoctor : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SimOptions options;
    options.ports_folder = (dir.path() / "sim").string();
    options.name = "doc";
    std::string error;
    ASSERT_TRUE(simulator.Start(options, &error)) << error;
    fs::create_directories(dir.path() / "proc" / "1");
    testsupport::WriteFile(dir.file("proc/1/comm"), "systemd\n");
    fs::create_directories(dir.path() / "work");
  }
  void TearDown() override { simulator.Stop(); }
  testsupport::ShellResult Doctor() {
    const std::string cd = "cd " + dir.file("work") + " && ";
    return testsupport::RunShell(
        cd + "ZUVEK_SIM_DIR=" + dir.file("sim") + " " + testsupport::kCliPath +
        " doctor --sysfs-root " + dir.file("none") + " --proc-root " + dir.file("proc") +
        " --udev-root " + dir.file("none") + " --program-dir " + dir.file("work"));
  }
  static std::vector<std::string> Lines(const std::string& out) {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);)
      lines.push_back(l);
    return lines;
  }
  testsupport::TempDir dir;
  sim::Simulator simulator{std::make_shared<platform::RealClock>()};
};

TEST_F(CliDoctor, AllFineIsSixOkLinesAndExitZero) {
  const auto r = Doctor();
  EXPECT_EQ(r.code, 0) << r.out;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 6u) << r.out;
  for (const auto& l : lines)
    EXPECT_EQ(l.rfind("ok       ", 0), 0u) << l;
  EXPECT_NE(r.out.find("serial ports: 2 found: " + simulator.AtLinkPath() + " (simulator), " +
                       simulator.NmeaLinkPath() + " (simulator)."),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("ModemManager: not running."), std::string::npos) << r.out;
}

TEST_F(CliDoctor, ModemManagerHoldingAPortAndBadSettingsFilesAreProblems) {
  fs::create_directories(dir.path() / "proc" / "812" / "fd");
  testsupport::WriteFile(dir.file("proc/812/comm"), "ModemManager\n");
  fs::create_symlink(simulator.AtDevicePath(), dir.path() / "proc/812/fd/7");
  fs::create_directories(dir.path() / "work" / "TTFF.cfg");  // a folder in its place
  testsupport::WriteFile(dir.file("work/zuvek.toml"), "profile = \"nonexist\"\n");
  const auto r = Doctor();
  EXPECT_EQ(r.code, 1) << r.out;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 6u) << r.out;
  EXPECT_EQ(
      lines[5].rfind("PROBLEM  zuvek.toml: zuvek.toml:1: profile names no bundled profile", 0), 0u)
      << lines[5];
  EXPECT_EQ(lines[1], "PROBLEM  ModemManager: running (pid 812) and holds " +
                          simulator.AtLinkPath() +
                          ": stop it (sudo systemctl stop ModemManager) or tell it to leave the "
                          "module alone (a udev rule with ENV{ID_MM_DEVICE_IGNORE}=\"1\", see the "
                          "README).");
  EXPECT_EQ(lines[4].rfind("PROBLEM  settings file: TTFF.cfg cannot be read", 0), 0u) << lines[4];
  EXPECT_EQ(lines[2].rfind("ok       serial ports:", 0), 0u) << lines[2];
}

TEST(CliDoctorHelp, SaysWhatItChecksAndItsExitCodes) {
  const auto r = testsupport::RunShell(std::string(testsupport::kCliPath) + " doctor --help");
  EXPECT_EQ(r.code, 0);
  for (const char* word : {"ModemManager", "TTFF.cfg", "zuvek.toml", "Exit code 0", "--proc-root"})
    EXPECT_NE(r.out.find(word), std::string::npos) << word;
}

}  // namespace
