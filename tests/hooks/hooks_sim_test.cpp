// Hooks end to end: zuvek-cli run against the built-in simulator with hooks
// at every moment, checked against the runs CSV, the result log, the summary,
// the results store and the simulator's truth; a hook that hangs; a hook
// that fails, with each of its policies.
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/cli_in_temp_dir.h"

namespace {

using testsupport::CliInTempDir;
using testsupport::ReadFile;

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, sep))
    parts.push_back(part);
  if (!text.empty() && text.back() == sep)
    parts.push_back("");
  return parts;
}

// The runs CSV as rows of named fields.
std::vector<std::map<std::string, std::string>> CsvRows(const std::string& path) {
  std::istringstream in(ReadFile(path));
  std::string line;
  std::getline(in, line);
  const std::vector<std::string> header = Split(line, ',');
  std::vector<std::map<std::string, std::string>> rows;
  while (std::getline(in, line)) {
    const std::vector<std::string> fields = Split(line, ',');
    std::map<std::string, std::string> row;
    for (std::size_t i = 0; i < header.size() && i < fields.size(); ++i)
      row[header[i]] = fields[i];
    rows.push_back(row);
  }
  return rows;
}

// One [[hook]] table: the moment, the command, and optional keys.
std::string HookTable(const std::string& at, const std::string& command,
                      const std::string& more = "") {
  nlohmann::json quoted = command;
  return "[[hook]]\nat = \"" + at + "\"\ncommand = " + quoted.dump() + "\n" + more + "\n";
}

// What every hook writes: a line of its environment.
constexpr const char* kRecord =
    "echo \"$ZUVEK_MOMENT|$ZUVEK_HOOK|$ZUVEK_RUN|$ZUVEK_RUNS|$ZUVEK_RESTART|$ZUVEK_MODULE|"
    "$ZUVEK_AT_PORT|$ZUVEK_NMEA_PORT|$ZUVEK_TTFF|$ZUVEK_RESULT|$ZUVEK_REASON|$ZUVEK_TEST_STEM\" "
    ">> hooks.txt";

TEST(Hooks, EveryMomentFiresInOrderWithItsEnvironment) {
  CliInTempDir cli;
  std::string toml;
  for (const char* at : {"test-start", "before-reset", "after-start", "at-fix", "after-run"})
    toml += HookTable(at, kRecord);
  // The command line's test-end hook replaces this one.
  toml += HookTable("test-end", "echo from-zuvek.toml >> hooks.txt");
  cli.Settings(toml);
  testsupport::WriteFile(cli.dir.file("faults.txt"), "run 2: no-fix\n");
  const auto r =
      cli.Run({"run"}, {"--restart", "hot", "--runs", "3", "--time-scale", "20", "--timeout", "30",
                        "--sim-faults", cli.dir.file("faults.txt"), "--sim-truth",
                        cli.dir.file("truth.jsonl"), "--hook", std::string("test-end=") + kRecord});
  ASSERT_EQ(r.code, 1) << r.err;  // run 2 timed out
  const std::string csv = CliInTempDir::LogPath(r.out, "_runs.csv");
  const auto rows = CsvRows(csv);
  ASSERT_EQ(rows.size(), 3u);
  std::smatch ports;
  ASSERT_TRUE(std::regex_search(r.err, ports, std::regex(R"(\(AT (\S+), NMEA (\S+)\))"))) << r.err;

  std::vector<std::vector<std::string>> lines;
  for (const std::string& line : Split(ReadFile(cli.dir.file("hooks.txt")), '\n'))
    if (!line.empty())
      lines.push_back(Split(line, '|'));
  // The order of the moments, by hand: runs 1 and 3 fixed, run 2 timed out.
  std::vector<std::string> expected = {"test-start 0"};
  for (const char* run : {"1", "2", "3"}) {
    for (const char* at : {"before-reset", "after-start", "at-fix", "after-run"})
      if (std::string(at) != "at-fix" || std::string(run) != "2")
        expected.push_back(std::string(at) + " " + run);
  }
  expected.push_back("test-end 3");
  std::vector<std::string> got;
  for (const auto& f : lines) {
    ASSERT_EQ(f.size(), 12u);
    got.push_back(f[0] + " " + f[2]);
    EXPECT_EQ(f[1], f[0]);  // named by its moment
    EXPECT_EQ(f[3], "3");
    EXPECT_EQ(f[4], "hot");
    EXPECT_EQ(f[5], "simulator");
    EXPECT_EQ(f[6], ports[1].str());
    EXPECT_EQ(f[7], ports[2].str());
    EXPECT_EQ(f[11] + "_runs.csv", csv);
    if (f[0] == "at-fix" || f[0] == "after-run") {
      const auto& row = rows.at(std::stoul(f[2]) - 1);
      EXPECT_EQ(f[8], row.at("ttff_s")) << f[0] << " " << f[2];
      EXPECT_EQ(f[9], row.at("result"));
      EXPECT_EQ(f[10], row.at("reason"));
    }
  }
  EXPECT_EQ(got, expected);
  EXPECT_EQ(lines.back()[9], "completed");  // the test's end
  EXPECT_EQ(ReadFile(cli.dir.file("hooks.txt")).find("from-zuvek.toml"), std::string::npos);
  // The truth: runs 1 and 3 fixed, and a fix the at-fix hook saw is the
  // simulator's, within the 100-ms polls of the fix wait.
  std::istringstream truth(ReadFile(cli.dir.file("truth.jsonl")));
  std::vector<nlohmann::json> starts;
  for (std::string line; std::getline(truth, line);)
    starts.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(starts.size(), 3u);
  for (const auto& f : lines) {
    if (f[0] != "at-fix")
      continue;
    const double true_s = starts.at(std::stoul(f[2]) - 1)["ttff_us"].get<double>() / 1e6;
    EXPECT_NEAR(std::stod(f[8]), true_s, 0.5) << "run " << f[2];
  }
}

TEST(Hooks, AHookThatHangsIsKilledAtItsTimeOutAndFailsItsRun) {
  CliInTempDir cli;
  // Run 2's hook and the process it starts hang; 20 s of the test's clock
  // are 0.4 s at a time scale of 50.
  cli.Settings(HookTable("after-start",
                         "[ $ZUVEK_RUN != 2 ] && exit 0; sleep 1000 & echo $! > hung.pid; wait",
                         "name = \"hang\"\ntimeout = 20\non_failure = \"fail-run\""));
  const auto r = cli.Run({"run"}, {"--restart", "hot", "--runs", "3", "--time-scale", "50"});
  EXPECT_EQ(r.code, 1) << r.err;
  // Three runs with their pauses take about 2 s here; a hook that stalled
  // the run would take 1000 s.
  EXPECT_LT(r.seconds, 30.0);
  const auto rows = CsvRows(CliInTempDir::LogPath(r.out, "_runs.csv"));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].at("result"), "SUCC");
  EXPECT_EQ(rows[1].at("result"), "FAIL");
  EXPECT_EQ(rows[1].at("reason"), "hook failed: hang");
  EXPECT_EQ(rows[2].at("result"), "SUCC");
  EXPECT_NE(r.err.find("hook hang (after-start, run 2) failed: it was killed at its time-out of "
                       "20 s; the run fails (fail-run)"),
            std::string::npos)
      << r.err;
  // The process the hook started went with it (gone, or a zombie where the
  // system's first process does not collect orphans).
  const std::string pid = ReadFile(cli.dir.file("hung.pid"));
  const std::string stat = ReadFile("/proc/" + pid.substr(0, pid.find('\n')) + "/stat");
  const auto state = stat.find(") ");
  EXPECT_TRUE(state == std::string::npos || stat.substr(state + 2, 1) == "Z")
      << "the hook's child still runs: " << stat;
}

struct PolicyCase {
  const char* legend;
  const char* at;
  const char* policy;
  int exit_code;
  std::vector<std::string> results;  // the CSV's result column, run by run
  const char* run2_reason;
  const char* ended;
};

std::string StoredReason(const std::string& store, int run) {
  sqlite3* db = nullptr;
  std::string reason = "(none)";
  if (sqlite3_open_v2(store.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* q = nullptr;
    const std::string sql = "SELECT reason FROM runs WHERE run = " + std::to_string(run);
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &q, nullptr) == SQLITE_OK &&
        sqlite3_step(q) == SQLITE_ROW)
      reason = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
    sqlite3_finalize(q);
  }
  sqlite3_close(db);
  return reason;
}

TEST(Hooks, AFailingHookDoesWhatItsPolicySays) {
  const PolicyCase cases[] = {
      {"fail-run before the reset: run 2 fails, the test goes on",
       "before-reset",
       "fail-run",
       1,
       {"SUCC", "FAIL", "SUCC"},
       "hook failed: probe",
       "completed"},
      {"end-test at the fix: run 2 fails and is the last",
       "at-fix",
       "end-test",
       1,
       {"SUCC", "FAIL"},
       "hook failed: probe",
       "hook failed: probe"},
      {"note after the run: told, nothing fails",
       "after-run",
       "note",
       0,
       {"SUCC", "SUCC", "SUCC"},
       "",
       "completed"},
  };
  for (const PolicyCase& c : cases) {
    SCOPED_TRACE(c.legend);
    CliInTempDir cli;
    cli.Settings(HookTable(c.at, "[ $ZUVEK_RUN != 2 ] || exit 3",
                           std::string("name = \"probe\"\non_failure = \"") + c.policy + "\""));
    const auto r = cli.Run({"run"}, {"--restart", "hot", "--runs", "3", "--time-scale", "50"});
    EXPECT_EQ(r.code, c.exit_code) << r.err;
    const auto rows = CsvRows(CliInTempDir::LogPath(r.out, "_runs.csv"));
    std::vector<std::string> results;
    for (const auto& row : rows)
      results.push_back(row.at("result"));
    EXPECT_EQ(results, c.results);
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[1].at("reason"), c.run2_reason);
    EXPECT_EQ(StoredReason(cli.StorePath(), 2), c.run2_reason);
    const nlohmann::json summary = CliInTempDir::Summary(r.out);
    const bool failed = std::string(c.run2_reason).empty() == false;
    EXPECT_EQ(summary.value("hook_failed", 0), failed ? 1 : 0);
    // The result log: run 2's line, counted in "fail times".
    const std::string log = ReadFile(CliInTempDir::LogPath(r.out, "_result_log.txt"));
    EXPECT_NE(log.find(failed ? "2\t\t\tFAIL\t\t\tN/A\r\n" : "2\t\t\tSUCC"), std::string::npos);
    EXPECT_NE(log.find(std::string("fail times = ") + (failed ? "1" : "0")), std::string::npos);
    EXPECT_NE(r.out.find(std::string("ended: ") + c.ended), std::string::npos) << r.out;
    EXPECT_NE(
        r.err.find("hook probe (" + std::string(c.at) + ", run 2) failed: it exited with code 3"),
        std::string::npos)
        << r.err;
  }
}

}  // namespace
