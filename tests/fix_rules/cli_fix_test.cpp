// zuvek-cli run --fix and the fix_rule of zuvek.toml against the built-in
// simulator: the option wins over the file, a wrong name is refused with the
// known ones, and the rule shows in the header, the CSV and the summary.
// Every bundled profile with the rule "rmc" against the built-in simulator
// speaking it as a GN receiver, and a replayed $GNRMC-only capture whose
// TTFF is its truth with "rmc" and which has no fix with the default rule.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "profiles/bundled_profiles.h"

#include "tests/support/cli_in_temp_dir.h"
#include "tests/support/test_paths.h"
#include "tests/support/timeline_columns.h"

namespace {

struct Cli : testsupport::CliInTempDir {
  testsupport::ProgramResult Run(std::vector<std::string> args,
                                 const std::string& restart = "hot") const {
    return CliInTempDir::Run({"run", "--restart", restart, "--runs", "1", "--time-scale", "50",
                              "--interval-sleep", "1", "-q"},
                             args);
  }
};

TEST(CliFixRule, UnknownNameIsRefusedWithTheKnownOnes) {
  Cli cli;
  const auto r = cli.Run({"--fix", "nmea"});
  EXPECT_EQ(r.code, 2) << r.err;
  EXPECT_NE(r.err.find("unknown fix rule 'nmea'; choose one of"), std::string::npos) << r.err;
  for (const char* name : {"gprmc", "rmc", "gga", "gns", "gsa3d"})
    EXPECT_NE(r.err.find(name), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("logs:"), std::string::npos) << "no test may start";
}

TEST(CliFixRule, OptionWinsOverTheFileAndShowsEverywhere) {
  Cli cli;
  cli.Settings("fix_rule = \"gsa3d\"\n");
  const auto r = cli.Run({"--fix", "rmc"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find(", fix rule rmc\n"), std::string::npos) << r.err;
  const auto summary =
      nlohmann::json::parse(testsupport::ReadFile(Cli::LogPath(r.out, "_summary.json")));
  EXPECT_EQ(summary.at("fix_rule"), "rmc");
  const std::string csv =
      testsupport::WithoutTimeline(testsupport::ReadFile(Cli::LogPath(r.out, "_runs.csv")));
  EXPECT_EQ(csv.substr(csv.size() - 8), ",,GPRMC\n") << csv;
}

TEST(CliFixRule, FileChoosesTheRuleAndAWrongOneFallsBackToTheDefault) {
  Cli cli;
  cli.Settings("fix_rule = \"gsa3d\"\n");
  auto r = cli.Run({});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find(", fix rule gsa3d\n"), std::string::npos) << r.err;
  std::string csv =
      testsupport::WithoutTimeline(testsupport::ReadFile(Cli::LogPath(r.out, "_runs.csv")));
  EXPECT_EQ(csv.substr(csv.size() - 8), ",,GPGSA\n") << csv;  // the simulator's first 3D GSA

  cli.Settings("fix_rule = \"GNRMC\"\n");
  r = cli.Run({});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("zuvek.toml:1: fix_rule must be one of gprmc, rmc, gga, gns, gsa3d; "
                       "using 'gprmc'"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find("fix rule"), std::string::npos) << "the default is not announced";
  const auto summary =
      nlohmann::json::parse(testsupport::ReadFile(Cli::LogPath(r.out, "_summary.json")));
  EXPECT_FALSE(summary.contains("fix_rule"));
}

TEST(CliFixRule, EveryBundledProfileFindsAGnReceiversFixWithRmc) {
  Cli cli;
  const char* restarts[] = {"hot", "cold", "warm"};
  int i = 0;
  for (const BundledProfile& b : BundledProfiles()) {
    const std::string restart = restarts[i++ % 3];
    SCOPED_TRACE(std::string(b.name) + ", " + restart);
    const auto r = cli.Run({"--profile", b.name, "--fix", "rmc", "--sim-talker", "GN"}, restart);
    ASSERT_EQ(r.code, 0) << r.err;
    const auto summary =
        nlohmann::json::parse(testsupport::ReadFile(Cli::LogPath(r.out, "_summary.json")));
    if (std::string(b.name) != "default") {
      EXPECT_EQ(summary.at("profile"), b.name);
    }
    const std::string csv =
        testsupport::WithoutTimeline(testsupport::ReadFile(Cli::LogPath(r.out, "_runs.csv")));
    EXPECT_NE(csv.find("\n1,SUCC,"), std::string::npos) << csv;
    // Hot tests have no reset check; the others' fixes took longer than it asks.
    EXPECT_EQ(csv.substr(csv.size() - (restart == "hot" ? 8 : 9)),
              restart == "hot" ? ",,GNRMC\n" : ",,GNRMC,\n")
        << csv;
    const std::string at_log = testsupport::ReadFile(Cli::LogPath(r.out, "_at_log.txt"));
    EXPECT_EQ(at_log.find("ERROR"), std::string::npos) << "every command understood";
  }
}

TEST(CliFixRule, ReplayedGnrmcCaptureGivesItsTrueTtffWithRmcAndNoFixByDefault) {
  Cli cli;
  const std::string capture = std::string(testsupport::kNmeaDataDir) + "/rx210.log";
  const std::string truth_file = cli.dir.file("truth.jsonl");
  auto r = cli.Run(
      {"--fix", "rmc", "--sim-replay", capture, "--sim-truth", truth_file, "--timeout", "60"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto truth = nlohmann::json::parse(testsupport::ReadFile(truth_file));
  const double truth_s = truth.at("ttff_us").get<double>() / 1e6;
  EXPECT_GT(truth_s, 10.0) << "the capture starts without a fix";
  // The row: run,result,ttff_s,ttff_precise_s,...
  std::string row = testsupport::ReadFile(Cli::LogPath(r.out, "_runs.csv"));
  row = row.substr(row.find('\n') + 1);
  std::vector<std::string> fields;
  for (std::size_t at = 0; at <= row.size(); at = row.find(',', at) + 1) {
    fields.push_back(row.substr(at, row.find(',', at) - at));
    if (row.find(',', at) == std::string::npos)
      break;
  }
  ASSERT_GT(fields.size(), 3u) << row;
  EXPECT_EQ(fields[1], "SUCC");
  EXPECT_NEAR(std::stod(fields[3]), truth_s, 0.5) << row;

  r = cli.Run({"--sim-replay", capture, "--timeout", "40"});
  EXPECT_EQ(r.code, 1) << r.err;
  const std::string csv =
      testsupport::WithoutTimeline(testsupport::ReadFile(Cli::LogPath(r.out, "_runs.csv")));
  EXPECT_NE(csv.find("\n1,FAIL,"), std::string::npos) << csv;
  EXPECT_NE(csv.find(",time-out\n"), std::string::npos) << csv;
}

}  // namespace
