// The bench file: a good file read whole, and every refused case with the
// one sentence that names its line and what to do.
#include "supervisor/bench_file.h"

#include "hooks/hook_table.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using supervisor::ParseBenchFile;

TEST(BenchFile, DefaultsAndModulesAreRead) {
  const auto load = ParseBenchFile(R"(# two modules under one sky
profile = "default"
fix_rule = "rmc"
reference = "48.1173,11.516667,520.3"
[[module]]
name = "eg25-a"
at_port = "/dev/serial/by-id/usb-a-if02-port0"
nmea_port = "/dev/serial/by-id/usb-a-if01-port0"
at_baud = 921600
[[module]]
name = "eg25_b.2"
at_port = "ttyUSB6"
nmea_port = "ttyUSB5"
fix_rule = "gga"
reference = "auto"
)",
                                   "bench.toml");
  ASSERT_TRUE(load.problems.empty()) << load.problems.front();
  ASSERT_EQ(load.modules.size(), 2u);
  const auto& a = load.modules[0];
  EXPECT_EQ(a.name, "eg25-a");
  EXPECT_EQ(a.at_port, "/dev/serial/by-id/usb-a-if02-port0");
  EXPECT_EQ(a.nmea_port, "/dev/serial/by-id/usb-a-if01-port0");
  EXPECT_EQ(a.at_baud, 921600u);
  EXPECT_FALSE(a.nmea_baud);
  EXPECT_EQ(a.profile, "default");
  EXPECT_EQ(a.fix_rule, "rmc");  // the file's default
  EXPECT_EQ(a.reference, "48.1173,11.516667,520.3");
  const auto& b = load.modules[1];
  EXPECT_EQ(b.name, "eg25_b.2");
  EXPECT_EQ(b.fix_rule, "gga");  // its own wins
  EXPECT_EQ(b.reference, "auto");
  EXPECT_FALSE(b.at_baud);
}

struct Refused {
  const char* legend;
  const char* text;
  const char* sentence;  // what the one problem holds, from its start
};

constexpr const char* kA =
    "[[module]]\nname = \"a\"\nat_port = \"ttyUSB2\"\nnmea_port = \"ttyUSB1\"\n";

const Refused kRefused[] = {
    {"syntax, with its line", "[[module]]\nname = \"a\nat_port = 1\n", "bench.toml:2: "},
    {"unknown key at the top", "colour = \"red\"\n",
     "bench.toml:1: unknown key \"colour\"; the file holds profile, fix_rule, reference, "
     "[[hook]] tables (for every module) and [[module]] tables"},
    {"hook at no moment", "[[hook]]\nat = \"lunch\"\ncommand = \"true\"\n",
     "bench.toml:1: the hook's at must be one of test-start, before-reset, power-cycle, "
     "after-start, at-fix, after-run, test-end"},
    {"hook with a command and an instrument",
     "[[hook]]\nat = \"at-fix\"\ncommand = \"true\"\nscpi = \"h:5025\"\ncommands = [\"X\"]\n",
     "bench.toml:1: give the hook either a command, or an scpi address with its commands"},
    {"a module's hook that would fail a filed run",
     "[[module]]\nname = \"a\"\nat_port = \"x\"\nnmea_port = \"y\"\n[[module.hook]]\n"
     "at = \"after-run\"\ncommand = \"true\"\non_failure = \"fail-run\"\n",
     "bench.toml:5: a after-run hook cannot fail a run (there is none in progress, or its result "
     "is filed): choose end-test or note"},
    {"hook time-out of no seconds", "[[hook]]\nat = \"at-fix\"\ncommand = \"true\"\ntimeout = 0\n",
     "bench.toml:4: the hook's timeout must be a whole number of seconds from 1 to 86400"},
    {"unknown key in a module",
     "[[module]]\nname = \"a\"\nspeed = 5\nat_port = \"x\"\nnmea_port = \"y\"\n",
     "bench.toml:3: unknown key \"speed\" in module 1; a module has name, at_port"},
    {"missing key", "[[module]]\nname = \"a\"\nat_port = \"ttyUSB2\"\n",
     "bench.toml:1: module 1 has no nmea_port; give every module a name, an at_port and a "
     "nmea_port"},
    {"duplicate name",
     "[[module]]\nname = \"a\"\nat_port = \"u1\"\nnmea_port = \"u2\"\n"
     "[[module]]\nname = \"a\"\nat_port = \"u3\"\nnmea_port = \"u4\"\n",
     "bench.toml:5: the name \"a\" is taken by module 1; give every module a name of its own"},
    {"duplicate port, by its two spellings",
     "[[module]]\nname = \"a\"\nat_port = \"ttyUSB2\"\nnmea_port = \"ttyUSB1\"\n"
     "[[module]]\nname = \"b\"\nat_port = \"/dev/ttyUSB1\"\nnmea_port = \"ttyUSB3\"\n",
     "bench.toml:5: the port /dev/ttyUSB1 of b is already a's; every port belongs to one module "
     "only"},
    {"bad name (a folder name)", "[[module]]\nname = \"a/b\"\nat_port = \"x\"\nnmea_port = \"y\"\n",
     "bench.toml:2: the module name \"a/b\" is a folder name: give it letters, digits, '.', '_' "
     "and '-' only"},
    {"name that is no text", "[[module]]\nname = 7\nat_port = \"x\"\nnmea_port = \"y\"\n",
     "bench.toml:2: name must be a quoted text"},
    {"no module at all", "profile = \"default\"\n",
     "bench.toml lists no module; add a [[module]] table"},
    {"module that is no table list", "module = \"a\"\n",
     "bench.toml:1: module must be a list of tables"},
    {"baud out of range",
     "[[module]]\nname = \"a\"\nat_port = \"x\"\nnmea_port = \"y\"\nnmea_baud = 7\n",
     "bench.toml:5: nmea_baud must be a whole number of bits per second from 50 to 4000000"},
    {"unknown fix rule",
     "fix_rule = \"gxx\"\n[[module]]\nname = \"a\"\nat_port = \"x\"\nnmea_port = \"y\"\n",
     "bench.toml:1: fix_rule: unknown fix rule \"gxx\"; choose one of"},
    {"bad reference in a module",
     "[[module]]\nname = \"a\"\nat_port = \"x\"\nnmea_port = \"y\"\nreference = \"north\"\n",
     "bench.toml:5: reference: "},
    {"unknown profile",
     "[[module]]\nname = \"a\"\nat_port = \"x\"\nnmea_port = \"y\"\nprofile = \"no-such-module\"\n",
     "bench.toml:5: profile: the profile \"no-such-module\" is refused"},
};

TEST(BenchFile, EveryProblemIsRefusedWithOneSentence) {
  // The good module alone is read: each case below breaks only what it names.
  ASSERT_TRUE(ParseBenchFile(kA, "bench.toml").problems.empty());
  for (const Refused& r : kRefused) {
    SCOPED_TRACE(r.legend);
    const auto load = ParseBenchFile(r.text, "bench.toml");
    ASSERT_EQ(load.problems.size(), 1u) << (load.problems.empty() ? "" : load.problems[0]) << " / "
                                        << (load.problems.size() > 1 ? load.problems[1] : "");
    EXPECT_EQ(load.problems[0].rfind(r.sentence, 0), 0u) << load.problems[0];
    EXPECT_TRUE(load.modules.empty());  // nothing starts
  }
}

// The file's hooks reach every module; a module's own hooks of a moment
// replace the file's of that moment only.
TEST(BenchFile, AModulesHooksReplaceTheFilesMomentByMoment) {
  const auto load = ParseBenchFile(R"([[hook]]
at = "power-cycle"
command = "uhubctl -l 1-1 -p 2 -a cycle"
[[hook]]
name = "level"
at = "before-reset"
scpi = "192.168.1.20:5025"
commands = ["SOUR:POW -130", "OUTP ON"]
timeout = 10
on_failure = "note"
[[module]]
name = "a"
at_port = "ttyUSB2"
nmea_port = "ttyUSB1"
[[module]]
name = "b"
at_port = "ttyUSB6"
nmea_port = "ttyUSB5"
[[module.hook]]
at = "power-cycle"
command = "relay-cycle 3"
)",
                                   "bench.toml");
  ASSERT_TRUE(load.problems.empty()) << load.problems.front();
  ASSERT_EQ(load.modules.size(), 2u);
  const auto& a = load.modules[0].hooks;
  ASSERT_EQ(a.size(), 2u);
  EXPECT_EQ(a[0].name, "level");
  EXPECT_EQ(a[0].moment, hooks::Moment::BeforeReset);  // in the order of the moments
  EXPECT_EQ(a[0].scpi, "192.168.1.20:5025");
  EXPECT_EQ(a[0].scpi_commands, (std::vector<std::string>{"SOUR:POW -130", "OUTP ON"}));
  EXPECT_EQ(a[0].timeout_s, 10u);
  EXPECT_EQ(a[0].policy, hooks::Policy::Note);
  EXPECT_EQ(a[1].name, "power-cycle");  // named by its moment
  EXPECT_EQ(a[1].command, "uhubctl -l 1-1 -p 2 -a cycle");
  EXPECT_EQ(a[1].timeout_s, hooks::kDefaultTimeoutS);
  EXPECT_EQ(a[1].policy, hooks::Policy::FailRun);
  const auto& b = load.modules[1].hooks;
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0].name, "level");
  EXPECT_EQ(b[1].command, "relay-cycle 3");
  // Written and read back, the hooks are the same (the bench hands them to
  // each module's test in a hooks file).
  const auto again = hooks::ParseHookFile(hooks::FormatHookTables(b), "hooks.toml");
  ASSERT_TRUE(again.problems.empty()) << again.problems.front();
  EXPECT_EQ(again.hooks, b);
}

TEST(BenchFile, AFileThatCannotBeReadIsNamed) {
  const auto load = supervisor::LoadBenchFile("/nonexistent/bench.toml");
  ASSERT_EQ(load.problems.size(), 1u);
  EXPECT_EQ(load.problems[0],
            "the bench file /nonexistent/bench.toml cannot be read; give the path of a bench "
            "file you may read");
}

}  // namespace
