// zuvek-cli run --plan against the built-in simulator: the plan's options
// make the test (restart type, runs, time-out, verdict limits), an option on
// the command line wins and a line says so, the summary and the report name
// the plan, and a bad plan starts nothing and is told as FILE:LINE.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/support/cli_in_temp_dir.h"

namespace {

struct PlanCli : testsupport::CliInTempDir {
  testsupport::ProgramResult Run(std::vector<std::string> args) const {
    return CliInTempDir::Run({"run", "--time-scale", "50", "--interval-sleep", "1", "--sim-ttff",
                              "1", "--store", "none", "-q", "--plan", dir.file("plan.toml")},
                             args);
  }
};

constexpr const char* kPlan =
    "name = \"bench-hot\"\n"
    "source = \"a lab's own method, section 4\"\n"
    "restart = \"warm\"\n"
    "runs = 4\n"
    "timeout = 30\n"
    "limit_ttff = 5\n"
    "yield = 0.8\n"
    "confidence = 0.9\n"
    "attempts = \"every-run\"\n";

TEST(CliPlan, ThePlanMakesTheTestAndTheCommandLineWins) {
  PlanCli cli;
  std::ofstream(cli.dir.file("plan.toml")) << kPlan;
  auto r = cli.Run({});
  ASSERT_EQ(r.code, 3) << "4 good attempts of yield 0.8 decide nothing\n" << r.err << r.out;
  nlohmann::json j = PlanCli::Summary(r.out);
  EXPECT_EQ(j.at("plan").at("name"), "bench-hot");
  EXPECT_EQ(j.at("plan").at("source"), "a lab's own method, section 4");
  EXPECT_EQ(j.at("plan").at("file"), cli.dir.file("plan.toml"));
  EXPECT_EQ(j.at("runs"), 4);
  EXPECT_EQ(j.at("conditions").at("restart_type"), "warm");
  EXPECT_EQ(j.at("conditions").at("timeout_s"), 30.0);
  EXPECT_EQ(j.at("verdict").at("limit_ttff_s"), 5.0);
  EXPECT_EQ(j.at("verdict").at("yield"), 0.8);
  EXPECT_EQ(j.at("verdict").at("confidence"), 0.9);
  EXPECT_NE(r.err.find("test plan \"bench-hot\""), std::string::npos) << r.err;
  const std::string stem = PlanCli::LogPath(r.out, "_summary.json");

  // The report names the plan among the conditions.
  const auto report = cli.CliInTempDir::Run({"report", stem}, {"-o", cli.dir.file("r.html")});
  ASSERT_EQ(report.code, 0) << report.err;
  EXPECT_NE(testsupport::ReadFile(cli.dir.file("r.html"))
                .find("bench-hot (after a lab's own method, section 4)"),
            std::string::npos);

  r = cli.Run({"--runs", "2", "--restart", "hot"});
  j = PlanCli::Summary(r.out);
  EXPECT_EQ(j.at("runs"), 2);
  EXPECT_EQ(j.at("conditions").at("restart_type"), "hot");
  EXPECT_EQ(j.at("conditions").at("timeout_s"), 30.0) << "the plan's, not given here";
  EXPECT_NE(r.err.find("--runs 2 given on the command line wins over the plan's runs = 4"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("--restart hot given on the command line wins over the plan's restart = "
                       "\"warm\""),
            std::string::npos)
      << r.err;
}

TEST(CliPlan, ABadPlanStartsNothing) {
  PlanCli cli;
  std::ofstream(cli.dir.file("plan.toml")) << "name = \"x\"\nsource = \"y\"\nruns = 0\n";
  const auto r = cli.Run({});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(
      r.err.find(cli.dir.file("plan.toml") + ":3: runs must be a whole number from 1 to 1000000"),
      std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("the test plan is refused"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("_summary.json"), std::string::npos) << "nothing started";
}

}  // namespace
