// The Grafana dashboard's history panels (docs/grafana/) run on a results
// store on a real PostgreSQL server that a test wrote, and give its counts.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "tests/store/pg_server.h"
#include "tests/support/cli_in_temp_dir.h"
#include "tests/support/test_paths.h"

namespace {

// The panels' SQL by title, with Grafana's time filter over every time.
std::map<std::string, std::string> DashboardSql() {
  std::ifstream in(std::string(testsupport::kSourceDir) + "/docs/grafana/zuvek-dashboard.json");
  const nlohmann::json dashboard = nlohmann::json::parse(in, nullptr, false);
  std::map<std::string, std::string> out;
  if (dashboard.is_discarded())
    return out;
  for (const auto& panel : dashboard["panels"])
    for (const auto& target : panel["targets"])
      if (target.contains("rawSql"))
        out[panel["title"]] = std::regex_replace(target["rawSql"].get<std::string>(),
                                                 std::regex(R"(\$__timeFilter\(([^()]*)\))"),
                                                 "$1 BETWEEN '2000-01-01' AND '2100-01-01'");
  return out;
}

// psql's unaligned rows (fields joined by "|") that hold the field `value`.
std::vector<std::vector<std::string>> RowsWith(const std::string& text, const std::string& value) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream f(line);
    for (std::string field; std::getline(f, field, '|');)
      fields.push_back(field);
    if (std::find(fields.begin(), fields.end(), value) != fields.end())
      rows.push_back(fields);
  }
  return rows;
}

TEST(StorePg, TheDashboardsHistoryPanelsRunOnTheStore) {
  const std::string url = testsupport::ServerUrl();
  if (url.empty())
    return;
  testsupport::CliInTempDir cli;
  const std::string module = "grafana-" + std::to_string(getpid());
  // Run 2 times out (an attempt of the receiver); run 3 is failed by its
  // hook (no attempt: the success rate leaves it out, as the summary does).
  std::ofstream(cli.dir.file("faults")) << "run 2: no-fix\n";
  const auto run =
      cli.Run({"run"}, {"--restart", "hot", "--runs", "4", "--time-scale", "50", "--timeout", "10",
                        "--sim-faults", cli.dir.file("faults"), "--module-name", module, "-q",
                        "--store", url, "--hook", "before-reset=test \"$ZUVEK_RUN\" != 3"});
  ASSERT_EQ(run.code, 1) << run.err;

  const auto sql = DashboardSql();
  ASSERT_EQ(sql.size(), 2u);
  for (const auto& [title, query] : sql) {
    SCOPED_TRACE(title);
    const std::string out = testsupport::Psql(query);
    ASSERT_EQ(out.find("ERROR"), std::string::npos) << out;
    const auto rows = RowsWith(out, module);
    ASSERT_EQ(rows.size(), 1u) << out;
    if (rows[0].size() == 3) {  // time | module | success rate
      EXPECT_NEAR(std::stod(rows[0][2]), 2.0 / 3.0, 1e-9);
    } else {  // started_at | module | firmware | profile | restart | runs | failures | ...
      ASSERT_GE(rows[0].size(), 7u);
      EXPECT_EQ(rows[0][4], "Hot Start");
      EXPECT_EQ(rows[0][5], "4");
      EXPECT_EQ(rows[0][6], "2");
    }
  }
}

}  // namespace
