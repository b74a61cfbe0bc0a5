// The restart type power-cycle end to end: zuvek-cli run against the
// built-in simulator, whose power a hook cuts through its control pipe (its
// ports vanish and come back as new devices under their links); and a
// power-cycle test without its hook, refused before it starts.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/cli_in_temp_dir.h"

namespace {

using testsupport::CliInTempDir;
using testsupport::ReadFile;

// The lines of text that hold `what`.
int LinesWith(const std::string& text, const std::string& what) {
  std::istringstream in(text);
  int n = 0;
  for (std::string line; std::getline(in, line);)
    n += line.find(what) != std::string::npos ? 1 : 0;
  return n;
}

TEST(PowerCycle, EachRunStartsAfterThePowerCameBackAndIsRecordedAsSuch) {
  CliInTempDir cli;
  const auto r = cli.Run(
      {"run"}, {"--restart", "power-cycle", "--runs", "3", "--time-scale", "20", "--log-dir",
                cli.dir.file("logs"), "--sim-truth", cli.dir.file("truth.jsonl"), "--hook",
                "power-cycle=echo \"power-cycle 3\" > \"$ZUVEK_SIM_CONTROL\"; echo $ZUVEK_RUN "
                ">> cycles.txt"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadFile(cli.dir.file("cycles.txt")), "1\n2\n3\n");
  // The simulator's truth: three starts, each a cold one, as a module whose
  // memory went with its power starts (a start without the power cycle
  // would be the hot start the common start command makes).
  std::istringstream truth(ReadFile(cli.dir.file("truth.jsonl")));
  std::vector<nlohmann::json> starts;
  for (std::string line; std::getline(truth, line);)
    starts.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(starts.size(), 3u);
  const std::string csv = ReadFile(CliInTempDir::LogPath(r.out, "_runs.csv"));
  std::istringstream rows(csv);
  std::string row;
  std::getline(rows, row);  // the header
  for (const nlohmann::json& start : starts) {
    EXPECT_EQ(start["restart_type"], 1);
    ASSERT_TRUE(std::getline(rows, row));
    std::smatch m;
    ASSERT_TRUE(
        std::regex_search(row, m, std::regex(R"(^(\d),SUCC,[0-9.]+,([0-9.]+),Power Cycle,)")))
        << row;
    EXPECT_EQ(std::stoi(m[1]), start["run"].get<int>());
    EXPECT_NEAR(std::stod(m[2]), start["ttff_us"].get<double>() / 1e6, 0.5)
        << row;  // the arrival stamps against the truth
  }
  // Every run's ports came back: the debug log says so once per run.
  std::string debug;
  for (const auto& entry : std::filesystem::directory_iterator(cli.dir.file("logs")))
    if (entry.path().filename().string().rfind("ZUVEK_", 0) == 0)
      debug += ReadFile(entry.path().string());
  EXPECT_EQ(LinesWith(debug, "ports open again after the power cycle"), 3);
  const nlohmann::json summary = CliInTempDir::Summary(r.out);
  EXPECT_EQ(summary["conditions"]["restart_type"], "power-cycle");
}

TEST(PowerCycle, WithoutItsHookTheTestIsRefusedBeforeItStarts) {
  CliInTempDir cli;
  const auto r = cli.Run(
      {"run"}, {"--restart", "power-cycle", "--runs", "1", "--log-dir", cli.dir.file("logs")});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("a power-cycle test needs a hook that cuts and restores the module's power"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(std::filesystem::exists(cli.dir.file("logs")));
}

}  // namespace
