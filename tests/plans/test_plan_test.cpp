// Test plans: every example shipped loads and names its source; a plan
// read whole into its options; every kind of mistake told as FILE:LINE.
#include <gtest/gtest.h>

#include <filesystem>

#include "plans/plan_file.h"
#include "tests/support/test_paths.h"

namespace {

TEST(TestPlan, EveryExampleLoadsAndNamesItsSource) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(
           std::string(testsupport::kSourceDir) + "/plans/examples")) {
    const plans::TestPlanLoad load = plans::LoadTestPlan(entry.path().string());
    ASSERT_TRUE(load.plan) << entry.path() << (load.problems.empty() ? "" : load.problems[0]);
    EXPECT_EQ(load.plan->name + ".toml", entry.path().filename().string());
    EXPECT_GT(load.plan->source.size(), 20u) << "a citation, not a word";
    EXPECT_TRUE(load.plan->limit_ttff_s && load.plan->restart && load.plan->runs);
    ++count;
  }
  EXPECT_GE(count, 3);
}

TEST(TestPlan, ReadsEveryKey) {
  const auto load = plans::ParseTestPlan(
      "name = \"p\"\nsource = \"s\"\nrestart = \"warm\"\nxtra = true\nruns = 7\ntimeout = 45\n"
      "limit_ttff = 12.5\nlimit_error = 30\nyield = 0.9\nconfidence = 0.99\n"
      "attempts = \"until-decided\"\nfix_rule = \"gga\"\n",
      "p.toml");
  ASSERT_TRUE(load.plan) << load.problems.at(0);
  const plans::TestPlan& p = *load.plan;
  EXPECT_EQ(p.name, "p");
  EXPECT_EQ(p.source, "s");
  EXPECT_EQ(p.file, "p.toml");
  EXPECT_EQ(p.restart, "warm");
  EXPECT_EQ(p.xtra, true);
  EXPECT_EQ(p.runs, 7u);
  EXPECT_EQ(p.timeout_s, 45);
  EXPECT_EQ(p.limit_ttff_s, 12.5);
  EXPECT_EQ(p.limit_error_m, 30.0);
  EXPECT_EQ(p.yield, 0.9);
  EXPECT_EQ(p.confidence, 0.99);
  EXPECT_EQ(p.stop_when_decided, true);
  EXPECT_EQ(p.fix_rule, "gga");
}

TEST(TestPlan, EveryMistakeIsToldWithItsLine) {
  const std::string head = "name = \"p\"\nsource = \"s\"\n";
  const struct {
    std::string text, problem;
  } cases[] = {
      {head + "runs = 0\n", "p.toml:3: runs must be a whole number from 1 to 1000000"},
      {head + "restart = \"tepid\"\n",
       "p.toml:3: restart must be one of \"hot\", \"warm\", \"cold\""},
      {head + "yield = 1.5\n", "p.toml:3: yield must be a number from 0.01 to 0.999"},
      {head + "\nlimit_ttff = \"ten\"\n",
       "p.toml:4: limit_ttff must be a number from 0.001 to 86400"},
      {head + "attempts = \"some\"\n",
       "p.toml:3: attempts must be one of \"every-run\", \"until-decided\""},
      {head + "xtra = 1\n", "p.toml:3: xtra must be true or false"},
      {head + "timeot = 30\n", "p.toml:3: unknown key \"timeot\""},
      {head + "fix_rule = \"best\"\n", "p.toml:3: fix_rule must be one of "},
      {"source = \"s\"\n", "p.toml:1: the plan has no name = \"...\""},
      {head + "runs = [\n", "p.toml:3: Error while parsing array"},
  };
  for (const auto& c : cases) {
    const auto load = plans::ParseTestPlan(c.text, "p.toml");
    EXPECT_FALSE(load.plan) << c.text;
    ASSERT_EQ(load.problems.size(), 1u) << c.text;
    EXPECT_EQ(load.problems[0].rfind(c.problem, 0), 0u) << load.problems[0];
  }
  const auto missing = plans::LoadTestPlan("/nonexistent/plan.toml");
  EXPECT_FALSE(missing.plan);
  EXPECT_NE(missing.problems.at(0).find("cannot be read"), std::string::npos);
}

}  // namespace
