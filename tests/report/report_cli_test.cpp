// End to end: two small tests against the simulator, then `zuvek-cli
// report` of both by their stems, without a display: one self-contained
// HTML file naming both tests with the comparison sentence.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "tests/support/cli_in_temp_dir.h"

namespace {

using testsupport::CliInTempDir;

std::string Stem(const std::string& out) {
  const std::string csv = CliInTempDir::LogPath(out, "_runs.csv");
  const std::filesystem::path p(csv.substr(0, csv.size() - 9));
  return (p.parent_path().filename() / p.filename()).string();
}

TEST(CliReport, TwoSimulatedTestsInOneSelfContainedReport) {
  CliInTempDir cli;
  const std::vector<std::string> run = {"run", "--restart",    "hot", "--runs",
                                        "4",   "--time-scale", "50",  "-q"};
  const auto first = cli.Run(run, {"--sim-seed", "1"});
  ASSERT_EQ(first.code, 0) << first.err;
  // The day folder's stems are seconds apart.
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  const auto second = cli.Run(run, {"--sim-seed", "2", "--sim-ttff", "8"});
  ASSERT_EQ(second.code, 0) << second.err;
  const std::string a = Stem(first.out), b = Stem(second.out);
  ASSERT_NE(a, b);

  auto env_free = cli.Run({"report"}, {a, b});
  ASSERT_EQ(env_free.code, 0) << env_free.err;
  const std::string path = cli.dir.dir() + a + "_report.html";
  EXPECT_NE(env_free.out.find(a + "_report.html"), std::string::npos) << env_free.out;
  const std::string html = testsupport::ReadFile(path);
  EXPECT_EQ(html.find("http"), std::string::npos);
  EXPECT_EQ(html.find("<script src"), std::string::npos);
  EXPECT_NE(html.find("<svg"), std::string::npos);
  EXPECT_NE(html.find(a), std::string::npos);
  EXPECT_NE(html.find(b), std::string::npos);
  EXPECT_TRUE(std::regex_search(
      html, std::regex("(is (slower|faster) than|no clear difference between)[^<]*p [=<] [0-9.]+")))
      << "no comparison sentence";
  // The conditions the engine wrote.
  EXPECT_NE(html.find("4 recorded of 4 planned"), std::string::npos);

  const auto out_file = cli.Run({"report"}, {a + "_summary.json", "-o", cli.dir.file("r.html")});
  ASSERT_EQ(out_file.code, 0) << out_file.err;
  EXPECT_TRUE(std::filesystem::exists(cli.dir.file("r.html")));

  const auto missing = cli.Run({"report"}, {"2001-01-01/00-00-00"});
  EXPECT_EQ(missing.code, 1);
  EXPECT_NE(missing.err.find("No test found for \"2001-01-01/00-00-00\""), std::string::npos)
      << missing.err;
  const auto unwritable = cli.Run({"report"}, {a, "-o", "/proc/no/such/report.html"});
  EXPECT_EQ(unwritable.code, 1);
  EXPECT_NE(unwritable.err.find("cannot be written"), std::string::npos) << unwritable.err;
}

// A dual-band receiver (run's --sim-signals) and the report of one of its
// runs: the sky at that run's fix and its S/N per signal, named.
TEST(CliReport, TheSkyAndTheSignalsOfAChosenRun) {
  CliInTempDir cli;
  const auto test = cli.Run({"run", "--restart", "hot", "--runs", "3", "--time-scale", "50", "-q"},
                            {"--sim-signals", "L1,L5"});
  ASSERT_EQ(test.code, 0) << test.err;
  const std::string stem = Stem(test.out);
  const auto r = cli.Run({"report"}, {stem, "--run", "2"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string html = testsupport::ReadFile(cli.dir.dir() + stem + "_report.html");
  for (const char* text : {"Sky and signals", "Sky at the fix of run 2",
                           "S/N per signal over run 2", "GPS L5 Q", "Galileo E5a", "BeiDou B2a"})
    EXPECT_NE(html.find(text), std::string::npos) << text;
  const auto refused =
      cli.Run({"run", "--runs", "1", "--time-scale", "50", "-q"}, {"--sim-signals", "L1,L7"});
  EXPECT_EQ(refused.code, 2);
  EXPECT_NE(refused.err.find("unknown signal 'L7'"), std::string::npos) << refused.err;
}

}  // namespace
