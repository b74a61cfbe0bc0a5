// zuvek-cli run with verdict limits against the built-in simulator: the
// summary's "statistics" and "verdict", the exit code of each verdict, the
// lines after the result log's statistics, and --stop-when-decided ending
// the test after the run that decided it with every file written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <tuple>

#include "tests/support/cli_in_temp_dir.h"

namespace {

struct Cli : testsupport::CliInTempDir {
  testsupport::ProgramResult Run(std::vector<std::string> args) const {
    return CliInTempDir::Run(
        {"run", "--restart", "hot", "--time-scale", "50", "--interval-sleep", "1"}, args);
  }
};

TEST(CliVerdict, StopsWhenDecidedWithPassAndFail) {
  Cli cli;
  // Yield 0.8 at 95 %: eleven good attempts pass (11 ln(0.6/0.8) < ln(1/19)).
  auto r = cli.Run({"--runs", "20", "--sim-ttff", "1", "--limit-ttff", "5", "--yield", "0.8",
                    "--stop-when-decided"});
  ASSERT_EQ(r.code, 0) << r.err << r.out;
  nlohmann::json j = Cli::Summary(r.out);
  EXPECT_EQ(j.at("runs"), 11) << "the test ends after the deciding run";
  EXPECT_EQ(j.at("finished"), true);
  const auto& v = j.at("verdict");
  EXPECT_EQ(v.at("verdict"), "PASS");
  EXPECT_EQ(v.at("decided_after_run"), 11);
  EXPECT_EQ(v.at("limit_ttff_s"), 5.0);
  EXPECT_EQ(v.at("yield"), 0.8);
  EXPECT_NE(v.at("method").get<std::string>().find("Wald"), std::string::npos);
  const auto& s = j.at("statistics");
  EXPECT_EQ(s.at("success").at("k"), 11);
  EXPECT_EQ(s.at("success").at("n"), 11);
  EXPECT_NEAR(s.at("success").at("ci_low").get<double>(), std::pow(0.025, 1.0 / 11), 1e-9);
  EXPECT_EQ(s.at("success").at("method"), "Clopper-Pearson");
  EXPECT_EQ(s.at("valid_runs").at("L"), 11);
  EXPECT_EQ(s.at("valid_runs").at("M"), 11);
  EXPECT_EQ(s.at("ttff_km_s").at("censored"), 0);
  EXPECT_TRUE(s.at("ttff_km_s").at("p50").at("estimate").is_number());
  EXPECT_TRUE(s.at("stddev_s").at("value").is_number());
  // The fixes-only series is said once, with what it counts.
  EXPECT_FALSE(s.contains("ttff_plain_s"));
  EXPECT_NE(j.at("ttff_s").at("counts").get<std::string>().find("fixed only"), std::string::npos);
  // Every file has all eleven runs; the result log still ends as it always did.
  const std::string csv = testsupport::ReadFile(Cli::LogPath(r.out, "_runs.csv"));
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 12) << csv;
  const std::string log = testsupport::ReadFile(Cli::LogPath(r.out, "_result_log.txt"));
  EXPECT_NE(log.find("runtimes = 11\nfail times = 0\naverage = "), std::string::npos) << log;
  EXPECT_NE(r.out.find("runtimes = 11\nfail times = 0\naverage = "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nsuccess 11 of 11 (100.0 %, 95 % CI 71.5\u2013100.0 %, "
                       "Clopper\u2013Pearson)\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\nverdict: PASS after 11 runs (yield 0.8, TTFF \u2264 5 s, "
                       "confidence 0.95)\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("ended: verdict decided"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("verdict after run 10: UNDECIDED\n"), std::string::npos) << r.err;

  // Every attempt too slow: five bad ones fail (5 ln 2 > ln 19).
  r = cli.Run({"--runs", "20", "--sim-ttff", "8", "--limit-ttff", "5", "--yield", "0.8",
               "--stop-when-decided", "-q"});
  EXPECT_EQ(r.code, 1) << r.err << r.out;
  j = Cli::Summary(r.out);
  EXPECT_EQ(j.at("runs"), 5);
  EXPECT_EQ(j.at("verdict").at("verdict"), "FAIL");
  EXPECT_EQ(j.at("verdict").at("good"), 0);
}

TEST(CliVerdict, UndecidedWithATimedOutRunCensored) {
  Cli cli;
  std::ofstream(cli.dir.file("faults.txt")) << "run 2: no-fix\n";
  auto r = cli.Run({"--runs", "2", "--sim-ttff", "1", "--sim-faults", cli.dir.file("faults.txt"),
                    "--timeout", "4", "--limit-ttff", "5", "-q"});
  EXPECT_EQ(r.code, 3) << r.err << r.out;
  const nlohmann::json j = Cli::Summary(r.out);
  EXPECT_EQ(j.at("verdict").at("verdict"), "UNDECIDED");
  EXPECT_TRUE(j.at("verdict").at("decided_after_run").is_null());
  const auto& s = j.at("statistics");
  EXPECT_EQ(s.at("success").at("k"), 1);
  EXPECT_EQ(s.at("success").at("n"), 2);
  EXPECT_EQ(s.at("ttff_km_s").at("censored"), 1);
  EXPECT_EQ(s.at("ttff_km_s").at("censored_at"), 4.0);
  EXPECT_EQ(s.at("ttff_km_s").at("p95").at("above_timeout"), true);
  EXPECT_EQ(s.at("ttff_km_s").at("p95").at("text"), "above the time-out");
  EXPECT_TRUE(s.at("ttff_km_s").at("p50").at("estimate").is_number()) << "1 of 2 fixed";
  EXPECT_TRUE(s.at("stddev_s").at("value").is_null()) << "one fix has no spread";
  EXPECT_NE(r.out.find("p95 = above the time-out"), std::string::npos) << r.out;

  r = cli.Run({"--runs", "2", "--stop-when-decided"});
  EXPECT_EQ(r.code, 2) << "a verdict needs its limit";
  EXPECT_NE(r.err.find("--stop-when-decided needs a verdict"), std::string::npos) << r.err;
}

// With --limit-error a fix counts as good only near the reference: 30 m off
// the simulator's antenna, a 10-m limit fails every attempt and a 100-m one
// passes them; an error limit without a given reference is refused.
TEST(CliVerdict, TheErrorLimitJudgesEachFixByItsDistanceFromTheReference) {
  Cli cli;
  const std::string north_30m = std::to_string(48.1173 + 30.0 / 111200.0) + ",11.516666667";
  for (const auto& [limit, code, verdict] :
       {std::tuple{"10", 1, "FAIL"}, std::tuple{"100", 0, "PASS"}}) {
    const auto r =
        cli.Run({"--runs", "12", "--sim-ttff", "1", "--limit-ttff", "5", "--yield", "0.8",
                 "--reference", north_30m, "--limit-error", limit, "--stop-when-decided", "-q"});
    EXPECT_EQ(r.code, code) << limit << r.err << r.out;
    const nlohmann::json j = Cli::Summary(r.out);
    EXPECT_EQ(j.at("verdict").at("verdict"), verdict) << limit;
    EXPECT_NEAR(j.at("position_error_m").at("horizontal").at("median").get<double>(), 30.0, 1.0);
  }
  for (const char* reference : {"auto", ""}) {
    std::vector<std::string> args = {"--runs", "2", "--limit-ttff", "5", "--limit-error", "10"};
    if (*reference) {
      args.push_back("--reference");
      args.push_back(reference);
    }
    const auto r = cli.Run(args);
    EXPECT_EQ(r.code, 2) << reference;
    EXPECT_NE(r.err.find("--limit-error needs --limit-ttff and a given --reference"),
              std::string::npos)
        << r.err;
  }
}

}  // namespace
