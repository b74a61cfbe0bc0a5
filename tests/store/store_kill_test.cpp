// zuvek-cli run killed (SIGKILL) at random moments of every phase of a run,
// again and again, into one store. After each kill the result log, the CSV
// and the store hold the same runs, none twice, but for the one run whose
// result was being filed in the instant of the kill: a run goes to the store
// first, then to the CSV, then to the result log, so each holds every run of
// the next and at most that one more. Importing the day folder then adds
// nothing. The files are read here with parsers of this test's own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "tests/store/store_db.h"
#include "tests/support/child_process.h"
#include "tests/support/cli_in_temp_dir.h"

using testsupport::One;
using testsupport::Rows;

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// The result log's runs: "N\t\t\tSUCC\t\t\tD" lines, run -> result.
std::map<int, std::string> ResultLogRuns(const std::string& path) {
  std::map<int, std::string> runs;
  for (const std::string& line : Lines(path)) {
    std::istringstream in(line);
    int run = 0;
    std::string result;
    if (in >> run >> result && (result == "SUCC" || result == "FAIL"))
      runs[run] = result;
  }
  return runs;
}

// The CSV's runs, run -> result; every line must be whole (as many fields as
// the header: a hot test's rows quote nothing) and no run may come twice.
std::map<int, std::string> CsvRuns(const std::string& path) {
  const std::vector<std::string> lines = Lines(path);
  std::map<int, std::string> runs;
  if (lines.empty())
    return runs;
  const auto fields = [](const std::string& line) {
    std::vector<std::string> f;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, ',');)
      f.push_back(field);
    if (!line.empty() && line.back() == ',')
      f.emplace_back();
    return f;
  };
  const std::size_t width = fields(lines[0]).size();
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> f = fields(lines[i]);
    EXPECT_EQ(f.size(), width) << path << " line " << i + 1 << " is not whole: " << lines[i];
    if (f.size() < 2)
      continue;
    EXPECT_TRUE(runs.emplace(std::stoi(f[0]), f[1]).second)
        << path << " has run " << f[0] << " twice";
  }
  return runs;
}

std::map<int, std::string> StoreRuns(const std::string& db, const std::string& csv) {
  std::map<int, std::string> runs;
  for (const auto& row :
       Rows(db,
            "SELECT r.run, r.success FROM runs r JOIN tests t USING (test_uuid) WHERE "
            "t.source = '" +
                csv + "'"))
    runs[std::stoi(row[0])] = row[1] == "1" ? "SUCC" : "FAIL";
  return runs;
}

// Waits until the child's event stream shows `phase` of a run from the
// second on; false when the child ended or 20 s passed first.
bool AwaitPhase(testsupport::ChildProcess& child, const std::string& phase) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    std::istringstream out(child.Out());
    for (std::string line; std::getline(out, line);) {
      const nlohmann::json e = nlohmann::json::parse(line, nullptr, false);
      if (e.is_object() && e.value("phase", "") == phase && e.value("run", 0) >= 2)
        return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

}  // namespace

TEST(StoreKill, ResultLogCsvAndStoreHoldTheSameRunsAfterKillsInEveryPhase) {
  testsupport::CliInTempDir cli;
  std::mt19937 random(2026);
  const std::string db = cli.StorePath();
  // The phases of a run at a time scale of 20, and how long each lasts (ms).
  const struct {
    const char* phase;
    int span_ms;
  } kPhases[] = {{"fix wait", 100}, {"record", 2},          {"capture", 450},
                 {"stop", 20},      {"closing pause", 450}, {"pause", 250}};
  int kills = 0;
  for (int round = 0; round < 2; ++round) {
    for (const auto& p : kPhases) {
      SCOPED_TRACE(std::string(p.phase) + ", round " + std::to_string(round));
      testsupport::ChildProcess child(
          {cli.exe, "run", "--restart", "hot", "--runs", "50", "--time-scale", "20", "--sim-ttff",
           "1:3", "--sim-seed", std::to_string(round * 10 + kills), "--events"},
          cli.dir.path().string(), {cli.StoreEnv()});
      ASSERT_TRUE(AwaitPhase(child, p.phase)) << child.Err();
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % p.span_ms));
      child.Signal(SIGKILL);
      ASSERT_EQ(child.Wait(), 128 + SIGKILL) << "killed while it ran";
      ++kills;
    }
  }
  // Every test it started, checked file by file.
  std::set<std::string> csvs;
  for (const auto& entry : fs::recursive_directory_iterator(cli.dir.path()))
    if (entry.path().string().ends_with("_runs.csv"))
      csvs.insert(entry.path().string());
  ASSERT_EQ(csvs.size(), static_cast<std::size_t>(kills));
  for (const std::string& csv : csvs) {
    SCOPED_TRACE(csv);
    const std::string stem = csv.substr(0, csv.size() - 9);
    const auto log = ResultLogRuns(stem + "_result_log.txt");
    const auto rows = CsvRuns(csv);
    const auto stored = StoreRuns(db, csv);
    EXPECT_GE(log.size(), 1u) << "each test was killed in its second run or later";
    // Each holds every run of the next, with the same result, and at most
    // the run after the last one the next holds.
    const auto holds = [](const std::map<int, std::string>& more,
                          const std::map<int, std::string>& fewer, const char* what) {
      for (const auto& [run, result] : fewer) {
        ASSERT_TRUE(more.count(run)) << what << ": run " << run << " is missing";
        EXPECT_EQ(more.at(run), result) << what << ": run " << run;
      }
      EXPECT_LE(more.size(), fewer.size() + 1) << what;
      if (more.size() > fewer.size()) {
        EXPECT_EQ(more.rbegin()->first, static_cast<int>(fewer.size()) + 1) << what;
      }
    };
    holds(stored, rows, "the store against the CSV");
    holds(rows, log, "the CSV against the result log");
  }
  EXPECT_EQ(One(db, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(One(db, "PRAGMA foreign_key_check"), "");

  // Importing the folder of these tests adds no test and no run.
  const std::string tests = One(db, "SELECT count(*) FROM tests");
  const std::string runs = One(db, "SELECT count(*) FROM runs");
  const fs::path day = fs::path(*csvs.begin()).parent_path();
  const auto import = cli.Run({"store", "import"}, {day.string()});
  ASSERT_EQ(import.code, 0) << import.err;
  EXPECT_EQ(One(db, "SELECT count(*) FROM tests"), tests);
  EXPECT_EQ(One(db, "SELECT count(*) FROM runs"), runs);
}
