// End to end: two tests against the simulator recorded live into one
// SQLite store and an older campaign's day folder imported into it; then
// `zuvek-cli history --json` under each filter, and `zuvek-cli report` of
// two store selectors, each entry holding the runs of the tests it pools.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "report/html_report.h"
#include "tests/support/cli_in_temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::CliInTempDir;

TEST(CliHistory, FiltersListTheRightTestsAndTheReportPoolsThem) {
  CliInTempDir cli;
  const std::string lab = cli.dir.file("lab.sqlite");
  const std::vector<std::string> hot = {"run", "--restart",    "hot", "--runs",
                                        "2",   "--time-scale", "50",  "-q"};
  // A: sim7600 (the family's model answers its identity commands), B: telit, slower.
  const auto a = cli.Run(hot, {"--sim-seed", "1", "--profile", "sim7600", "--store", lab});
  ASSERT_EQ(a.code, 0) << a.err;
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // starts a second apart
  const auto b =
      cli.Run(hot, {"--sim-seed", "2", "--sim-ttff", "8", "--profile", "telit", "--store", lab});
  ASSERT_EQ(b.code, 0) << b.err;
  // C: a cold test of an older campaign, on a bench module, not in the store
  // until its day folder is imported.
  const auto c = cli.Run({"run"}, {"--restart", "cold", "--runs", "2", "--time-scale", "50",
                                   "--sim-ttff", "1:3", "-q", "--store", "none"});
  ASSERT_EQ(c.code, 0) << c.err;
  const std::string c_csv = CliInTempDir::LogPath(c.out, "_runs.csv");
  const std::string c_stem = fs::path(c_csv).filename().string().substr(0, 8);
  const fs::path old_day = cli.dir.path() / "old" / "2020-01-15";
  fs::create_directories(old_day / "bench-7");
  for (const auto& entry : fs::directory_iterator(fs::path(c_csv).parent_path()))
    if (entry.path().filename().string().rfind(c_stem, 0) == 0)
      fs::rename(entry.path(), old_day / "bench-7" / entry.path().filename());
  const auto import = cli.Run({"store", "import"}, {old_day.string(), "--store", lab});
  ASSERT_EQ(import.code, 0) << import.err;
  const std::map<std::string, char> which = {
      {CliInTempDir::LogPath(a.out, "_runs.csv"), 'A'},
      {CliInTempDir::LogPath(b.out, "_runs.csv"), 'B'},
      {(old_day / "bench-7" / (c_stem + "_runs.csv")).string(), 'C'}};

  const struct {
    std::vector<std::string> filter;
    std::string tests;  // newest first
  } kCases[] = {
      {{}, "BAC"},
      {{"--module", "simulator"}, "BA"},
      {{"--module", "bench-7"}, "C"},
      {{"--firmware", "sim7600"}, "A"},
      {{"--firmware", "TELIT"}, "B"},
      {{"--profile", "telit"}, "B"},
      {{"--profile", "default"}, "C"},
      {{"--restart", "hot"}, "BA"},
      {{"--restart", "cold"}, "C"},
      {{"--restart", "warm"}, ""},
      {{"--since", "2020-01-15"}, "BAC"},
      {{"--since", "2020-01-16"}, "BA"},
      {{"--module", "simulator", "--firmware", "simulator", "--restart", "hot"}, "BA"},
  };
  nlohmann::json all;
  for (const auto& k : kCases) {
    std::vector<std::string> args = {"--store", lab, "--json"};
    args.insert(args.end(), k.filter.begin(), k.filter.end());
    const auto listed = cli.Run({"history"}, args);
    ASSERT_EQ(listed.code, 0) << listed.err;
    const nlohmann::json list = nlohmann::json::parse(listed.out);
    std::string got;
    for (const auto& t : list)
      got += which.count(t["source"]) ? which.at(t["source"]) : '?';
    EXPECT_EQ(got, k.tests) << ::testing::PrintToString(k.filter);
    if (k.filter.empty())
      all = list;
  }
  ASSERT_EQ(all.size(), 3u);
  for (const auto& t : all) {
    EXPECT_EQ(t["runs"], 2) << t.dump();
    EXPECT_EQ(t["failures"], 0) << t.dump();
    EXPECT_EQ(t["summary"]["runs"], 2) << t.dump();
  }
  EXPECT_EQ(all[1]["firmware"], "+CGMR: LE20B04SIM7600M22 (ZUVEK simulator, sim7600 model)");
  EXPECT_EQ(all[2]["module"], "bench-7");
  EXPECT_EQ(all[2]["started"].get<std::string>().rfind("2020-01-15 ", 0), 0u);
  // B's fixes take about 8 s, A's less: the summaries' medians say so.
  EXPECT_GT(all[0]["ttff_median_s"].get<double>(), all[1]["ttff_median_s"].get<double>() + 3);

  const auto table = cli.Run({"history"}, {"--store", lab});
  ASSERT_EQ(table.code, 0) << table.err;
  EXPECT_NE(table.out.find("3 tests in " + lab), std::string::npos) << table.out;
  EXPECT_NE(table.out.find(all[2]["test_uuid"].get<std::string>().substr(0, 8)), std::string::npos)
      << table.out;

  // The report: the simulator's two tests pooled against the bench module's.
  const std::string html_path = cli.dir.file("ab.html");
  const auto report = cli.Run({"report"}, {"--store", lab, "store:module=simulator,restart=hot",
                                           "store:module=bench-7", "-o", html_path});
  ASSERT_EQ(report.code, 0) << report.err;
  const std::string html = testsupport::ReadFile(html_path);
  EXPECT_NE(html.find(report::Escape("store:module=simulator,restart=hot") + ": 4 runs</summary>"),
            std::string::npos);
  EXPECT_NE(html.find(report::Escape("store:module=bench-7") + ": 2 runs</summary>"),
            std::string::npos);
  EXPECT_NE(html.find("2 tests pooled"), std::string::npos);
  EXPECT_NE(html.find("4 recorded of 4 planned"), std::string::npos);
  // A test by the start of its key, alone.
  const std::string key = all[1]["test_uuid"].get<std::string>().substr(0, 6);
  const auto single = cli.Run({"report"}, {"--store", lab, "store:" + key, "-o", html_path});
  ASSERT_EQ(single.code, 0) << single.err;
  EXPECT_NE(testsupport::ReadFile(html_path).find(report::Escape("store:" + key) + ": 2 runs<"),
            std::string::npos);

  // Selectors that select nothing, or cannot: a sentence, exit 1.
  const struct {
    std::string selector, sentence;
  } kRefused[] = {
      {"store:firmware=EG25", "selects no test in " + lab},
      {"store:colour=red", "has the unknown key \"colour\""},
      {"store:restart=lukewarm", "none of hot, warm, cold"},
      {"store:since=yesterday", "no date YYYY-MM-DD"},
      {"store:zz", "names no test"},
  };
  for (const auto& r : kRefused) {
    const auto refused = cli.Run({"report"}, {"--store", lab, r.selector, "-o", html_path});
    EXPECT_EQ(refused.code, 1) << r.selector;
    EXPECT_NE(refused.err.find(r.sentence), std::string::npos) << r.selector << ": " << refused.err;
  }

  // No store yet, a server that cannot be reached: one sentence, exit 1.
  const auto missing = cli.Run({"history"}, {});
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.err.find("no results store at " + cli.StorePath() +
                             " yet: run a test or import day folders (zuvek-cli store import "
                             "DAYFOLDER)"),
            std::string::npos)
      << missing.err;
  EXPECT_FALSE(fs::exists(cli.StorePath()));
  const auto unreachable =
      cli.Run({"history"}, {"--store", "postgresql://zuvek@127.0.0.1:9/lab", "--json"});
  EXPECT_EQ(unreachable.code, 1);
  EXPECT_NE(unreachable.err.find("the results server postgresql://zuvek@127.0.0.1:9/lab cannot "
                                 "be used"),
            std::string::npos)
      << unreachable.err;
  EXPECT_EQ(std::count(unreachable.err.begin(), unreachable.err.end(), '\n'), 1) << unreachable.err;
  EXPECT_TRUE(unreachable.out.empty()) << unreachable.out;
}

}  // namespace

namespace {

// A day that does not exist is refused; reading a store that is not there
// says so and makes no folder for it.
TEST(CliHistory, ADayThatDoesNotExistIsRefusedAndNoStoreIsMadeToReadFrom) {
  testsupport::CliInTempDir cli;
  const auto day = cli.Run({"history"}, {"--since", "2026-02-31"});
  EXPECT_EQ(day.code, 2) << day.err;
  EXPECT_NE(day.err.find("\"2026-02-31\" is no date"), std::string::npos) << day.err;
  const auto none = cli.Run({"history"}, {});
  EXPECT_EQ(none.code, 1) << none.err;
  EXPECT_NE(none.err.find("no results store at " + cli.StorePath() + " yet"), std::string::npos)
      << none.err;
  EXPECT_FALSE(fs::exists(fs::path(cli.StorePath()).parent_path()));
}

}  // namespace
