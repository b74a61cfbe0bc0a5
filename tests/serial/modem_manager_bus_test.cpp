// ModemManager asked on the bus: a real dbus-daemon on a private bus, a
// stand-in ModemManager on it (modem_manager_standin.cpp) that says it holds
// the simulator's AT port without opening it, and zuvek-cli pointed at that
// bus through ZUVEK_MM_BUS_ADDRESS. The /proc search cannot see such a
// holder; only the bus tells. Run as root and as the user nobody (the suite
// runs as root in CI), as a normal user in the dialout group would meet it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "platform/clock.h"
#include "sim/simulator.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ChildProcess;
using testsupport::ProgramResult;

// Every user may connect: the test's second user is nobody.
constexpr const char* kBusConfig = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

// The first line `child` writes, waiting up to 5 s of real time for it.
std::string FirstLine(const ChildProcess& child) {
  for (int i = 0; i < 100; ++i) {
    const std::string out = child.Out();
    const auto end = out.find('\n');
    if (end != std::string::npos)
      return out.substr(0, end);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return {};
}

std::string UnderDev(const std::string& path) {
  return path.rfind("/dev/", 0) == 0 ? path.substr(5) : path;
}

class ModemManagerOnTheBus : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::access("/usr/bin/dbus-daemon", X_OK), 0)
        << "dbus-daemon is missing: scripts/bootstrap installs it";
    testsupport::WriteFile(dir.file("bus.conf"), kBusConfig);
    bus = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/dbus-daemon", "--config-file=" + dir.file("bus.conf"),
                                 "--nofork", "--nopidfile", "--print-address"},
        dir.path().string());
    address = FirstLine(*bus);
    ASSERT_FALSE(address.empty()) << bus->Err();
    options.ports_folder = (dir.path() / "sim").string();
    options.name = "mm";
    options.gnss_on = true;
    std::string error;
    ASSERT_TRUE(simulator.Start(options, &error)) << error;
    standin = std::make_unique<ChildProcess>(
        std::vector<std::string>{testsupport::kStandInPath, address,
                                 UnderDev(simulator.AtDevicePath()), "cdc-wdm0"},
        dir.path().string());
    ASSERT_EQ(FirstLine(*standin), "ready") << standin->Err();
    // The second user reads the folders and both ports, and writes its day folder.
    for (const fs::path& p : {dir.path(), dir.path() / "sim"})
      fs::permissions(p, fs::perms::all);
    fs::create_directories(dir.path() / "home");
    fs::permissions(dir.path() / "home", fs::perms::all);
    for (const std::string& p : {simulator.AtDevicePath(), simulator.NmeaDevicePath()})
      ASSERT_EQ(::chmod(p.c_str(), 0666), 0) << p;
  }
  void TearDown() override {
    standin.reset();
    simulator.Stop();
    bus.reset();
  }
  // zuvek-cli as this user (`nobody` false) or as nobody, on the private bus.
  ProgramResult Cli(std::vector<std::string> args, bool nobody) {
    args.insert(args.begin(), testsupport::kCliPath);
    if (nobody && ::getuid() == 0) {
      args.insert(args.begin(),
                  {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    const std::string home = (dir.path() / "home").string();
    return testsupport::RunProgram(
        args, home,
        {"ZUVEK_MM_BUS_ADDRESS=" + address, "ZUVEK_SIM_DIR=" + options.ports_folder, "HOME=" + home,
         "XDG_DATA_HOME=" + home, "XDG_CONFIG_HOME=" + home});
  }
  // ports --probe --json: one entry per port, or an empty array after a
  // failure (told by the test).
  nlohmann::json Probe(bool nobody) {
    const ProgramResult r =
        Cli({"ports", "--probe", "--json", "--sysfs-root", dir.file("none")}, nobody);
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    auto j = nlohmann::json::parse(r.out, nullptr, false);
    EXPECT_TRUE(j.is_array() && j.size() == 2u) << r.out << r.err;
    return j.is_array() && j.size() == 2u ? j : nlohmann::json::array();
  }
  // The refusal of the AT port, named as `name`.
  std::string Refusal(const std::string& name) const {
    return name + " is in use by ModemManager (pid " + std::to_string(standin->Pid()) +
           "). Stop it (systemctl stop ModemManager) or tell it to leave the module alone "
           "(udev: ENV{ID_MM_DEVICE_IGNORE}=\"1\").";
  }
  testsupport::TempDir dir;
  std::unique_ptr<ChildProcess> bus, standin;
  std::string address;
  sim::SimOptions options;
  sim::Simulator simulator{std::make_shared<platform::RealClock>()};
};

TEST_F(ModemManagerOnTheBus, TheProbeNamesThePortItHoldsAndWritesNothingToIt) {
  for (const bool nobody : {false, true}) {
    SCOPED_TRACE(nobody ? "as nobody" : "as this user");
    const auto j = Probe(nobody);
    ASSERT_EQ(j.size(), 2u);
    EXPECT_EQ(j[0]["probe"]["result"], "busy") << j.dump();
    EXPECT_EQ(j[0]["probe"]["holders"][0]["pid"], standin->Pid()) << j.dump();
    EXPECT_EQ(j[0]["probe"]["holders"][0]["name"], "ModemManager") << j.dump();
    EXPECT_EQ(j[0]["probe"]["text"], Refusal(options.ports_folder + "/mm-AT")) << j.dump();
    EXPECT_EQ(j[1]["probe"]["result"], "nmea") << j.dump();
    EXPECT_TRUE(simulator.Commands().empty()) << "nothing was written to its port";
  }
}

TEST_F(ModemManagerOnTheBus, RunRefusesThePortItHolds) {
  for (const bool nobody : {false, true}) {
    SCOPED_TRACE(nobody ? "as nobody" : "as this user");
    const ProgramResult r = Cli({"run", "--at-port", simulator.AtDevicePath(), "--nmea-port",
                                 simulator.NmeaDevicePath(), "--runs", "1", "-q"},
                                nobody);
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("zuvek-cli: Open serial port failed!\nzuvek-cli: " +
                         Refusal(simulator.AtDevicePath())),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(simulator.Commands().empty()) << "nothing was written to its port";
  }
}

TEST_F(ModemManagerOnTheBus, APortItDoesNotHoldIsNoneOfItsBusiness) {
  standin.reset();  // the name has no owner now: no ModemManager, no error
  const auto j = Probe(true);
  ASSERT_EQ(j.size(), 2u);
  EXPECT_EQ(j[0]["probe"]["result"], "at") << j.dump();
}

}  // namespace
