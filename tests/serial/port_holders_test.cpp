// Who else holds a serial device: on a fake /proc tree (descriptor links, a
// command name, our own process left out) and on the real one with a second
// process holding a pseudo-terminal.
#include "serial/port_holders.h"

#include <sys/wait.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "serial/open_diagnosis.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/holder_process.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class FakeProc : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    ASSERT_TRUE(other.Ok());
    proc = dir.path() / "proc";
    fs::create_directories(proc);
  }
  // A process folder with a command name and descriptor links.
  void AddProcess(int pid, const std::string& comm, const std::vector<std::string>& open) {
    const fs::path p = proc / std::to_string(pid);
    fs::create_directories(p / "fd");
    testsupport::WriteFile((p / "comm").string(), comm + "\n");
    int fd = 0;
    for (const auto& target : open)
      fs::create_symlink(target, p / "fd" / std::to_string(fd++));
  }
  testsupport::PtyPair pty, other;
  testsupport::TempDir dir;
  fs::path proc;
};

TEST_F(FakeProc, FindsTheProcessesThatHoldTheDeviceByItsNumber) {
  AddProcess(812, "ModemManager", {"/dev/null", pty.path()});
  AddProcess(77, "minicom", {pty.path()});
  AddProcess(900, "bash", {"/dev/null", other.path()});      // another pty: not a holder
  AddProcess(901, "cat", {(dir.path() / "gone").string()});  // dangling link
  AddProcess(1234, "zuvek", {pty.path()});                   // ourselves
  fs::create_directories(proc / "self" / "fd");              // not a process folder
  fs::create_symlink(pty.path(), proc / "self" / "fd" / "0");
  // A link by another name to the same device counts too.
  fs::create_symlink(pty.path(), dir.path() / "by-id-name");
  AddProcess(5, "picocom", {(dir.path() / "by-id-name").string()});

  const HolderScan scan = FindPortHolders(pty.path(), proc.string(), 1234);
  ASSERT_EQ(scan.holders.size(), 3u);
  EXPECT_EQ(scan.holders[0].pid, 5);
  EXPECT_EQ(scan.holders[0].name, "picocom");
  EXPECT_EQ(scan.holders[1].pid, 77);
  EXPECT_EQ(scan.holders[2].pid, 812);
  EXPECT_EQ(scan.holders[2].name, "ModemManager");
  EXPECT_TRUE(scan.unreadable.empty());
  // Asked by the link's name, the same holders come back.
  EXPECT_EQ(
      FindPortHolders((dir.path() / "by-id-name").string(), proc.string(), 1234).holders.size(),
      3u);
}

TEST_F(FakeProc, NoCharacterDeviceHasNoHolders) {
  AddProcess(812, "ModemManager", {"/dev/null", pty.path()});
  testsupport::WriteFile((dir.path() / "plain").string(), "x");
  EXPECT_TRUE(FindPortHolders((dir.path() / "plain").string(), proc.string(), 1).holders.empty());
  EXPECT_TRUE(FindPortHolders((dir.path() / "none").string(), proc.string(), 1).holders.empty());
  EXPECT_TRUE(FindPortHolders(pty.path(), (dir.path() / "no-proc").string(), 1).holders.empty());
}

TEST_F(FakeProc, ProcessesWhoseDescriptorsAreHiddenAreToldApart) {
  // Another user's process: its descriptor folder cannot be read. The scan
  // runs in a child that is no root (root reads every folder).
  AddProcess(812, "ModemManager", {pty.path()});
  AddProcess(77, "minicom", {pty.path()});
  fs::permissions(proc / "812" / "fd", fs::perms::none);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(10);
    const HolderScan scan = FindPortHolders(pty.path(), proc.string(), 1);
    if (scan.holders.size() != 1 || scan.holders[0].pid != 77)
      ::_exit(11);
    if (scan.unreadable.size() != 1 || scan.unreadable[0].name != "ModemManager")
      ::_exit(12);
    DiagnosisRoots roots;
    roots.proc = proc.string();
    std::string unseen;
    CheckNoOtherHolder(pty.path(), roots, &unseen);
    ::_exit(unseen == "ModemManager (pid 812) is running, and whether it has " + pty.path() +
                          " open cannot be seen as this user; if AT replies go missing, run "
                          "zuvek-cli doctor."
                ? 0
                : 13);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  fs::permissions(proc / "812" / "fd", fs::perms::owner_all);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10 cannot drop root, 11 holders, 12 hidden, 13 the note";
}

// What ModemManager says on the bus, against the device by its number.
TEST_F(FakeProc, ModemManagersOwnWordAddsItAsAHolder) {
  const std::string name = pty.path().substr(std::string("/dev/").size());  // "pts/N"
  fs::create_symlink(pty.path(), dir.path() / "ttyUSB2");  // a name in another /dev
  struct Case {
    const char* legend;
    platform::ModemManagerPorts mm;
    std::string dev_root;
    std::vector<int> holders, unreadable;
  };
  const std::vector<Case> cases = {
      {"a port under /dev", {812, {"cdc-wdm0", name}}, "/dev", {77, 812}, {}},
      {"another name of the device", {812, {"ttyUSB2"}}, dir.path().string(), {77, 812}, {}},
      {"an absolute name", {812, {pty.path()}}, "/nowhere", {77, 812}, {}},
      {"another port only", {812, {other.path()}}, "/dev", {77}, {}},
      {"no such port", {812, {"ttyUSB9"}}, "/dev", {77}, {}},
      {"not on the bus", {0, {name}}, "/dev", {77}, {812}},
  };
  for (const Case& c : cases) {
    HolderScan scan;
    scan.holders = {{77, "minicom"}};
    scan.unreadable = {{812, "ModemManager"}};
    AddModemManagerHolder(pty.path(), c.mm, &scan, c.dev_root);
    std::vector<int> holders, unreadable;
    for (const auto& h : scan.holders)
      holders.push_back(h.pid);
    for (const auto& h : scan.unreadable)
      unreadable.push_back(h.pid);
    EXPECT_EQ(holders, c.holders) << c.legend;
    EXPECT_EQ(unreadable, c.unreadable) << c.legend;
    if (holders.size() == 2) {
      EXPECT_EQ(scan.holders[1].name, "ModemManager") << c.legend;
    }
  }
  // Found under /proc as well (as root): named once.
  HolderScan scan;
  scan.holders = {{812, "ModemManager"}};
  AddModemManagerHolder(pty.path(), {812, {name}}, &scan);
  EXPECT_EQ(scan.holders.size(), 1u);
}

TEST_F(FakeProc, FindsProcessesByName) {
  AddProcess(812, "ModemManager", {});
  AddProcess(813, "ModemManagerX", {});
  AddProcess(3, "ModemManager", {});
  const auto found = FindProcessesNamed("ModemManager", proc.string());
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].pid, 3);
  EXPECT_EQ(found[1].pid, 812);
}

TEST(PortHolderText, NamesEveryHolderAndSaysWhatToDo) {
  struct Case {
    const char* legend;
    std::vector<PortHolder> holders;
    const char* want;
  };
  const Case cases[] = {
      {"ModemManager alone: stop it or the udev rule",
       {{812, "ModemManager"}},
       "/dev/ttyUSB2 is in use by ModemManager (pid 812). Stop it (systemctl stop ModemManager) "
       "or tell it to leave the module alone (udev: ENV{ID_MM_DEVICE_IGNORE}=\"1\")."},
      {"another program",
       {{77, "minicom"}},
       "/dev/ttyUSB2 is in use by minicom (pid 77). Close that program, then open the port "
       "again."},
      {"several, ModemManager among them",
       {{5, "picocom"}, {77, "minicom"}, {812, "ModemManager"}},
       "/dev/ttyUSB2 is in use by picocom (pid 5), minicom (pid 77) and ModemManager (pid 812). "
       "Close the other programs; stop ModemManager (systemctl stop ModemManager) or tell it to "
       "leave the module alone (udev: ENV{ID_MM_DEVICE_IGNORE}=\"1\")."},
      {"two programs",
       {{5, "picocom"}, {77, "minicom"}},
       "/dev/ttyUSB2 is in use by picocom (pid 5) and minicom (pid 77). Close those programs, "
       "then open the port again."},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DescribeHolders("/dev/ttyUSB2", c.holders), c.want) << c.legend;
}

TEST(RealProc, ASecondProcessHoldingAPtyIsFoundAndWeAreNot) {
  testsupport::PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  {
    const int mine = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(mine, 0);
    EXPECT_TRUE(FindPortHolders(pty.path()).holders.empty()) << "our own descriptor is no holder";
    ::close(mine);
  }
  testsupport::HolderProcess holder(pty.path(), "zuvek-holder");
  ASSERT_TRUE(holder.Holds());
  const HolderScan scan = FindPortHolders(pty.path());
  ASSERT_EQ(scan.holders.size(), 1u);
  EXPECT_EQ(scan.holders[0].pid, holder.pid());
  EXPECT_EQ(scan.holders[0].name, "zuvek-holder");
}

}  // namespace
