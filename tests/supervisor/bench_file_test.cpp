// The bench file: a good file read whole, and every refused case with the
// one sentence that names its line and what to do.
#include "supervisor/bench_file.h"

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
     "bench.toml:1: unknown key \"colour\"; the file holds profile, fix_rule, reference and "
     "[[module]] tables"},
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

TEST(BenchFile, AFileThatCannotBeReadIsNamed) {
  const auto load = supervisor::LoadBenchFile("/nonexistent/bench.toml");
  ASSERT_EQ(load.problems.size(), 1u);
  EXPECT_EQ(load.problems[0],
            "the bench file /nonexistent/bench.toml cannot be read; give the path of a bench "
            "file you may read");
}

}  // namespace
