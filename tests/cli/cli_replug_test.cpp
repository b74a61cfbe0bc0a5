// zuvek-cli run --reconnect against a `zuvek-cli sim` whose ports vanish in
// run 2 and come back under the same links (new pseudo-terminals): the lost
// run is a failure with the reason "port lost" in every output, the test
// goes on, and every log stays whole. And ports that never come back: the
// test ends with what it has.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"
#include "tests/support/timeline_columns.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;

// The clock of both programs runs ten times faster than real time.
constexpr const char* kScale = "10";

// A program of the test with the simulator's links in `sim_dir`.
class Child : public testsupport::ChildProcess {
 public:
  Child(const std::string& exe, const std::vector<std::string>& args, const fs::path& cwd,
        const std::string& sim_dir)
      : ChildProcess(Argv(exe, args), cwd.string(), {"ZUVEK_SIM_DIR=" + sim_dir}) {}

 private:
  static std::vector<std::string> Argv(const std::string& exe,
                                       const std::vector<std::string>& args) {
    std::vector<std::string> argv{exe};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }
};

struct Bench {
  TempDir dir;  // the CLI's copy, its logs, and the simulator's links
  std::string exe = dir.file("zuvek-cli");
  std::string sim_dir = dir.file("sim");
  std::unique_ptr<Child> sim;

  Bench() {
    fs::copy_file(testsupport::kCliPath, exe);
    fs::create_directories(sim_dir);
  }
  std::string Link(const char* port) const { return sim_dir + "/rp-" + port; }
  // Starts the simulator with the script and waits for its links.
  bool StartSim(const std::string& script, const std::vector<std::string>& extra = {}) {
    testsupport::WriteFile(dir.file("faults.txt"), script);
    std::vector<std::string> args{
        "sim",        "--name", "rp",       "--time-scale",         kScale,
        "--ttff-hot", "2",      "--script", dir.file("faults.txt"), "--duration",
        "300"};
    args.insert(args.end(), extra.begin(), extra.end());
    sim = std::make_unique<Child>(exe, args, dir.path(), sim_dir);
    for (int i = 0; i < 200; ++i) {
      if (fs::exists(Link("AT")) && fs::exists(Link("NMEA")))
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  Child Run(const std::string& reconnect, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args{
        "run", "--at-port",        Link("AT"), "--nmea-port",  Link("NMEA"), "--restart",
        "hot", "--runs",           "4",        "--time-scale", kScale,       "--timeout",
        "60",  "--interval-sleep", "2",        "--reconnect",  reconnect};
    args.insert(args.end(), extra.begin(), extra.end());
    return Child(exe, args, dir.path(), sim_dir);
  }
  static std::string LogPath(const std::string& out, const std::string& suffix) {
    std::smatch m;
    const std::regex re("(\\S+" + suffix + ")");
    return std::regex_search(out, m, re) ? m[1].str() : "";
  }
  // The all-NMEA log of the session (one per open of the ports).
  std::vector<fs::path> AllNmeaLogs() const {
    std::vector<fs::path> found;
    for (auto& e : fs::recursive_directory_iterator(dir.path()))
      if (e.path().filename().string().find("_nmea_log_all.txt") != std::string::npos)
        found.push_back(e.path());
    return found;
  }
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    out.push_back(line);
  return out;
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1))
    ++n;
  return n;
}

TEST(CliReplug, ARunWhosePortsVanishFailsAndTheTestGoesOnAfterThemComingBack) {
  Bench bench;
  // Run 2 (which would never fix): both ports go 1 s after the start's OK and
  // come back 5 s later; the tool waits up to 30 s.
  ASSERT_TRUE(bench.StartSim("run 2: vanish=1:5 no-fix\n"));
  const std::string at_device_before = fs::read_symlink(bench.Link("AT")).string();
  Child run = bench.Run("30");
  const int code = run.Wait();
  const std::string out = run.Out(), err = run.Err();
  SCOPED_TRACE(out + err);
  EXPECT_EQ(code, 1);  // a run failed
  EXPECT_NE(out.find("runtimes = 4\nfail times = 1\n"), std::string::npos);
  EXPECT_NE(out.find("port lost in run 2\n"), std::string::npos);
  EXPECT_NE(out.find("ended: completed\n"), std::string::npos);
  for (const char* line :
       {"run 1/4: SUCC", "run 2/4: FAIL", "run 3/4: SUCC", "run 4/4: SUCC", "the ports are back"}) {
    EXPECT_NE(err.find(line), std::string::npos) << line;
  }
  // The same links, new devices behind them.
  ASSERT_TRUE(fs::exists(bench.Link("AT")));
  EXPECT_NE(fs::read_symlink(bench.Link("AT")).string(), at_device_before);

  // The result log: one line per run, as it always reads.
  const std::string result = ReadFile(Bench::LogPath(out, "_result_log.txt"));
  EXPECT_EQ(Count(result, "\t\t\tSUCC\t\t\t"), 3u) << result;
  EXPECT_EQ(Count(result, "\t\t\tFAIL\t\t\t"), 1u) << result;
  EXPECT_NE(result.find("2\t\t\tFAIL\t\t\t"), std::string::npos) << result;
  EXPECT_NE(result.find("runtimes = 4\nfail times = 1\n"), std::string::npos) << result;

  // The CSV: a row per run, the lost one with its reason.
  const auto rows = Lines(ReadFile(Bench::LogPath(out, "_runs.csv")));
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[1].rfind("1,SUCC,", 0), 0u) << rows[1];
  EXPECT_EQ(rows[2].rfind("2,FAIL,", 0), 0u) << rows[2];
  const std::string lost_row = testsupport::WithoutTimeline(rows[2]);
  EXPECT_EQ(lost_row.substr(lost_row.rfind(',') + 1), "port lost");
  EXPECT_EQ(rows[3].rfind("3,SUCC,", 0), 0u) << rows[3];
  EXPECT_EQ(rows[4].rfind("4,SUCC,", 0), 0u) << rows[4];

  // The summary counts it.
  const auto summary = nlohmann::json::parse(ReadFile(Bench::LogPath(out, "_summary.json")));
  EXPECT_EQ(summary.at("runs"), 4);
  EXPECT_EQ(summary.at("failures"), 1);
  EXPECT_EQ(summary.at("successes"), 3);
  EXPECT_EQ(summary.at("port_lost"), 1);
  EXPECT_EQ(summary.at("finished"), true);

  // The NMEA and AT logs: one file each, every run in it, fixes after the gap.
  const std::string nmea = ReadFile(Bench::LogPath(out, "_nmea_log.txt"));
  const std::string at = ReadFile(Bench::LogPath(out, "_at_log.txt"));
  for (int n = 1; n <= 4; ++n) {
    const std::string sep = "-------------times : " + std::to_string(n) + "-------------\n";
    EXPECT_EQ(Count(nmea, sep), 1u) << n;
    EXPECT_EQ(Count(at, sep), 1u) << n;
  }
  const std::string after_gap = nmea.substr(nmea.find("times : 3-"));
  EXPECT_NE(after_gap.find("$GPRMC"), std::string::npos);
  // One all-NMEA log for the session, with the stream of both sides of the gap.
  const auto all = bench.AllNmeaLogs();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_GE(Count(ReadFile(all[0].string()), ",A,"), 3u);
}

// The Telit model forgets its NMEA set-up (AT$GPSNMUN) when it resets: the
// set-up is sent again after the ports come back, so the runs after the gap
// find their fixes.
TEST(CliReplug, AModuleThatForgetsItsSetUpGetsItAgainAfterComingBack) {
  Bench bench;
  ASSERT_TRUE(bench.StartSim("run 2: vanish=1:5 no-fix\n", {"--module", "telit"}));
  Child run = bench.Run("30", {"--profile", "telit"});
  const int code = run.Wait();
  const std::string out = run.Out(), err = run.Err();
  SCOPED_TRACE(out + err);
  EXPECT_EQ(code, 1);  // the lost run
  for (const char* line : {"run 1/4: SUCC", "run 2/4: FAIL", "run 3/4: SUCC", "run 4/4: SUCC"})
    EXPECT_NE(err.find(line), std::string::npos) << line;
  const std::string at = ReadFile(Bench::LogPath(out, "_at_log.txt"));
  EXPECT_EQ(Count(at, "AT$GPSNMUN=2,1,1,1,1,1,1\r\n"), 2u) << "at the start and after the gap";
  const std::string after_gap = at.substr(at.find("times : 2-"));
  EXPECT_EQ(Count(after_gap, "AT$GPSNMUN=2,1,1,1,1,1,1\r\n"), 1u);
  EXPECT_EQ(Count(after_gap, "AT+CGMR\r\n"), 1u) << "the identity asked again";
}

TEST(CliReplug, PortsThatNeverComeBackEndTheTestWithWhatItHas) {
  Bench bench;
  ASSERT_TRUE(bench.StartSim("run 2: vanish=1:100000 no-fix\n"));
  Child run = bench.Run("5");
  const int code = run.Wait();
  const std::string out = run.Out(), err = run.Err();
  SCOPED_TRACE(out + err);
  EXPECT_EQ(code, 1);
  EXPECT_NE(out.find("runtimes = 2\nfail times = 1\n"), std::string::npos);
  EXPECT_NE(out.find("ended: port lost\n"), std::string::npos);
  EXPECT_NE(err.find("did not come back within 5 s; the test ends"), std::string::npos);
  const std::string result = ReadFile(Bench::LogPath(out, "_result_log.txt"));
  EXPECT_NE(result.find("1\t\t\tSUCC\t\t\t"), std::string::npos) << result;
  EXPECT_NE(result.find("2\t\t\tFAIL\t\t\t"), std::string::npos) << result;
  EXPECT_NE(result.find("runtimes = 2\nfail times = 1\n"), std::string::npos) << result;
  const auto summary = nlohmann::json::parse(ReadFile(Bench::LogPath(out, "_summary.json")));
  EXPECT_EQ(summary.at("runs"), 2);
  EXPECT_EQ(summary.at("port_lost"), 1);
  EXPECT_EQ(summary.at("finished"), false);
}

TEST(CliSideSettings, ReadNeverWrittenAWrongValueToldWithItsLineAndTheOptionWins) {
  Bench bench;
  auto run = [&](const std::vector<std::string>& extra) {
    std::vector<std::string> args{"run", "--restart",    "hot", "--runs",
                                  "1",   "--time-scale", "50",  "-q"};
    args.insert(args.end(), extra.begin(), extra.end());
    Child child(bench.exe, args, bench.dir.path(), bench.sim_dir);
    child.Wait();
    return child.Err();
  };
  const std::string toml = bench.dir.file("zuvek.toml");
  // No file: all defaults, and the CLI does not make one.
  EXPECT_EQ(run({}).find("a lost port is waited"), std::string::npos);
  EXPECT_FALSE(fs::exists(toml));
  // A value from the file.
  testsupport::WriteFile(toml, "reconnect = 7\n");
  EXPECT_NE(run({}).find("zuvek-cli: a lost port is waited for up to 7 s\n"), std::string::npos);
  // The option wins over the file.
  EXPECT_EQ(run({"--reconnect", "0"}).find("a lost port is waited"), std::string::npos);
  // A wrong value: told with its line, the default used, the file left alone.
  testsupport::WriteFile(toml, "# bench 4\n\nreconnect = -7\n");
  const std::string err = run({});
  EXPECT_NE(err.find("zuvek-cli: zuvek.toml:3: reconnect must be a whole number from 0 to 86400; "
                     "using 0\n"),
            std::string::npos)
      << err;
  EXPECT_EQ(err.find("a lost port is waited"), std::string::npos);
  EXPECT_EQ(ReadFile(toml), "# bench 4\n\nreconnect = -7\n");
}

}  // namespace
