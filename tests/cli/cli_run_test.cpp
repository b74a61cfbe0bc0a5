// zuvek-cli run end to end: against the built-in simulator, with faults, a
// hostile settings file, a log folder that cannot be written, and Ctrl-C.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

struct Result {
  int code = -1;
  std::string out, err;
  double seconds = 0;
};

// Runs a program with arguments in a working directory; optionally sends
// SIGINT after `interrupt_ms`.
Result Exec(const std::string& exe, const std::vector<std::string>& args, const fs::path& cwd,
            int interrupt_ms = -1) {
  TempDir io;
  const std::string out_path = io.file("out"), err_path = io.file("err");
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0)
      _exit(127);
    int o = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(o, 1);
    dup2(e, 2);
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (auto& a : args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(exe.c_str(), argv.data());
    _exit(127);
  }
  Result r;
  if (interrupt_ms >= 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(interrupt_ms));
    kill(pid, SIGINT);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = testsupport::ReadFile(out_path);
  r.err = testsupport::ReadFile(err_path);
  return r;
}

// A copy of zuvek-cli in its own folder, so its day folder and logs are the
// test's own.
struct CliCopy {
  TempDir dir;
  std::string exe;
  CliCopy() {
    exe = dir.file("zuvek-cli");
    fs::copy_file(ZUVEK_CLI_PATH, exe);
  }
  std::string LogPath(const std::string& out, const std::string& suffix) const {
    std::smatch m;
    const std::regex re("(\\S+" + suffix + ")");
    return std::regex_search(out, m, re) ? m[1].str() : "";
  }
};

TEST(CliRun, TwoHotStartsAgainstTheSimulator) {
  CliCopy cli;
  auto r = Exec(cli.exe, {"run", "--restart", "hot", "--runs", "2", "--time-scale", "50", "-q"},
                cli.dir.path());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("runtimes = 2\nfail times = 0\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("median = "), std::string::npos);
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

TEST(CliRun, LogFolderThatCannotBeWrittenTellsAndGoesOn) {
  CliCopy cli;
  // Today's day folder is taken by a file: no per-test log can be created.
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char day[16];
  std::strftime(day, sizeof day, "%Y-%m-%d", &tm);
  testsupport::WriteFile(cli.dir.file(day), "a file, not a folder");
  auto r = Exec(cli.exe, {"run", "--restart", "hot", "--runs", "2", "--time-scale", "50", "-q"},
                cli.dir.path());
  EXPECT_EQ(r.code, 0) << r.err;
  size_t boxes = 0;
  for (size_t p = r.err.find("fopen failed!"); p != std::string::npos;
       p = r.err.find("fopen failed!", p + 1)) {
    ++boxes;
  }
  EXPECT_EQ(boxes, 3u) << r.err;  // one per log
  EXPECT_NE(r.out.find("runtimes = 2"), std::string::npos) << r.out;
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
  // Interrupt at different moments: during the first run, and later on.
  for (int ms : {300, 1500, 2600}) {
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
    // Every recorded run is in the CSV too.
    const std::string csv = testsupport::ReadFile(cli.LogPath(r.out, "_runs.csv"));
    const auto lines = [](const std::string& s) { return std::count(s.begin(), s.end(), '\n'); };
    const auto results = std::count(log.begin(), log.end(), '\r') - 1;  // minus the header
    EXPECT_EQ(lines(csv) - 1, results);
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

TEST(CliRun, ALogFolderThatCannotBeWrittenIsNamedWithTheReason) {
  CliCopy cli;
  const std::time_t now = std::time(nullptr);
  char day[16];
  std::strftime(day, sizeof day, "%Y-%m-%d", std::localtime(&now));
  testsupport::WriteFile(cli.dir.file(day), "a file where the day folder goes");
  auto r = Exec(cli.exe, {"run", "--restart", "hot", "--runs", "1", "--time-scale", "50", "-q"},
                cli.dir.path());
  const std::string folder = cli.dir.file(day);
  EXPECT_NE(r.err.find("zuvek-cli: The day folder " + folder +
                       " cannot be written: a file of that name is in the way. Move the file "
                       "away.\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("_nmea_log.txt. The folder " + folder + " cannot be written"),
            std::string::npos)
      << r.err;
}

}  // namespace
