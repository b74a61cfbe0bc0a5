// zuvek-cli bench end to end: simulated modules that each match their own
// simulator's truth, a module that vanishes and one that hangs while the
// others finish on time, Ctrl-C in the middle, and a bench file whose
// modules cannot start.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/csv_fields.h"
#include "tests/support/child_process.h"
#include "tests/support/cli_in_temp_dir.h"
#include "tests/support/local_time.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;

// zuvek-cli in a folder of its own, its simulators' links there too.
struct Bench {
  testsupport::CliInTempDir cli;
  std::vector<std::string> Env() const {
    return {cli.StoreEnv(), "ZUVEK_SIM_DIR=" + cli.dir.file("sim-ports")};
  }
  std::vector<std::string> Argv(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{cli.exe, "bench"};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }
  testsupport::ProgramResult Run(const std::vector<std::string>& args, int interrupt_ms = -1) {
    return testsupport::RunProgram(Argv(args), cli.dir.path().string(), Env(), SIGINT,
                                   interrupt_ms);
  }
  std::string Day() const { return cli.dir.file(testsupport::TodayFolderName()); }
};

// The rows of a runs CSV by column name.
std::vector<std::map<std::string, std::string>> CsvRows(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::vector<std::string> header;
  std::vector<std::map<std::string, std::string>> rows;
  const auto split = SplitCsvFields;
  if (std::getline(in, line))
    header = split(line);
  while (std::getline(in, line)) {
    const auto fields = split(line);
    std::map<std::string, std::string> row;
    for (std::size_t i = 0; i < header.size() && i < fields.size(); ++i)
      row[header[i]] = fields[i];
    rows.push_back(row);
  }
  return rows;
}

// The TTFF (s) of each run in a simulator's truth log: as it was measured
// ("ttff_us") or as it was drawn from the seed ("ttff_drawn_us").
std::map<int, double> TruthTtffs(const std::string& path, const char* key = "ttff_us") {
  std::map<int, double> out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const auto j = nlohmann::json::parse(line, nullptr, false);
    if (j.is_object() && j[key].is_number())
      out[j["run"].get<int>()] = j[key].get<double>() / 1e6;
  }
  return out;
}

const nlohmann::json* ModuleEntry(const nlohmann::json& bench, const std::string& name) {
  for (const auto& m : bench["modules"])
    if (m["name"] == name)
      return &m;
  return nullptr;
}

// The pid of the bench's child that tests `name` (0 while there is none).
pid_t ChildTesting(pid_t bench, const std::string& name) {
  std::ifstream children("/proc/" + std::to_string(bench) + "/task/" + std::to_string(bench) +
                         "/children");
  pid_t pid;
  while (children >> pid) {
    std::string cmdline = ReadFile("/proc/" + std::to_string(pid) + "/cmdline");
    std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
    if (cmdline.find(" --module-name " + name + " ") != std::string::npos)
      return pid;
  }
  return 0;
}

TEST(CliBench, SimulatedModulesEachMatchTheirOwnSimulatorsTruth) {
  Bench bench;
  // Another bench of simulated modules on the same machine at the same
  // time (another desk, another user's script) has simulators of the same
  // names in the same ports folder; neither may stand in the other's way.
  Bench other;
  testsupport::ChildProcess neighbour(
      other.Argv({"--sim", "2", "--restart", "hot", "--runs", "1", "--time-scale", "20", "-q"}),
      other.cli.dir.path().string(),
      {other.cli.StoreEnv(), "ZUVEK_SIM_DIR=" + bench.cli.dir.file("sim-ports")});
  // TTFFs drawn from 2 to 9 s at 5 epochs a second: seeds 1, 2, 3 give
  // each module TTFFs of its own. At 10 times real speed the 0.15 s each
  // run may be off its truth are 15 ms of a loaded machine's delay.
  auto r = bench.Run({"--sim", "3", "--restart", "hot", "--runs", "2", "--time-scale", "10",
                      "--sim-ttff", "2:9", "--sim-rate", "5", "--json"});
  ASSERT_EQ(r.code, 0) << r.err << r.out;
  EXPECT_EQ(neighbour.Wait(), 0) << neighbour.Err();
  const auto j = nlohmann::json::parse(r.out);
  const auto& b = j["bench"];
  EXPECT_EQ(b["source"], "sim");
  EXPECT_EQ(b["modules"], 3);
  EXPECT_EQ(b["restart"], "hot");
  EXPECT_EQ(b["runs"], 2);
  EXPECT_EQ(b["exit_code"], 0);
  EXPECT_GT(b["wall_s"].get<double>(), 0.5);
  EXPECT_GE(b["supervisor_cpu_s"].get<double>(), 0.0);
  EXPECT_EQ(b["started"].get<std::string>().size(), 19u);
  EXPECT_EQ(b["ended"].get<std::string>().size(), 19u);
  // The same JSON is beside the modules' folders.
  const std::string day = bench.Day();
  bool beside = false;
  for (const auto& e : fs::directory_iterator(day))
    if (e.path().string().ends_with("_bench.json"))
      beside = nlohmann::json::parse(ReadFile(e.path().string())) == j;
  EXPECT_TRUE(beside);

  ASSERT_EQ(j["modules"].size(), 3u);
  std::vector<std::vector<double>> truths, drawn;
  for (int k = 1; k <= 3; ++k) {
    const std::string name = "sim" + std::to_string(k);
    SCOPED_TRACE(name);
    const nlohmann::json* m = ModuleEntry(j, name);
    ASSERT_NE(m, nullptr);
    const std::string folder = day + "/" + name;
    EXPECT_EQ((*m)["folder"], folder);
    EXPECT_EQ((*m)["exit_code"], 0);
    EXPECT_EQ((*m)["runs"], 2);
    EXPECT_EQ((*m)["failures"], 0);
    EXPECT_EQ((*m)["success_rate"], 1.0);
    EXPECT_GT((*m)["cpu_s"].get<double>(), 0.0);
    EXPECT_GT((*m)["wall_s"].get<double>(), 0.5);
    EXPECT_TRUE((*m)["ttff_s"]["median"].is_number());
    EXPECT_FALSE(m->contains("problem"));
    const std::string csv = (*m)["csv"];
    EXPECT_EQ(fs::path(csv).parent_path().string(), folder);
    EXPECT_EQ(fs::path((*m)["summary"].get<std::string>()).parent_path().string(), folder);
    EXPECT_NE((*m)["at_port"].get<std::string>().find("-" + name + "-AT"), std::string::npos);
    const auto rows = CsvRows(csv);
    ASSERT_EQ(rows.size(), 2u);
    const auto truth = TruthTtffs((*m)["truth"]);
    ASSERT_EQ(truth.size(), 2u);
    std::vector<double> own;
    for (const auto& row : rows) {
      const int run = std::stoi(row.at("run"));
      EXPECT_EQ(row.at("result"), "SUCC");
      ASSERT_TRUE(truth.count(run));
      // The precise TTFF against its own simulator's, in simulated seconds.
      EXPECT_NEAR(std::stod(row.at("ttff_precise_s")), truth.at(run), 0.15) << "run " << run;
      own.push_back(truth.at(run));
    }
    truths.push_back(own);
    std::vector<double> draws;
    for (const auto& [run, s] : TruthTtffs((*m)["truth"], "ttff_drawn_us"))
      draws.push_back(s);
    drawn.push_back(draws);
  }
  // The results store names each module's test by its module.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(bench.cli.StorePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
            SQLITE_OK);
  sqlite3_stmt* query = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db,
                               "SELECT module, (SELECT count(*) FROM runs WHERE runs.test_uuid = "
                               "tests.test_uuid) FROM tests ORDER BY module",
                               -1, &query, nullptr),
            SQLITE_OK)
      << sqlite3_errmsg(db);
  std::vector<std::string> stored;
  while (sqlite3_step(query) == SQLITE_ROW)
    stored.push_back(reinterpret_cast<const char*>(sqlite3_column_text(query, 0)) +
                     std::string(":") + std::to_string(sqlite3_column_int(query, 1)));
  sqlite3_finalize(query);
  sqlite3_close(db);
  EXPECT_EQ(stored, (std::vector<std::string>{"sim1:2", "sim2:2", "sim3:2"}));
  // Different seeds drew different TTFFs, and far enough apart that a CSV
  // compared with another module's truth would not pass the check above.
  for (std::size_t a = 0; a < 3; ++a) {
    for (std::size_t b = a + 1; b < 3; ++b) {
      SCOPED_TRACE(std::to_string(a + 1) + " against " + std::to_string(b + 1));
      EXPECT_NE(drawn[a], drawn[b]);
      double apart = 0;
      for (std::size_t i = 0; i < truths[a].size() && i < truths[b].size(); ++i)
        apart = std::max(apart, std::abs(truths[a][i] - truths[b][i]));
      EXPECT_GT(apart, 0.3);
    }
  }
}

TEST(CliBench, AModuleThatVanishesOrHangsFailsAloneWhileTheOthersFinishOnTime) {
  Bench bench;
  testsupport::WriteFile(bench.cli.dir.file("vanish.txt"), "all: drop-at=0.5 drop-nmea=0.5\n");
  testsupport::ChildProcess child(
      bench.Argv({"--sim", "3", "--restart", "hot", "--runs", "2", "--time-scale", "20",
                  "--sim-faults", "sim2=vanish.txt", "--timeout", "60", "--silence", "3",
                  "--json"}),
      bench.cli.dir.path().string(), bench.Env());
  // sim3's test hangs: stopped once it runs.
  pid_t hung = 0;
  for (int i = 0; i < 100 && hung == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    hung = ChildTesting(child.Pid(), "sim3");
  }
  ASSERT_NE(hung, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  kill(hung, SIGSTOP);
  // Should the bench not end the hung test, this ends it (and the checks
  // below fail) rather than the test waiting for ever.
  std::atomic<bool> ended{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 300 && !ended; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!ended)
      kill(hung, SIGKILL);
  });
  EXPECT_EQ(child.Wait(), 1) << child.Err();
  ended = true;
  watchdog.join();
  EXPECT_LT(child.Seconds(), 20.0);
  const auto j = nlohmann::json::parse(child.Out());
  EXPECT_EQ(j["bench"]["exit_code"], 1);
  const nlohmann::json* good = ModuleEntry(j, "sim1");
  const nlohmann::json* gone = ModuleEntry(j, "sim2");
  const nlohmann::json* hang = ModuleEntry(j, "sim3");
  ASSERT_TRUE(good && gone && hang);
  // The good module did all its runs, as fast as alone (2 hot runs at 20
  // times real speed take about 3 s).
  EXPECT_EQ((*good)["exit_code"], 0);
  EXPECT_EQ((*good)["runs"], 2);
  EXPECT_EQ((*good)["failures"], 0);
  EXPECT_LT((*good)["wall_s"].get<double>(), 8.0);
  EXPECT_EQ(CsvRows((*good)["csv"]).size(), 2u);
  // The vanished module failed its runs and says so.
  EXPECT_EQ((*gone)["exit_code"], 1);
  EXPECT_GE((*gone)["failures"].get<int>(), 1);
  // The hung one was ended and named.
  EXPECT_EQ((*hang)["exit_code"], 128 + SIGKILL);
  EXPECT_NE((*hang)["problem"].get<std::string>().find("said nothing for 3 s and was killed"),
            std::string::npos)
      << (*hang)["problem"];
}

TEST(CliBench, CtrlCEndsEveryModuleWithinTwoSecondsKeepingTheirRuns) {
  Bench bench;
  auto r = bench.Run({"--sim", "3", "--restart", "hot", "--runs", "50", "--time-scale", "20"},
                     /*interrupt_ms=*/4000);
  EXPECT_EQ(r.code, 130) << r.err;
  EXPECT_LT(r.seconds, 4.0 + 2.0);
  const std::string json_path = testsupport::CliInTempDir::LogPath(r.out, "_bench.json");
  ASSERT_FALSE(json_path.empty()) << r.out;
  const auto j = nlohmann::json::parse(ReadFile(json_path));
  EXPECT_EQ(j["bench"]["exit_code"], 130);
  for (const auto& m : j["modules"]) {
    SCOPED_TRACE(m["name"].get<std::string>());
    EXPECT_EQ(m["exit_code"], 130);  // each wrote what it had and ended itself
    const auto rows = CsvRows(m["csv"]);
    EXPECT_GE(rows.size(), 1u);
    EXPECT_LT(rows.size(), 50u);
    EXPECT_EQ(m["runs"].get<std::size_t>(), rows.size());
    // Every run the CSV has is in the result log too.
    const std::string csv = m["csv"];
    const std::string log =
        ReadFile(csv.substr(0, csv.size() - std::string("_runs.csv").size()) + "_result_log.txt");
    EXPECT_EQ(static_cast<std::size_t>(std::count(log.begin(), log.end(), '\r') - 1), rows.size());
  }
  // The table names every module; before it, not on a terminal, plain lines.
  for (const char* name : {"\nsim1 ", "\nsim2 ", "\nsim3 "})
    EXPECT_NE(r.out.find(name), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("sim2: run 1 of 50\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("sim3: run 1: fix in "), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find('\033'), std::string::npos);
}

// True while `pid` runs (a zombie waiting for its reaper has ended).
bool Running(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text))
    return false;
  const auto close = text.rfind(')');
  return close != std::string::npos && text.substr(close + 2, 1) != "Z";
}

// A bench killed outright (SIGKILL: no handler runs) takes its modules'
// tests with it: each notices its bench is gone, ends within seconds and
// frees its ports, its runs kept in its CSV and result log alike. The module
// is a simulator of its own here, which outlives the bench as a real one
// does.
TEST(CliBench, AKilledBenchLeavesNoModuleRunning) {
  Bench bench;
  const std::string sim_dir = bench.cli.dir.file("sim-ports");
  fs::create_directories(sim_dir);
  testsupport::ChildProcess sim({bench.cli.exe, "sim", "--name", "k", "--time-scale", "20",
                                 "--ttff-hot", "1", "--duration", "300"},
                                bench.cli.dir.path().string(), bench.Env());
  for (int i = 0; i < 200 && !fs::exists(sim_dir + "/k-NMEA"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  testsupport::WriteFile(bench.cli.dir.file("one.toml"), "[[module]]\nname = \"k\"\nat_port = \"" +
                                                             sim_dir + "/k-AT\"\nnmea_port = \"" +
                                                             sim_dir + "/k-NMEA\"\n");
  testsupport::ChildProcess child(bench.Argv({"one.toml", "--restart", "hot", "--runs", "50"}),
                                  bench.cli.dir.path().string(), bench.Env());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline &&
         child.Out().find("k: run 1: fix in ") == std::string::npos)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const pid_t module = ChildTesting(child.Pid(), "k");
  ASSERT_NE(module, 0) << child.Out() << child.Err();
  child.Signal(SIGKILL);
  ASSERT_EQ(child.Wait(), 128 + SIGKILL);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < until && Running(module))
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(Running(module)) << "the module's test outlived its bench";
  if (Running(module))
    kill(module, SIGKILL);
  std::string csv;
  for (const auto& e : fs::directory_iterator(bench.Day() + "/k"))
    if (e.path().string().ends_with("_runs.csv"))
      csv = e.path().string();
  ASSERT_FALSE(csv.empty());
  const auto rows = CsvRows(csv);
  EXPECT_GE(rows.size(), 1u);
  EXPECT_LT(rows.size(), 50u);
  const std::string log =
      ReadFile(csv.substr(0, csv.size() - std::string("_runs.csv").size()) + "_result_log.txt");
  EXPECT_NE(log.find("runtimes = "), std::string::npos) << "it did not end itself: " << log;
  EXPECT_EQ(static_cast<std::size_t>(std::count(log.begin(), log.end(), '\r') - 1), rows.size())
      << log;
}

TEST(CliBench, OnATerminalALinePerModuleAndOneForTheBenchAreRedrawnInPlace) {
  Bench bench;
  const int controller = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(controller, 0);
  ASSERT_EQ(grantpt(controller), 0);
  ASSERT_EQ(unlockpt(controller), 0);
  char name[128] = {};
  ASSERT_EQ(ptsname_r(controller, name, sizeof name), 0);
  const auto argv_text =
      bench.Argv({"--sim", "2", "--restart", "hot", "--runs", "2", "--time-scale", "50"});
  std::vector<char*> argv;
  for (const auto& a : argv_text)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto env = bench.Env();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(bench.cli.dir.path().c_str()) != 0)
      _exit(127);
    for (const auto& kv : env)
      putenv(const_cast<char*>(kv.c_str()));
    const int terminal = open(name, O_RDWR);
    const int null = open("/dev/null", O_WRONLY);
    dup2(terminal, 1);
    dup2(null, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  std::string screen;
  char buf[4096];
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (;;) {
    pollfd p{controller, POLLIN, 0};
    const int ready = poll(&p, 1, 200);
    const ssize_t n = ready > 0 ? read(controller, buf, sizeof buf) : 0;
    if (n > 0) {
      screen.append(buf, static_cast<std::size_t>(n));
      continue;
    }
    if (waitpid(pid, &status, WNOHANG) == pid)
      break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << "the bench did not end within 60 s";
      break;
    }
    if (ready > 0)  // the terminal hung up: the bench is ending
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  close(controller);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << screen;
  // Redrawn: up three lines (two modules and the bench), each line cleared.
  EXPECT_NE(screen.find("\033[3A\r\033[Ksim1  run "), std::string::npos) << screen;
  EXPECT_NE(screen.find("\r\033[Ksim2  run 2 of 2"), std::string::npos) << screen;
  EXPECT_NE(screen.find("\r\033[Kbench  2 modules  running 0  done 2  failed 0"), std::string::npos)
      << screen;
  EXPECT_EQ(screen.find("sim1: run 1 of 2"), std::string::npos);  // no plain lines
  EXPECT_NE(screen.find("bench summary: "), std::string::npos) << screen;
}

TEST(CliBench, ABenchFileIsCheckedBeforeAnythingStartsAndAModuleThatCannotStartIsNamed) {
  Bench bench;
  testsupport::WriteFile(bench.cli.dir.file("bad.toml"),
                         "[[module]]\nname = \"a\"\nat_port = \"x\"\nnmea_port = \"y\"\n"
                         "[[module]]\nname = \"a\"\nat_port = \"z\"\n");
  auto r = bench.Run({"bad.toml"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("zuvek-cli bench: bad.toml:5: module 2 has no nmea_port"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("zuvek-cli bench: bad.toml:5: the name \"a\" is taken by module 1"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(bench.Day() + "/a"));
  EXPECT_EQ(bench.Run({}).code, 2);  // neither a file nor --sim

  testsupport::WriteFile(bench.cli.dir.file("bench.toml"),
                         "[[module]]\nname = \"one\"\nat_port = \"/nonexistent/a1\"\n"
                         "nmea_port = \"/nonexistent/n1\"\n[[module]]\nname = \"two\"\n"
                         "at_port = \"/nonexistent/a2\"\nnmea_port = \"/nonexistent/n2\"\n");
  r = bench.Run({"bench.toml", "--runs", "1", "--json"});
  EXPECT_EQ(r.code, 1) << r.err;
  const auto j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["bench"]["source"], bench.cli.dir.file("bench.toml"));
  for (const char* name : {"one", "two"}) {
    SCOPED_TRACE(name);
    const nlohmann::json* m = ModuleEntry(j, name);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ((*m)["exit_code"], 1);
    EXPECT_NE((*m)["problem"].get<std::string>().find("does not exist"), std::string::npos)
        << (*m)["problem"];
    EXPECT_TRUE(fs::exists(bench.Day() + "/" + name + "/bench-stderr.txt"));
  }
}

}  // namespace
