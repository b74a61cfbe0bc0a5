// The sentence after "Open serial port failed!": a table of open errors and
// device facts, and the facts gathered from real files and a fake sysfs.
#include "serial/open_diagnosis.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/win_errors.h"
#include "serial/serial.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/holder_process.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

OpenFacts Facts(bool exists, bool chr, bool may_open, const std::string& group, bool in_group,
                std::vector<PortHolder> holders = {}) {
  OpenFacts f;
  f.exists = exists;
  f.char_device = chr;
  f.may_open = may_open;
  f.group = group;
  f.in_group = in_group;
  f.holders = std::move(holders);
  f.ports = {"ttyACM0", "/dev/serial/by-id/usb-Quectel-if02-port0"};
  return f;
}

TEST(OpenDiagnosis, EachCauseGetsItsSentence) {
  struct Case {
    const char* legend;
    const char* name;
    DWORD error;
    OpenFacts facts;
    std::string want;
  };
  const std::string ports =
      "The serial ports here are: ttyACM0, /dev/serial/by-id/usb-Quectel-if02-port0 (zuvek-cli "
      "ports lists them).";
  const Case cases[] = {
      {"no such device: the ports that exist", "ttyUSB5", win::kFileNotFound,
       Facts(false, false, true, "", false), "/dev/ttyUSB5 does not exist. " + ports},
      {"a node with nothing behind it (ENXIO)", "ttyS3", win::kFileNotFound,
       Facts(true, true, true, "dialout", true),
       "/dev/ttyS3 is there, but no device answers behind it (unplugged, or a placeholder "
       "port). " +
           ports},
      {"a missing folder in the path", "/dev/serial/by-id/x", win::kPathNotFound,
       Facts(false, false, true, "", false), "/dev/serial/by-id/x does not exist. " + ports},
      {"nothing chosen", "", win::kFileNotFound, Facts(false, false, true, "", false),
       "No port was chosen. " + ports},
      {"permission: not in dialout", "ttyUSB2", win::kAccessDenied,
       Facts(true, true, false, "dialout", false),
       "You may not open /dev/ttyUSB2: it belongs to the group dialout, which you are not in. "
       "Run sudo usermod -aG dialout $USER, then log out and in again."},
      {"permission: another group", "ttyACM0", win::kAccessDenied,
       Facts(true, true, false, "uucp", false),
       "You may not open /dev/ttyACM0: it belongs to the group uucp, which you are not in. Run "
       "sudo usermod -aG uucp $USER, then log out and in again."},
      {"permission: a device of root alone: never join root", "ttyUSB3", win::kAccessDenied,
       Facts(true, true, false, "root", false),
       "You may not open /dev/ttyUSB3: it belongs to root alone. Give it to the group dialout "
       "with a udev rule naming the module's USB vendor ID (the first half of ID vvvv:pppp in "
       "lsusb), for example: echo 'SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"vvvv\", "
       "GROUP=\"dialout\", MODE=\"0660\"' | sudo tee /etc/udev/rules.d/70-zuvek-tty.rules, then "
       "sudo udevadm control --reload, replug the module, and join dialout if you are not in it."},
      {"permission: in the group, mode refuses", "ttyUSB2", win::kAccessDenied,
       Facts(true, true, false, "dialout", true),
       "You may not open /dev/ttyUSB2 (its permissions refuse it): ask for read and write access "
       "to it (ls -l /dev/ttyUSB2 shows them)."},
      {"locked by a program we can see", "ttyUSB2", win::kAccessDenied,
       Facts(true, true, true, "dialout", true, {{812, "ModemManager"}}),
       "/dev/ttyUSB2 is in use by ModemManager (pid 812). Stop it (systemctl stop ModemManager) "
       "or tell it to leave the module alone (udev: ENV{ID_MM_DEVICE_IGNORE}=\"1\")."},
      {"locked by a program we cannot see", "ttyUSB2", win::kAccessDenied,
       Facts(true, true, true, "dialout", true),
       "/dev/ttyUSB2 is in use by another program that holds it for itself. Close that program "
       "(sudo fuser -v /dev/ttyUSB2 shows which), then open the port again."},
      {"not a serial device", "/dev/null", win::kNotSupported,
       Facts(true, true, true, "root", true),
       "/dev/null is not a serial device. Choose a serial port: " + ports},
      {"a name too long", "x", win::kFilenameExcedRange, Facts(false, false, true, "", false),
       "The port name is longer than " + std::to_string(PATH_MAX - 1) +
           " characters: give its short name (ttyUSB2) or its "
           "/dev/serial/by-id name."},
      {"anything else: the code and the ports", "ttyUSB2", win::kGenFailure,
       Facts(true, true, true, "dialout", true),
       "/dev/ttyUSB2 could not be opened (system error 31). Check that it is the module's serial "
       "port: " +
           ports},
  };
  for (const Case& c : cases) {
    const std::string path = c.name[0] ? tty::DevicePath(c.name) : "";
    EXPECT_EQ(DescribeOpenFailure(c.name, path, c.error, c.facts), c.want) << c.legend;
  }
}

TEST(OpenDiagnosis, NoPortsAtAllSaysWhereToLook) {
  OpenFacts f;
  EXPECT_EQ(DescribeOpenFailure("ttyUSB0", "/dev/ttyUSB0", win::kFileNotFound, f),
            "/dev/ttyUSB0 does not exist. No serial port is found here: check the cable and the "
            "module's power (sudo dmesg shows what the kernel saw).");
}

TEST(OpenDiagnosis, FactsComeFromTheDeviceTheSysfsAndProc) {
  testsupport::TempDir dir;
  testsupport::PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  DiagnosisRoots roots;
  roots.discovery.sysfs_tty = (dir.path() / "sys").string();
  roots.discovery.dev = (dir.path() / "dev").string();
  roots.discovery.sim = (dir.path() / "sim").string();
  fs::create_directories(dir.path() / "sys" / "ttyUSB1" / "device");

  const OpenFacts missing = GatherOpenFacts((dir.path() / "ttyUSB9").string(), roots);
  EXPECT_FALSE(missing.exists);
  EXPECT_EQ(missing.ports, std::vector<std::string>{"ttyUSB1"});

  testsupport::HolderProcess holder(pty.path(), "zuvek-holder");
  ASSERT_TRUE(holder.Holds());
  const OpenFacts held = GatherOpenFacts(pty.path(), roots);
  EXPECT_TRUE(held.exists);
  EXPECT_TRUE(held.char_device);
  EXPECT_TRUE(held.may_open);
  EXPECT_FALSE(held.group.empty());
  ASSERT_EQ(held.holders.size(), 1u);
  EXPECT_EQ(held.holders[0].pid, holder.pid());
  EXPECT_EQ(CheckNoOtherHolder(pty.path(), roots),
            pty.path() + " is in use by zuvek-holder (pid " + std::to_string(holder.pid()) +
                "). Close that program, then open the port again.");
}

TEST(OpenDiagnosis, ARealFailedOpenIsDescribedByItsCause) {
  // Legend: the error the port class really returns leads to the right sentence.
  testsupport::TempDir dir;
  DiagnosisRoots roots;
  roots.discovery.sysfs_tty = (dir.path() / "none").string();
  roots.discovery.sim = (dir.path() / "none").string();
  testsupport::WriteFile(dir.file("plain"), "not a tty");
  struct Case {
    std::string path;
    const char* starts;
  };
  const Case cases[] = {
      {dir.file("ttyUSB9"), " does not exist."},
      {dir.file("plain"), " is not a serial device."},
  };
  for (const Case& c : cases) {
    CSerial port;
    const LONG err = port.Open(c.path.c_str());
    ASSERT_NE(err, 0) << c.path;
    const std::string text = DescribeOpenFailure(c.path, c.path, static_cast<DWORD>(err),
                                                 GatherOpenFacts(c.path, roots));
    EXPECT_EQ(text.rfind(c.path + c.starts, 0), 0u) << text;
  }
}

TEST(OpenDiagnosis, ARealPermissionRefusalSaysWhichGroupToJoin) {
  // Legend: a user who may not open the device (mode 0: no one but root),
  // played by a child that is no root; the device of the group dialout
  // (join it) and of the group root (never join root: a udev rule).
  const group* dialout = ::getgrnam("dialout");
  ASSERT_NE(dialout, nullptr) << "Debian has a dialout group";
  for (const gid_t gid : {dialout->gr_gid, gid_t{0}}) {
    SCOPED_TRACE(gid == 0 ? "root" : "dialout");
    testsupport::TempDir dir;
    testsupport::PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_EQ(::chown(pty.path().c_str(), static_cast<uid_t>(-1), gid), 0);
    ASSERT_EQ(::chmod(pty.path().c_str(), 0), 0);
    DiagnosisRoots roots;
    roots.discovery.sysfs_tty = (dir.path() / "none").string();
    roots.discovery.sim = (dir.path() / "none").string();
    const std::string want =
        gid == 0
            ? "You may not open " + pty.path() + ": it belongs to root alone. " + kRootDeviceAdvice
            : "You may not open " + pty.path() +
                  ": it belongs to the group dialout, which you are not in. Run sudo "
                  "usermod -aG dialout $USER, then log out and in again.";
    const pid_t child = ::fork();
    if (child == 0) {
      if (::getuid() == 0 &&
          (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
        ::_exit(10);
      CSerial port;
      const LONG err = port.Open(pty.path().c_str());
      if (err != static_cast<LONG>(win::kAccessDenied))
        ::_exit(11);
      const OpenFacts facts = GatherOpenFacts(pty.path(), roots);
      const std::string text =
          DescribeOpenFailure(pty.path(), pty.path(), static_cast<DWORD>(err), facts);
      ::_exit(text == want && !facts.may_open && !facts.in_group ? 0 : 12);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10 cannot drop root, 11 the open, 12 the sentence";
  }
}

}  // namespace
