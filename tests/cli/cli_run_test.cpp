// zuvek-cli run end to end: against the built-in simulator, with faults, a
// hostile settings file, a log folder that cannot be written, and Ctrl-C.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "config/app_config.h"
#include "tests/support/child_process.h"
#include "tests/support/cli_in_temp_dir.h"
#include "tests/support/local_time.h"
#include "tests/support/plain_pty.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

using Result = testsupport::ProgramResult;

// Runs a program with arguments in a working directory; optionally sends
// SIGINT after `interrupt_ms`.
Result Exec(const std::string& exe, const std::vector<std::string>& args, const fs::path& cwd,
            int interrupt_ms = -1) {
  std::vector<std::string> argv{exe};
  argv.insert(argv.end(), args.begin(), args.end());
  return testsupport::RunProgram(argv, cwd.string(), {}, SIGINT, interrupt_ms);
}

// A copy of zuvek-cli in its own folder, so its day folder and logs are the
// test's own.
using CliCopy = testsupport::CliInTempDir;

TEST(CliRun, TwoHotStartsAgainstTheSimulator) {
  CliCopy cli;
  auto r = Exec(cli.exe, {"run", "--restart", "hot", "--runs", "2", "--time-scale", "50", "-q"},
                cli.dir.path());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("runtimes = 2\nfail times = 0\n"), std::string::npos) << r.out;
  // Each figure once: the percentiles a lab quotes are Kaplan-Meier's over
  // every attempt; no second set of fixes-only percentiles beside them.
  EXPECT_NE(r.out.find("\nTTFF percentiles, Kaplan\u2013Meier over every attempt (0 timed-out runs "
                       "censored at 200 s), 95 % CI: p50 = "),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("median = "), std::string::npos) << r.out;
  // A bound the data cannot give is said in words, never "0.00" (two runs
  // with one TTFF have a sample stddev of 0.00 s, a true figure).
  const std::size_t percentiles = r.out.find("\nTTFF percentiles");
  const std::string percentile_line =
      percentiles == std::string::npos
          ? std::string()
          : r.out.substr(percentiles + 1, r.out.find('\n', percentiles + 1) - percentiles - 1);
  EXPECT_EQ(percentile_line.find("0.00"), std::string::npos)
      << "no bound reads as a number: " << r.out;
  const std::string result_log = cli.LogPath(r.out, "_result_log.txt");
  ASSERT_FALSE(result_log.empty()) << r.out;
  EXPECT_EQ(result_log.rfind(cli.dir.path().string(), 0), 0u);  // beside the program
  const std::string log = testsupport::ReadFile(result_log);
  EXPECT_NE(log.find("2\t\t\tSUCC\t\t\t"), std::string::npos);
  // The debug log of the start lands in the working directory.
  bool debug_log = false;
  for (auto& e : fs::directory_iterator(cli.dir.path())) {
    debug_log |= e.path().filename().string().rfind("ZUVEK_20", 0) == 0;
  }
  EXPECT_TRUE(debug_log);
}

TEST(CliRun, AStoreThatCannotBeOpenedCostsTheTestNothing) {
  CliCopy cli;
  std::ofstream(cli.dir.file("not-a-folder")) << "a file where the store's folder should be\n";
  auto r = Exec(cli.exe,
                {"run", "--restart", "hot", "--runs", "2", "--time-scale", "50", "-q", "--store",
                 cli.dir.file("not-a-folder") + "/results.sqlite"},
                cli.dir.path());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("; the test goes on with its text logs only"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("runtimes = 2\nfail times = 0\n"), std::string::npos) << r.out;
  EXPECT_NE(testsupport::ReadFile(cli.LogPath(r.out, "_runs.csv")).find("\n2,SUCC,"),
            std::string::npos);
}

TEST(CliRun, JsonSummaryOnStandardOutput) {
  CliCopy cli;
  auto r = Exec(cli.exe, {"run", "--restart", "hot", "--runs", "1", "--time-scale", "50", "--json"},
                cli.dir.path());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("\"runs\": 1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"p95\""), std::string::npos);
}

TEST(CliRun, HostileSettingsFileGivesDefaultsAndIsNeverWritten) {
  CliCopy cli;
  static const char kHostile[] = "22 serialization::archive 99\0\xff\xfe";
  const std::string hostile(kHostile, sizeof kHostile - 1);
  testsupport::WriteFile(cli.dir.file("TTFF.cfg"), hostile);
  auto r = Exec(cli.exe, {"run", "--restart", "hot", "--runs", "1", "--time-scale", "50", "-q"},
                cli.dir.path());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("fix time-out 200 s"), std::string::npos) << r.err;  // the default
  EXPECT_EQ(testsupport::ReadFile(cli.dir.file("TTFF.cfg")), hostile);
}

TEST(CliRun, SettingsComeFromTheFileAndOptionsOverrideThem) {
  CliCopy cli;
  std::string cfg = "22 serialization::archive 10 0 0 1 77 0 0 0 0 0 999 0 100";
  for (int i = 0; i < 100; ++i)
    cfg += " 0";
  cfg += " 3500\n";
  testsupport::WriteFile(cli.dir.file("TTFF.cfg"), cfg);
  auto r = Exec(cli.exe, {"run", "--runs", "1", "--restart", "hot", "--time-scale", "50", "-q"},
                cli.dir.path());
  EXPECT_NE(r.err.find("fix time-out 77 s"), std::string::npos) << r.err;
  r = Exec(
      cli.exe,
      {"run", "--runs", "1", "--restart", "hot", "--time-scale", "50", "-q", "--timeout", "33"},
      cli.dir.path());
  EXPECT_NE(r.err.find("fix time-out 33 s"), std::string::npos) << r.err;
}

TEST(CliRun, FaultyModuleStillAccountsForEveryRun) {
  CliCopy cli;
  testsupport::WriteFile(cli.dir.file("faults.txt"),
                         "all: garbage split-crlf burst late=300\nrun 2: no-fix\n");
  auto r = Exec(cli.exe,
                {"run", "--restart", "hot", "--runs", "3", "--time-scale", "50", "-q", "--timeout",
                 "8", "--sim-faults", "faults.txt"},
                cli.dir.path());
  EXPECT_EQ(r.code, 1) << r.err;  // a run failed
  const std::string log = testsupport::ReadFile(cli.LogPath(r.out, "_result_log.txt"));
  EXPECT_NE(log.find("1\t\t\tSUCC"), std::string::npos) << log;
  EXPECT_NE(log.find("2\t\t\tFAIL\t\t\tN/A\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("3\t\t\tSUCC"), std::string::npos) << log;
  EXPECT_NE(log.find("runtimes = 3\nfail times = 1\n"), std::string::npos) << log;
}

TEST(CliRun, CtrlCEndsTheTestWithinASecondAndKeepsWhatItHas) {
  // Interrupt at different moments: during the first run (after the start
  // of a program built with the sanitizers, which takes up to half a
  // second), and later on.
  for (int ms : {800, 1500, 2600}) {
    SCOPED_TRACE(ms);
    CliCopy cli;
    auto r = Exec(cli.exe, {"run", "--restart", "hot", "--runs", "50", "--time-scale", "20"},
                  cli.dir.path(), ms);
    EXPECT_EQ(r.code, 130) << r.err;
    EXPECT_LT(r.seconds, ms / 1000.0 + 1.5);
    EXPECT_NE(r.err.find("interrupted"), std::string::npos);
    const std::string result_log = cli.LogPath(r.out, "_result_log.txt");
    ASSERT_FALSE(result_log.empty()) << r.out;
    const std::string log = testsupport::ReadFile(result_log);
    EXPECT_EQ(log.rfind("Times\t\t\tResult\t\t\tDuration\r\n", 0), 0u);
    // Every run the AT log shows begun has its CSV row; the one Ctrl-C cut
    // short is a failure "stopped", as the window's Stop files it: no line
    // in the result log, but counted in its "fail times".
    const std::string csv = testsupport::ReadFile(cli.LogPath(r.out, "_runs.csv"));
    const auto count = [](const std::string& s, const std::string& what) {
      std::size_t n = 0;
      for (auto at = s.find(what); at != std::string::npos; at = s.find(what, at + 1))
        ++n;
      return n;
    };
    const std::size_t rows = count(csv, "\n") - 1;  // minus the header
    const std::size_t stopped = count(csv, ",stopped,");
    EXPECT_LE(stopped, 1u) << csv;
    EXPECT_EQ(rows, count(log, "\r\n") - 1 + stopped) << csv << log;
    const std::string at_log = testsupport::ReadFile(cli.LogPath(r.out, "_at_log.txt"));
    EXPECT_EQ(rows, count(at_log, "-------------times : ")) << csv << at_log;
    EXPECT_NE(log.find("fail times = " + std::to_string(count(csv, ",FAIL,")) + "\n"),
              std::string::npos)
        << csv << log;
  }
}

TEST(CliRun, OnlyOnePortIsAUsageError) {
  CliCopy cli;
  auto r = Exec(cli.exe, {"run", "--at-port", "ttyUSB2"}, cli.dir.path());
  EXPECT_EQ(r.code, 2);
}

TEST(CliRun, PortsThatDoNotOpenFail) {
  CliCopy cli;
  auto r = Exec(cli.exe, {"run", "--at-port", "/nonexistent/a", "--nmea-port", "/nonexistent/b"},
                cli.dir.path());
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Open serial port failed!"), std::string::npos) << r.err;
  // Each failure says why, after the box text.
  EXPECT_NE(r.err.find("zuvek-cli: Open serial port failed!\nzuvek-cli: /nonexistent/a does not "
                       "exist. "),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("zuvek-cli: /nonexistent/b does not exist. "), std::string::npos) << r.err;
}

// TTFF.cfg as a test meets it: a damaged file is said when the test starts
// (the test goes on with the defaults of what could not be read); a value no
// test can use is refused with the file, the value and the range; a fault
// script that is a folder is refused, not taken as "no faults".
TEST(CliRun, ADamagedOrUnusableTtffCfgIsToldWhenTheTestStarts) {
  const std::vector<std::string> hot = {"run", "--restart",    "hot", "--runs",
                                        "1",   "--time-scale", "50",  "-q"};
  {
    CliCopy cli;
    app_config good;
    ASSERT_TRUE(SaveConfigTo(cli.dir.file("TTFF.cfg"), good));
    std::string text = testsupport::ReadFile(cli.dir.file("TTFF.cfg"));
    testsupport::WriteFile(cli.dir.file("TTFF.cfg"), text.substr(0, text.size() * 2 / 3));
    const auto r = Exec(cli.exe, hot, cli.dir.path());
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("zuvek-cli: TTFF.cfg is damaged: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" of its 11 settings could be read"), std::string::npos) << r.err;
  }
  const struct {
    const char* legend;
    void (*set)(app_config&);
    const char* said;
  } kUnusable[] = {
      {"no time-out", [](app_config& c) { c.SetTimeout(0); },
       "TTFF.cfg has a fix time-out of 0 s; a test can use 1 to 86400 s"},
      {"a capture that never ends", [](app_config& c) { c.SetIntervalSleep(2147483647); },
       "TTFF.cfg has a logging after a fix of 2147483647 s; a test can use 1 to 86400 s"},
  };
  for (const auto& u : kUnusable) {
    SCOPED_TRACE(u.legend);
    CliCopy cli;
    app_config bad;
    u.set(bad);
    ASSERT_TRUE(SaveConfigTo(cli.dir.file("TTFF.cfg"), bad));
    const auto r = Exec(cli.exe, hot, cli.dir.path());
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find(std::string("zuvek-cli run: ") + u.said), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("run 1/1"), std::string::npos) << "no test starts";
  }
  CliCopy cli;
  std::vector<std::string> faults = hot;
  faults.insert(faults.end(), {"--sim-faults", cli.dir.path().string()});
  const auto r = Exec(cli.exe, faults, cli.dir.path());
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_NE(r.err.find(" is a folder; give a fault script file"), std::string::npos) << r.err;
}

using testsupport::PlainPty;

// `zuvek-cli sim --name t` running in the background at a time scale, with
// its own ports folder (ZUVEK_SIM_DIR of this process, and so of the runs).
class PublishedSim {
 public:
  explicit PublishedSim(const std::string& scale) {
    setenv("ZUVEK_SIM_DIR", dir_.path().c_str(), 1);
    pid_ = fork();
    if (pid_ == 0) {
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      execl(testsupport::kCliPath, testsupport::kCliPath, "sim", "--name", "t", "--time-scale",
            scale.c_str(), "--ttff-hot", "1", static_cast<char*>(nullptr));
      _exit(127);
    }
    at_link = dir_.file("t-AT");
    nmea_link = dir_.file("t-NMEA");
    for (int i = 0; i < 100 && !(fs::exists(at_link) && fs::exists(nmea_link) &&
                                 fs::exists(dir_.file("t.scale")));
         ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::error_code ec;
    nmea_device = fs::read_symlink(nmea_link, ec).string();
  }
  ~PublishedSim() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    unsetenv("ZUVEK_SIM_DIR");
  }
  PublishedSim(const PublishedSim&) = delete;
  PublishedSim& operator=(const PublishedSim&) = delete;

  std::string at_link, nmea_link, nmea_device;

 private:
  TempDir dir_;
  pid_t pid_ = -1;
};

// The time_scale field of every data row of a runs CSV.
std::vector<std::string> CsvTimeScales(const std::string& csv) {
  std::vector<std::string> scales;
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line);  // header
  const std::string header = line;
  std::vector<std::string> names;
  std::istringstream hs(header);
  for (std::string name; std::getline(hs, name, ',');)
    names.push_back(name);
  const auto column = std::find(names.begin(), names.end(), "time_scale") - names.begin();
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string field;
    for (long i = 0; i <= column && std::getline(fields, field, ','); ++i) {
    }
    scales.push_back(field);
  }
  return scales;
}

TEST(CliRun, TimeScaleIsRefusedOnPortsThatAreNoSimulators) {
  CliCopy cli;
  PlainPty at, nmea;
  ASSERT_FALSE(at.Path().empty());
  ASSERT_FALSE(nmea.Path().empty());
  auto r = Exec(cli.exe,
                {"run", "--at-port", at.Path(), "--nmea-port", nmea.Path(), "--time-scale", "20",
                 "--runs", "1", "-q"},
                cli.dir.path());
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_NE(r.err.find("--time-scale 20 is only for the simulator: " + at.Path() +
                       " is not a port of a running `zuvek-cli sim`"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(at.Written(), "");  // refused before anything was sent
}

TEST(CliRun, ScaledRunsSayTheirScaleInTheCsvAndTheSummary) {
  CliCopy cli;
  auto r = Exec(cli.exe, {"run", "--restart", "hot", "--runs", "2", "--time-scale", "50"},
                cli.dir.path());
  ASSERT_EQ(r.code, 0) << r.err;
  const auto summary =
      nlohmann::json::parse(testsupport::ReadFile(cli.LogPath(r.out, "_summary.json")));
  EXPECT_EQ(summary.at("time_scale").get<double>(), 50.0);
  EXPECT_EQ(CsvTimeScales(testsupport::ReadFile(cli.LogPath(r.out, "_runs.csv"))),
            (std::vector<std::string>{"50", "50"}));
}

TEST(CliRun, PortsOfAPublishedSimulatorRunAtItsScale) {
  PublishedSim sim("50");
  ASSERT_FALSE(sim.nmea_device.empty()) << "the simulator did not publish its ports";
  ASSERT_EQ(sim.nmea_device.rfind("/dev/pts/", 0), 0u) << sim.nmea_device;
  struct Case {
    const char* legend;
    std::vector<std::string> scale_args;
    int code;
    const char* said;  // on standard error
  };
  const Case cases[] = {
      {"no --time-scale: the simulator's", {}, 0, "time scale 50, taken from the simulator \"t\""},
      {"the same scale", {"--time-scale", "50"}, 0, "fix time-out"},
      {"another scale",
       {"--time-scale", "20"},
       2,
       "--time-scale 20 does not match the simulator \"t\" of these ports, which runs at time "
       "scale 50"},
      {"real time", {"--time-scale", "1"}, 2, "--time-scale 1 does not match"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    CliCopy cli;
    // The AT port by its link, the NMEA port by its device.
    std::vector<std::string> args{
        "run",       "--at-port", sim.at_link, "--nmea-port", sim.nmea_device,
        "--restart", "hot",       "--runs",    "1",           "--json"};
    args.insert(args.end(), c.scale_args.begin(), c.scale_args.end());
    auto r = Exec(cli.exe, args, cli.dir.path());
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
    if (c.code == 0) {
      EXPECT_LT(r.seconds, 10.0);  // 26 s of the module's time
      EXPECT_EQ(nlohmann::json::parse(r.out).at("time_scale").get<double>(), 50.0) << r.out;
    }
  }
}

// A folder the test's logs cannot be written in starts no test: today's day
// folder taken by a file, or a --log-dir that cannot be made.
TEST(CliRun, ALogFolderThatCannotBeWrittenStartsNoTest) {
  CliCopy cli;
  const std::string day = testsupport::TodayFolderName();
  testsupport::WriteFile(cli.dir.file(day), "a file, not a folder");
  testsupport::WriteFile(cli.dir.file("blocked"), "a file, not a folder");
  for (const std::vector<std::string>& where :
       {std::vector<std::string>{}, {"--log-dir", cli.dir.file("blocked") + "/module"}}) {
    std::vector<std::string> args = {"run", "--restart",    "hot", "--runs",
                                     "1",   "--time-scale", "50",  "--json"};
    args.insert(args.end(), where.begin(), where.end());
    auto r = Exec(cli.exe, args, cli.dir.path());
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("the test's logs cannot be written in "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was started"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("run 1/1"), std::string::npos) << r.err;
  }
  // The day folder's problem is named with its reason.
  auto r = Exec(cli.exe, {"run", "--restart", "hot", "--runs", "1", "--time-scale", "50", "-q"},
                cli.dir.path());
  EXPECT_NE(r.err.find("zuvek-cli: The day folder " + cli.dir.file(day) +
                       " cannot be written: a file of that name is in the way. Move the file "
                       "away.\n"),
            std::string::npos)
      << r.err;
}

}  // namespace
