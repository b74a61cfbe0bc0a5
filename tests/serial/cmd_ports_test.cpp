// zuvek-cli ports: the table and the JSON on a fake sysfs tree and a
// simulator folder of pseudo-terminal links.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include "tests/support/child_process.h"
#include "tests/support/run_shell.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "platform/clock.h"
#include "sim/simulator.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"

namespace {

namespace fs = std::filesystem;

using Result = testsupport::ShellResult;

Result RunCli(const std::string& env, const std::string& args) {
  return testsupport::RunShell(env + " " + std::string(testsupport::kCliPath) + " " + args);
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

// The simulator publishes its two ports; the probe tells them apart.
class CliProbe : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_dir = dir.path() / "sim";
    options.publish = true;
    options.ports_folder = sim_dir.string();
    options.name = "probe";
    options.gnss_on = true;  // the NMEA port streams from the start
    std::string error;
    ASSERT_TRUE(simulator.Start(options, &error)) << error;
    env = "ZUVEK_SIM_DIR=" + sim_dir.string();
    args = " --sysfs-root " + (dir.path() / "none").string();
  }
  void TearDown() override { simulator.Stop(); }
  nlohmann::json Probe(const std::string& extra = "") {
    const auto r = RunCli(env, "ports --probe --json" + args + extra);
    EXPECT_EQ(r.code, 0) << r.out;
    return nlohmann::json::parse(r.out, nullptr, false);
  }
  testsupport::TempDir dir;
  fs::path sim_dir;
  sim::SimOptions options;
  sim::Simulator simulator{std::make_shared<platform::RealClock>()};
  std::string env, args;
};

TEST_F(CliProbe, TellsTheAtPortFromTheNmeaPortAndSendsOneAt) {
  const auto j = Probe();
  ASSERT_TRUE(j.is_array());
  ASSERT_EQ(j.size(), 2u) << j.dump();
  EXPECT_EQ(j[0]["name"], (sim_dir / "probe-AT").string());
  EXPECT_EQ(j[0]["probe"]["result"], "at") << j.dump();
  EXPECT_EQ(j[1]["probe"]["result"], "nmea") << j.dump();
  const auto talkers = j[1]["probe"]["talkers"].get<std::vector<std::string>>();
  EXPECT_NE(std::find(talkers.begin(), talkers.end(), "GP"), talkers.end()) << j.dump();
  EXPECT_GT(j[1]["probe"]["sentences_per_s"].get<double>(), 0.5);
  // One "AT" went to the AT port, nothing else anywhere.
  const auto commands = simulator.Commands();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].text, "AT");

  const auto table = RunCli(env, "ports --probe" + args);
  EXPECT_NE(table.out.find("probe-AT\t(simulator)\tAT (answered OK)\n"), std::string::npos)
      << table.out;
  EXPECT_NE(table.out.find("probe-NMEA\t(simulator)\tNMEA ("), std::string::npos) << table.out;
}

TEST_F(CliProbe, APortModemManagerHoldsIsBusyAndNotWrittenTo) {
  // A fake /proc: ModemManager has the AT device open.
  const fs::path proc = dir.path() / "proc";
  fs::create_directories(proc / "812" / "fd");
  testsupport::WriteFile((proc / "812" / "comm").string(), "ModemManager\n");
  fs::create_symlink(simulator.AtDevicePath(), proc / "812" / "fd" / "4");
  const auto j = Probe(" --proc-root " + proc.string());
  ASSERT_EQ(j.size(), 2u) << j.dump();
  EXPECT_EQ(j[0]["probe"]["result"], "busy");
  EXPECT_EQ(j[0]["probe"]["holders"][0]["pid"], 812);
  EXPECT_EQ(j[0]["probe"]["holders"][0]["name"], "ModemManager");
  EXPECT_EQ(j[1]["probe"]["result"], "nmea");
  EXPECT_TRUE(simulator.Commands().empty());
}

TEST(CliPortsHelp, ProbeAndDoctorAreInTheHelp) {
  EXPECT_NE(RunCli("", "ports --help").out.find("--probe"), std::string::npos);
  const auto top = RunCli("", "--help");
  EXPECT_NE(top.out.find("doctor"), std::string::npos) << top.out;
}

}  // namespace

// A module whose GNSS is off: its NMEA port says nothing until GNSS is
// started through the AT port. The Telit model also wants its NMEA output
// switched on (AT$GPSNMUN) first, as its manual tells; GNSS starts with
// AT$GPSP=1 and stops with AT$GPSP=0.
class CliProbeGnssOff : public ::testing::Test {
 protected:
  void SetUp() override {
    options.ports_folder = (dir.path() / "sim").string();
    options.name = "telit";
    options.module = "telit";
    std::string error;
    ASSERT_TRUE(simulator.Start(options, &error)) << error;
  }
  void TearDown() override { simulator.Stop(); }
  testsupport::ProgramResult Probe(std::vector<std::string> extra) {
    std::vector<std::string> args = {testsupport::kCliPath, "ports",         "--probe", "--json",
                                     "--sysfs-root",        dir.file("none")};
    args.insert(args.end(), extra.begin(), extra.end());
    return testsupport::RunProgram(args, dir.path().string(),
                                   {"ZUVEK_SIM_DIR=" + options.ports_folder});
  }
  std::vector<std::string> Commands() const {
    std::vector<std::string> texts;
    for (const auto& c : simulator.Commands())
      texts.push_back(c.text);
    return texts;
  }
  testsupport::TempDir dir;
  sim::SimOptions options;
  sim::Simulator simulator{std::make_shared<platform::RealClock>()};
};

TEST_F(CliProbeGnssOff, StartGnssHearsTheNmeaPortAndStopsItAfterwards) {
  const auto before = Probe({});
  ASSERT_EQ(before.code, 0) << before.err;
  auto j = nlohmann::json::parse(before.out, nullptr, false);
  ASSERT_TRUE(j.is_array() && j.size() == 2u) << before.out;
  EXPECT_EQ(j[1]["probe"]["result"], "silent") << j.dump();

  const auto r = Probe({"--start-gnss", "--profile", "telit"});
  ASSERT_EQ(r.code, 0) << r.err;
  j = nlohmann::json::parse(r.out, nullptr, false);
  ASSERT_TRUE(j.is_array() && j.size() == 2u) << r.out;
  EXPECT_EQ(j[0]["probe"]["result"], "at") << j.dump();
  EXPECT_EQ(j[1]["probe"]["result"], "nmea") << j.dump();
  const auto commands = Commands();
  const auto at = [&](const std::string& text) {
    return std::find(commands.begin(), commands.end(), text) - commands.begin();
  };
  const auto nmun =
      std::find_if(commands.begin(), commands.end(),
                   [](const std::string& c) { return c.rfind("AT$GPSNMUN=", 0) == 0; }) -
      commands.begin();
  ASSERT_LT(at("AT$GPSP=1"), static_cast<long>(commands.size()))
      << ::testing::PrintToString(commands);
  EXPECT_LT(nmun, at("AT$GPSP=1")) << ::testing::PrintToString(commands);
  EXPECT_EQ(commands.back(), "AT$GPSP=0") << "stopped afterwards";
  EXPECT_NE(r.err.find("GNSS started on " + options.ports_folder + "/telit-AT (AT$GPSP=1)"),
            std::string::npos)
      << r.err;
}

TEST_F(CliProbeGnssOff, AnotherFamilysStartIsRefusedAndNothingIsStopped) {
  const auto r = Probe({"--start-gnss", "--profile", "sim7600"});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("zuvek-cli: the module refused AT+CGPS=1,1 (\"ERROR\"): check the profile "
                       "against its manual, zuvek-cli profiles show sim7600\n"),
            std::string::npos)
      << r.err;
  const auto j = nlohmann::json::parse(r.out, nullptr, false);
  ASSERT_TRUE(j.is_array() && j.size() == 2u) << r.out;
  EXPECT_EQ(j[1]["probe"]["result"], "silent") << j.dump();
  EXPECT_EQ(Commands().back(), "AT+CGPS=1,1") << "no stop after a start that was refused";
  EXPECT_EQ(Probe({"--start-gnss"}).code, 2) << "--start-gnss needs --profile";
}
