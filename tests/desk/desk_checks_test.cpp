// The desk checks of `zuvek-cli doctor` on fakes of /sys, /dev, /proc and
// udev's database, with pseudo-terminals standing in for a module's ports.
#include "desk/desk_checks.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>

#include "config/app_config.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/local_time.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class Desk : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(usb2.Ok());
    ASSERT_TRUE(usb3.Ok());
    const fs::path root = dir.path();
    roots.diagnosis.discovery.sysfs_tty = (root / "sys").string();
    roots.diagnosis.discovery.dev = (root / "dev").string();
    roots.diagnosis.discovery.sim = (root / "sim").string();
    roots.diagnosis.proc = (root / "proc").string();
    roots.udev_data = (root / "udev").string();
    roots.settings = (root / "TTFF.cfg").string();
    roots.exe_dir = dir.dir();
    for (const char* d :
         {"sys/ttyUSB2/device", "sys/ttyUSB3/device", "dev/serial/by-id", "sim", "proc", "udev"})
      fs::create_directories(root / d);
    fs::create_symlink(usb2.path(), root / "dev" / "ttyUSB2");
    fs::create_symlink(usb3.path(), root / "dev" / "ttyUSB3");
    fs::create_symlink("../../ttyUSB2", root / "dev/serial/by-id/usb-Quectel-if02");
  }
  std::vector<PortEntry> Ports() const { return DiscoverPorts(roots.diagnosis.discovery); }
  std::string Dev(const char* name) const { return roots.diagnosis.discovery.dev + "/" + name; }
  void AddProcess(int pid, const std::string& comm, const std::vector<std::string>& open) {
    const fs::path p = fs::path(roots.diagnosis.proc) / std::to_string(pid);
    fs::create_directories(p / "fd");
    testsupport::WriteFile((p / "comm").string(), comm + "\n");
    int fd = 3;
    for (const auto& target : open)
      fs::create_symlink(target, p / "fd" / std::to_string(fd++));
  }
  // udev's entry for a device, with the property that tells ModemManager off.
  void IgnoreInUdev(const std::string& device) {
    struct stat st {};
    ASSERT_EQ(::stat(device.c_str(), &st), 0);
    testsupport::WriteFile(roots.udev_data + "/c" + std::to_string(major(st.st_rdev)) + ":" +
                               std::to_string(minor(st.st_rdev)),
                           "S:serial/by-id/x\nE:ID_MM_DEVICE_IGNORE=1\nG:systemd\n");
  }
  testsupport::PtyPair usb2, usb3;
  testsupport::TempDir dir;
  DeskRoots roots;
};

TEST_F(Desk, TheSerialGroupIsTheOneOwningThePorts) {
  const group* dialout = ::getgrnam("dialout");
  ASSERT_NE(dialout, nullptr) << "Debian has a dialout group";
  ASSERT_EQ(::chown(usb2.path().c_str(), static_cast<uid_t>(-1), dialout->gr_gid), 0);
  ASSERT_EQ(::chown(usb3.path().c_str(), static_cast<uid_t>(-1), dialout->gr_gid), 0);
  struct Case {
    const char* legend;
    DeskIdentity who;
    bool ok;
    std::string text;
  };
  const Case cases[] = {
      {"a user outside dialout: join it",
       {1000, "bench", {1000}},
       false,
       "you are not in the group dialout, which owns the serial ports: run sudo usermod -aG "
       "dialout $USER, then log out and in again."},
      {"a user in dialout",
       {1000, "bench", {1000, dialout->gr_gid}},
       true,
       "you are in the group dialout, which owns the serial ports."},
      {"root opens everything",
       {0, "root", {0}},
       true,
       "running as root, every port opens (a user needs the group dialout)."},
  };
  for (const Case& c : cases) {
    const DeskCheck check = CheckSerialGroup(Ports(), c.who, roots);
    EXPECT_EQ(check.ok, c.ok) << c.legend;
    EXPECT_EQ(check.text, c.text) << c.legend;
  }
  // A port of the group root: a udev rule gives it to dialout; never "join root".
  ASSERT_EQ(::chown(usb3.path().c_str(), static_cast<uid_t>(-1), 0), 0);
  const DeskCheck root_port = CheckSerialGroup(Ports(), {1000, "bench", {1000}}, roots);
  EXPECT_FALSE(root_port.ok);
  EXPECT_EQ(root_port.text.rfind("a serial port belongs to root alone. Give it to the group "
                                 "dialout with a udev rule",
                                 0),
            0u)
      << root_port.text;
  EXPECT_NE(root_port.text.find("GROUP=\"dialout\""), std::string::npos);
  EXPECT_EQ(root_port.text.find("usermod -aG root"), std::string::npos) << root_port.text;
}

TEST_F(Desk, ModemManagerIsFineOnlyWhenItLeavesThePortsAlone) {
  EXPECT_EQ(CheckModemManager(Ports(), roots).text, "not running.");
  EXPECT_TRUE(CheckModemManager(Ports(), roots).ok);

  AddProcess(812, "ModemManager", {"/dev/null"});
  DeskCheck c = CheckModemManager(Ports(), roots);
  EXPECT_FALSE(c.ok);
  EXPECT_EQ(c.text, "running (pid 812); it may open " + Dev("ttyUSB2") + ", " + Dev("ttyUSB3") +
                        " and take the module's replies: stop it (sudo systemctl stop "
                        "ModemManager) or tell it to leave the module alone (a udev rule with "
                        "ENV{ID_MM_DEVICE_IGNORE}=\"1\", see the README).");

  IgnoreInUdev(usb2.path());
  IgnoreInUdev(usb3.path());
  c = CheckModemManager(Ports(), roots);
  EXPECT_TRUE(c.ok);
  EXPECT_EQ(c.text,
            "running (pid 812), told to leave every serial port alone (ID_MM_DEVICE_IGNORE).");

  // Told off, but it holds one anyway (it had it before the rule).
  fs::create_symlink(usb3.path(), fs::path(roots.diagnosis.proc) / "812" / "fd" / "9");
  c = CheckModemManager(Ports(), roots);
  EXPECT_FALSE(c.ok);
  EXPECT_EQ(c.text.rfind("running (pid 812) and holds " + Dev("ttyUSB3") + ": stop it", 0), 0u)
      << c.text;
}

TEST_F(Desk, ModemManagerWithOnlySimulatorPortsIsNoProblemYet) {
  AddProcess(812, "ModemManager", {});
  fs::remove_all(roots.diagnosis.discovery.sysfs_tty);
  fs::create_symlink(usb2.path(), fs::path(roots.diagnosis.discovery.sim) / "x-AT");
  const DeskCheck c = CheckModemManager(Ports(), roots);
  EXPECT_TRUE(c.ok);
  EXPECT_EQ(c.text.rfind("running (pid 812); no module is plugged in. Before one is, stop it", 0),
            0u)
      << c.text;
}

TEST_F(Desk, PortsAreListedWithTheirStableNames) {
  DeskCheck c = CheckPortsFound(Ports());
  EXPECT_TRUE(c.ok);
  EXPECT_EQ(c.text, "2 found: ttyUSB2 (" + Dev("serial/by-id/usb-Quectel-if02") + "), ttyUSB3.");
  c = CheckPortsFound({});
  EXPECT_FALSE(c.ok);
  EXPECT_EQ(c.text.rfind("none found: plug in the module", 0), 0u);
}

TEST_F(Desk, LogFoldersThatCannotBeWrittenAreNamed) {
  platform::FakeClock clock(0, testsupport::LocalEpochMs(2026, 12, 8, 3, 0, 0));
  DeskCheck c = CheckWorkingFolders(roots, clock);
  EXPECT_TRUE(c.ok) << c.text;
  EXPECT_EQ(c.text, "the logs go to " + dir.dir() + ", writable.");
  EXPECT_FALSE(fs::exists(dir.path() / "2026-12-08")) << "the check makes no folder";

  testsupport::WriteFile(dir.file("2026-12-08"), "in the way");
  c = CheckWorkingFolders(roots, clock);
  EXPECT_FALSE(c.ok);
  EXPECT_EQ(c.text, "The day folder " + dir.dir() +
                        "2026-12-08 cannot be written: a file of that name is in the way. Move "
                        "the file away.");
}

TEST_F(Desk, TheSettingsFileMustReadWhole) {
  struct Case {
    const char* legend;
    int kind;  // 0 absent, 1 a folder, 2 damaged bytes, 3 a good file
    bool ok;
    std::string starts;
  };
  const std::string& path = roots.settings;
  const Case cases[] = {
      {"absent: the defaults", 0, true, path + " is not there: the defaults are used"},
      {"a folder in its place", 1, false, path + " cannot be read: Is a directory."},
      {"cut short", 2, false, path + " is damaged: 2 of its 11 settings could be read"},
      {"written by the tool", 3, true, path + " reads whole (fix time-out 95 s)."},
  };
  for (const Case& c : cases) {
    fs::remove_all(path);
    if (c.kind == 1)
      fs::create_directories(path);
    if (c.kind == 2)
      testsupport::WriteFile(path, "22 serialization::archive 10 0 0 5 95");
    if (c.kind == 3) {
      app_config config;
      config.SetTimeout(95);
      ASSERT_TRUE(SaveConfigTo(path, config));
    }
    const DeskCheck check = CheckSettingsFile(roots);
    EXPECT_EQ(check.ok, c.ok) << c.legend << ": " << check.text;
    EXPECT_EQ(check.text.rfind(c.starts, 0), 0u) << c.legend << ": " << check.text;
  }
}

TEST_F(Desk, ZuvekTomlIsCheckedWithItsLines) {
  roots.side_settings = dir.file("zuvek.toml");
  const DeskCheck absent = CheckSideSettingsFile(roots);
  EXPECT_TRUE(absent.ok);
  EXPECT_EQ(absent.text, roots.side_settings + " is not there: every setting keeps its default.");
  testsupport::WriteFile(roots.side_settings, "reconnect = 5\nprofile = \"nonexist\"\n");
  const DeskCheck wrong = CheckSideSettingsFile(roots);
  EXPECT_FALSE(wrong.ok);
  EXPECT_EQ(wrong.text.rfind(roots.side_settings + ":2: profile names no bundled profile", 0), 0u)
      << wrong.text;
  testsupport::WriteFile(roots.side_settings, "reconnect = 5\nprofile = \"sim7600\"\n");
  EXPECT_TRUE(CheckSideSettingsFile(roots).ok) << CheckSideSettingsFile(roots).text;
}

}  // namespace
