// The hub's open path against the simulator: a port that another process
// holds is refused with a sentence naming it, and a port that does not open
// says why, each after "Open serial port failed!".
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/e2e/sim_rig.h"
#include "tests/support/holder_process.h"

namespace {

namespace fs = std::filesystem;
using testsupport::SimRig;
using Texts = std::vector<std::string>;

class HubOpen : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(rig.simulator.Start(rig.options, &error)) << error;
    rig.hub = std::make_unique<ModuleHub>(rig.target, *rig.clock, rig.folders);
    // The ports that exist, as the port lists would show them.
    roots.discovery.sysfs_tty = (rig.tmp.path() / "sys").string();
    roots.discovery.dev = (rig.tmp.path() / "dev").string();
    roots.discovery.sim = (rig.tmp.path() / "sim").string();
    fs::create_directories(rig.tmp.path() / "sys" / "ttyUSB1" / "device");
    fs::create_directories(rig.tmp.path() / "sys" / "ttyUSB0" / "device");
    rig.hub->SetDiagnosisRoots(roots);
  }
  Texts Open(const std::string& at, const std::string& nmea) {
    return rig.hub->OpenPorts({at, 115200, nmea, 115200, ""});
  }
  SimRig rig;
  DiagnosisRoots roots;
};

TEST_F(HubOpen, APortThatAnotherProcessHoldsIsRefusedNamingIt) {
  const std::string at = rig.simulator.AtDevicePath();
  testsupport::HolderProcess holder(at, "zuvek-holder");
  ASSERT_TRUE(holder.Holds());
  const Texts texts = Open(at, rig.simulator.NmeaDevicePath());
  const Texts want = {"Open serial port failed!",
                      at + " is in use by zuvek-holder (pid " + std::to_string(holder.pid()) +
                          "). Close that program, then open the port again.",
                      "Serial Failed!", "Serial Failed!"};
  EXPECT_EQ(texts, want);
  EXPECT_FALSE(rig.hub->AtPort().IsOpen()) << "refused, not shared";
  EXPECT_TRUE(rig.hub->NmeaPort().IsOpen());
  rig.hub->ClosePorts();
}

TEST_F(HubOpen, ModemManagerHoldingThePortIsNamedWithTheWayOut) {
  const std::string nmea = rig.simulator.NmeaDevicePath();
  const fs::path proc = rig.tmp.path() / "proc";
  fs::create_directories(proc / "812" / "fd");
  testsupport::WriteFile((proc / "812" / "comm").string(), "ModemManager\n");
  fs::create_symlink(nmea, proc / "812" / "fd" / "9");
  roots.proc = proc.string();
  rig.hub->SetDiagnosisRoots(roots);
  const Texts want = {
      "Open serial port failed!",
      nmea +
          " is in use by ModemManager (pid 812). Stop it (systemctl stop ModemManager) or "
          "tell it to leave the module alone (udev: ENV{ID_MM_DEVICE_IGNORE}=\"1\").",
      "Serial Failed!", "Serial Failed!"};
  EXPECT_EQ(Open(rig.simulator.AtDevicePath(), nmea), want);
  rig.hub->ClosePorts();
}

TEST_F(HubOpen, APortThatDoesNotExistSaysSoAndListsThePortsThatDo) {
  const std::string gone = rig.simulator.NmeaDevicePath() + "-gone";
  const Texts want = {"Open serial port failed!",
                      gone +
                          " does not exist. The serial ports here are: ttyUSB0, ttyUSB1 "
                          "(zuvek-cli ports lists them).",
                      "Serial Failed!", "Serial Failed!"};
  EXPECT_EQ(Open(rig.simulator.AtDevicePath(), gone), want);
  rig.hub->ClosePorts();
}

TEST_F(HubOpen, NotASerialDeviceSaysSo) {
  const std::string plain = rig.tmp.file("plain.txt");
  testsupport::WriteFile(plain, "x");
  const Texts texts = Open(plain, rig.simulator.NmeaDevicePath());
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[0], "Open serial port failed!");
  EXPECT_EQ(texts[1].rfind(plain + " is not a serial device.", 0), 0u) << texts[1];
  rig.hub->ClosePorts();
}

}  // namespace
