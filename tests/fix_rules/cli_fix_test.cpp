// zuvek-cli run --fix and the fix_rule of zuvek.toml against the built-in
// simulator: the option wins over the file, a wrong name is refused with the
// known ones, and the rule shows in the header, the CSV and the summary.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct Cli {
  testsupport::TempDir dir;
  std::string exe = dir.file("zuvek-cli");
  Cli() { fs::copy_file(ZUVEK_CLI_PATH, exe); }
  void Settings(const std::string& text) const { std::ofstream(dir.file("zuvek.toml")) << text; }
  testsupport::ProgramResult Run(std::vector<std::string> args) const {
    args.insert(args.begin(), {exe, "run", "--restart", "hot", "--runs", "1", "--time-scale", "50",
                               "--interval-sleep", "1", "-q"});
    return testsupport::RunProgram(args, dir.path().string(), {}, SIGINT, -1);
  }
  static std::string LogPath(const std::string& out, const std::string& suffix) {
    std::smatch m;
    return std::regex_search(out, m, std::regex("(\\S+" + suffix + ")")) ? m[1].str() : "";
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
  const std::string csv = testsupport::ReadFile(Cli::LogPath(r.out, "_runs.csv"));
  EXPECT_EQ(csv.substr(csv.size() - 8), ",,GPRMC\n") << csv;
}

TEST(CliFixRule, FileChoosesTheRuleAndAWrongOneFallsBackToTheDefault) {
  Cli cli;
  cli.Settings("fix_rule = \"gsa3d\"\n");
  auto r = cli.Run({});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find(", fix rule gsa3d\n"), std::string::npos) << r.err;
  std::string csv = testsupport::ReadFile(Cli::LogPath(r.out, "_runs.csv"));
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

}  // namespace
