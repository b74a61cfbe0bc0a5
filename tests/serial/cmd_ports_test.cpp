// zuvek-cli ports: the table and the JSON on a fake sysfs tree and a
// simulator folder of pseudo-terminal links.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include "tests/support/run_shell.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/serial/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

using Result = testsupport::ShellResult;

Result RunCli(const std::string& env, const std::string& args) {
  return testsupport::RunShell(env + " " + std::string(ZUVEK_CLI_PATH) + " " + args);
}

class CliPorts : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    sys = dir.path() / "sys";
    sim = dir.path() / "sim";
    fs::create_directories(sys / "ttyUSB10" / "device");
    fs::create_directories(sys / "ttyUSB2" / "device");
    fs::create_directories(dir.path() / "dev" / "serial" / "by-id");
    fs::create_symlink("../../ttyUSB2", dir.path() / "dev/serial/by-id/usb-Modem-if02");
    fs::create_directories(sim);
    fs::create_symlink(pty.path(), sim / "nmea");
    env = "ZUVEK_SIM_DIR=" + sim.string();
    args = "--sysfs-root " + sys.string() + " --dev-root " + (dir.path() / "dev").string();
  }
  testsupport::PtyPair pty;
  testsupport::TempDir dir;
  fs::path sys, sim;
  std::string env, args;
};

TEST_F(CliPorts, TableListsIndexNameAndById) {
  const auto r = RunCli(env, "ports " + args);
  ASSERT_EQ(r.code, 0) << r.out;
  const std::string want = "0\t" + (sim / "nmea").string() + "\t(simulator)\n" + "1\tttyUSB2\t" +
                           (dir.path() / "dev/serial/by-id/usb-Modem-if02").string() +
                           "\n2\tttyUSB10\n";
  EXPECT_EQ(r.out, want);
}

TEST_F(CliPorts, JsonCarriesTheSameEntries) {
  const auto r = RunCli(env, "ports --json " + args);
  ASSERT_EQ(r.code, 0) << r.out;
  const auto j = nlohmann::json::parse(r.out);
  ASSERT_EQ(j.size(), 3u);
  EXPECT_EQ(j[0]["name"], (sim / "nmea").string());
  EXPECT_EQ(j[0]["simulated"], true);
  EXPECT_EQ(j[1]["device"], "ttyUSB2");
  EXPECT_EQ(j[1]["index"], 1);
  EXPECT_EQ(j[2]["by_id"], "");
}

TEST_F(CliPorts, NothingFoundIsNoFailure) {
  const auto r = RunCli("ZUVEK_SIM_DIR=" + (dir.path() / "none").string(),
                        "ports --sysfs-root " + (dir.path() / "none").string());
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "No serial ports found.\n");
}

}  // namespace
