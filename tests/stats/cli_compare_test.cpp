// zuvek-cli compare against simulated tests whose TTFFs differ by a known
// shift: A draws its TTFFs from 20-30 s, B from the same range (another
// seed) or from 40-50 s, or never fixes within its time-out. Each verdict
// and its exit code; the printed difference of the medians against the
// simulator's truth; the report's paragraph with --margin.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "tests/support/cli_in_temp_dir.h"

namespace {

struct CompareCli : testsupport::CliInTempDir {
  // A test of 12 cold starts; returns its stem (the summary's path less
  // "_summary.json").
  std::string Test(const std::string& ttff, const std::string& seed, const std::string& truth,
                   const std::string& timeout = "120") const {
    const auto r = Run({"run", "--restart", "cold", "--runs", "12", "--time-scale", "100",
                        "--interval-sleep", "1", "--store", "none", "-q"},
                       {"--sim-ttff", ttff, "--sim-seed", seed, "--sim-truth", dir.file(truth),
                        "--timeout", timeout});
    const std::string summary = LogPath(r.out, "_summary.json");
    EXPECT_FALSE(summary.empty()) << r.err << r.out;
    return summary.substr(0, summary.size() - std::string("_summary.json").size());
  }
  testsupport::ProgramResult Compare(const std::string& a, const std::string& b,
                                     const std::string& margin) const {
    return Run({"compare", a, b}, {"--margin", margin});
  }
  // The median TTFF of the truth (seconds): 12 runs, the mean of the 6th
  // and 7th, as Kaplan-Meier's median is without censoring.
  double TruthMedian(const std::string& truth) const {
    std::ifstream in(dir.file(truth));
    std::vector<double> t;
    for (std::string line; std::getline(in, line);)
      t.push_back(nlohmann::json::parse(line).at("ttff_us").get<double>() / 1e6);
    EXPECT_EQ(t.size(), 12u);
    std::sort(t.begin(), t.end());
    return t.size() == 12 ? (t[5] + t[6]) / 2 : 0;
  }
};

double PrintedMedianDifference(const std::string& out) {
  std::smatch m;
  if (!std::regex_search(out, m, std::regex("; difference (-?[0-9.]+) s, 95 % CI")))
    return -1000;
  return std::stod(m[1].str());
}

TEST(CliCompare, EachVerdictOnTestsWithAKnownShift) {
  CompareCli cli;
  const std::string a = cli.Test("20:30", "1", "a.jsonl");
  const std::string same = cli.Test("20:30", "2", "same.jsonl");
  const std::string slower = cli.Test("40:50", "3", "slower.jsonl");
  const std::string hidden = cli.Test("40:50", "4", "hidden.jsonl", "30");

  // 20 s slower: worse by more than 5 s, not worse by more than 40 s.
  auto r = cli.Compare(a, slower, "5");
  EXPECT_EQ(r.code, 1) << r.err << r.out;
  EXPECT_NE(r.out.find("verdict: B is worse than A by more than 5.00 s"), std::string::npos)
      << r.out;
  EXPECT_NEAR(PrintedMedianDifference(r.out),
              cli.TruthMedian("slower.jsonl") - cli.TruthMedian("a.jsonl"), 1.0)
      << r.out;
  r = cli.Compare(a, slower, "40");
  EXPECT_EQ(r.code, 0) << r.err << r.out;
  EXPECT_NE(r.out.find("verdict: B is not worse than A by more than 40.00 s"), std::string::npos)
      << r.out;

  // The same distribution: not worse by more than 10 s; whether it is worse
  // by more than nothing at all the data cannot tell.
  r = cli.Compare(a, same, "10");
  EXPECT_EQ(r.code, 0) << r.err << r.out;
  r = cli.Compare(a, same, "0");
  EXPECT_EQ(r.code, 3) << r.err << r.out;
  EXPECT_NE(r.out.find("holds the margin; more runs would narrow it"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("success: A 12 of 12, B 12 of 12; difference 0.0 %"), std::string::npos)
      << r.out;

  // Every run of B timed out at 30 s: its median is hidden, and the
  // difference is only known to exceed 30 s minus A's median.
  r = cli.Compare(a, hidden, "20");
  EXPECT_EQ(r.code, 3) << r.err << r.out;
  EXPECT_NE(r.out.find("B's p50 is above its time-out (30.00 s)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("B 0 of 12"), std::string::npos) << r.out;

  // The report says the same with --margin.
  r = cli.Run({"report", a, slower}, {"--margin", "5", "-o", cli.dir.file("ab.html")});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string html = testsupport::ReadFile(cli.dir.file("ab.html"));
  EXPECT_NE(html.find("<p class=\"margin\">"), std::string::npos);
  EXPECT_NE(html.find("is worse than"), std::string::npos);

  r = cli.Compare(a, cli.dir.file("no-such-test"), "5");
  EXPECT_EQ(r.code, 2) << r.out;
}

}  // namespace
