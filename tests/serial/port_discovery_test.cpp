// Port discovery on a fake sysfs tree and a simulator folder, and the fixed
// line-settings lists.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "serial/port_discovery.h"
#include "tests/serial/pty_pair.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// Builds /sys/class/tty-like entries: name, whether a device is behind it,
// and the UART type file (empty: none).
void AddTty(const fs::path& sys, const std::string& name, bool device,
            const std::string& type = "") {
  fs::create_directories(sys / name);
  if (device)
    fs::create_directories(sys / name / "device");
  if (!type.empty())
    testsupport::WriteFile((sys / name / "type").string(), type + "\n");
}

std::vector<std::string> Texts(const std::vector<PortEntry>& ports) {
  std::vector<std::string> out;
  for (const auto& p : ports)
    out.push_back(p.text);
  return out;
}

class Discovery : public ::testing::Test {
 protected:
  void SetUp() override {
    roots.sysfs_tty = (dir.path() / "sys").string();
    roots.dev = (dir.path() / "dev").string();
    roots.sim = (dir.path() / "sim").string();
    fs::create_directories(roots.sysfs_tty);
    fs::create_directories(roots.dev);
    fs::create_directories(roots.sim);
  }
  testsupport::TempDir dir;
  DiscoveryRoots roots;
};

TEST_F(Discovery, RealDevicesInNaturalOrder) {
  const fs::path sys = roots.sysfs_tty;
  AddTty(sys, "ttyUSB10", true);
  AddTty(sys, "ttyUSB2", true);
  AddTty(sys, "ttyACM0", true);
  AddTty(sys, "ttyS0", true, "4");  // a real 16550A
  AddTty(sys, "ttyS1", true, "0");  // placeholder: UART type 0
  AddTty(sys, "ttyS2", true);       // no type file: not a port
  AddTty(sys, "tty0", false);       // virtual console: no device
  AddTty(sys, "ptmx", false);
  AddTty(sys, "ttyUSB1", true);
  const std::vector<std::string> want = {"ttyACM0", "ttyS0", "ttyUSB1", "ttyUSB2", "ttyUSB10"};
  EXPECT_EQ(Texts(DiscoverPorts(roots)), want);
}

TEST_F(Discovery, ByIdNamesAreShownWhereTheyExist) {
  const fs::path sys = roots.sysfs_tty;
  AddTty(sys, "ttyUSB2", true);
  AddTty(sys, "ttyUSB3", true);
  AddTty(sys, "ttyUSB4", true);
  const fs::path by_id = fs::path(roots.dev) / "serial" / "by-id";
  fs::create_directories(by_id);
  fs::create_symlink("../../ttyUSB2", by_id / "usb-Sierra_Modem-if02-port0");
  fs::create_symlink("../../ttyUSB3", by_id / "usb-Sierra_Modem-if03-port0");
  const auto ports = DiscoverPorts(roots);
  ASSERT_EQ(ports.size(), 3u);
  EXPECT_EQ(ports[0].text, (by_id / "usb-Sierra_Modem-if02-port0").string());
  EXPECT_EQ(ports[0].device, "ttyUSB2");
  EXPECT_EQ(ports[1].by_id, (by_id / "usb-Sierra_Modem-if03-port0").string());
  EXPECT_EQ(ports[2].text, "ttyUSB4") << "no stable name: the kernel name";
  EXPECT_TRUE(ports[2].by_id.empty());
}

TEST_F(Discovery, SimulatorPortsByFullLinkPathDanglingSkipped) {
  testsupport::PtyPair at, nmea;
  ASSERT_TRUE(at.Ok() && nmea.Ok());
  const fs::path sim = roots.sim;
  fs::create_symlink(nmea.path(), sim / "nmea");
  fs::create_symlink(at.path(), sim / "at");
  fs::create_symlink("/dev/zuvek-gone-42", sim / "old");  // dangling
  testsupport::WriteFile((sim / "README").string(), "not a link");
  AddTty(roots.sysfs_tty, "ttyUSB0", true);
  const std::vector<std::string> want = {(sim / "at").string(), (sim / "nmea").string(), "ttyUSB0"};
  const auto ports = DiscoverPorts(roots);
  EXPECT_EQ(Texts(ports), want);
  EXPECT_TRUE(ports[0].simulated);
  EXPECT_EQ(ports[0].device, at.path());
}

TEST_F(Discovery, SimulatorFolderFromTheEnvironment) {
  testsupport::PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  fs::create_symlink(pty.path(), fs::path(roots.sim) / "nmea");
  ::setenv("ZUVEK_SIM_DIR", roots.sim.c_str(), 1);
  DiscoveryRoots env_roots = roots;
  env_roots.sim.clear();
  const auto ports = DiscoverPorts(env_roots);
  ::unsetenv("ZUVEK_SIM_DIR");
  EXPECT_EQ(Texts(ports), std::vector<std::string>{(fs::path(roots.sim) / "nmea").string()});
}

TEST_F(Discovery, BothPortListsHoldTheSameEntriesAndMissingRootsGiveEmptyLists) {
  AddTty(roots.sysfs_tty, "ttyUSB1", true);
  AddTty(roots.sysfs_tty, "ttyACM3", true);
  ComboModel at, nmea;
  at.InsertString(0, "stale");
  FillPortLists(at, nmea, roots);
  EXPECT_EQ(at.items, (std::vector<std::string>{"ttyACM3", "ttyUSB1"}));
  EXPECT_EQ(at.items, nmea.items);
  DiscoveryRoots none{(dir.path() / "nope").string(), (dir.path() / "nope").string(),
                      (dir.path() / "nope").string()};
  FillPortLists(at, nmea, none);
  EXPECT_EQ(at.GetCount(), 0);
  EXPECT_EQ(nmea.GetCount(), 0);
  EXPECT_EQ(at.GetCurSel(), ComboModel::kErr);
}

TEST(NaturalOrder, Vectors) {
  const struct {
    const char* legend;
    const char* a;
    const char* b;
    bool less;
  } cases[] = {
      {"number, not text", "ttyUSB2", "ttyUSB10", true},
      {"stem first", "ttyACM9", "ttyUSB0", true},
      {"no number before numbered", "at", "at0", true},
      {"equal is not less", "ttyS1", "ttyS1", false},
      {"leading zeros: same number, then text", "ttyS01", "ttyS1", true},
      {"huge numbers do not overflow", "t99999999999999999999999", "t1", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NaturalLess(c.a, c.b), c.less) << c.legend;
}

TEST(LineSettingsLists, BaudAndChipListsInTheirOrderWithTheirSelection) {
  ComboModel baud;
  baud.InsertString(0, "junk");
  FillBaudList(baud);
  EXPECT_EQ(baud.items, (std::vector<std::string>{"9600", "19200", "115200", "4800"}));
  EXPECT_EQ(baud.GetCurSel(), 2);
  EXPECT_EQ(baud.GetLBText(baud.GetCurSel()), "115200");
  ComboModel chip;
  FillChipList(chip);
  EXPECT_EQ(chip.items, (std::vector<std::string>{"K57", "VK60"}));
  EXPECT_EQ(chip.GetCurSel(), 0);
  EXPECT_EQ(chip.SetCurSel(5), ComboModel::kErr) << "an index beyond the list: no selection";
  EXPECT_EQ(chip.GetCurSel(), ComboModel::kErr);
}

TEST(LineSettingsLists, BaudIndexToRate) {
  // Legend: each list entry opens at the rate its text names; no selection
  // opens at the list's initial choice.
  const struct {
    int index;
    DWORD rate;
  } cases[] = {{0, 9600}, {1, 19200}, {2, 115200}, {3, 4800}, {-1, 115200}, {4, 4800}, {99, 4800}};
  ComboModel baud;
  FillBaudList(baud);
  for (const auto& c : cases) {
    EXPECT_EQ(BaudRateForIndex(c.index), c.rate) << c.index;
    if (c.index >= 0 && c.index < baud.GetCount()) {
      EXPECT_EQ(std::to_string(c.rate), baud.GetLBText(c.index)) << "rate matches the text";
    }
  }
}

}  // namespace
