// The report's reader against hostile files (each gives a sentence and the
// rows it could read, never a crash), the lookup of a test from any of its
// files or its stem, and the report of the bundled example tests: the
// timeline columns and signal file of the current format, an older test
// without them, and the HTML's self-containment; the same reader on the rows
// of the results store, and their pooling.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/csv_fields.h"
#include "profiles/module_commands.h"
#include "report/html_report.h"
#include "report/store_tests.h"
#include "report/ttff_files.h"
#include "report/ttff_view.h"
#include "tests/report/gui_app.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"

namespace {

const std::string kData = std::string(testsupport::kSourceDir) + "/tests/data/report/";

bool Mentions(const std::vector<std::string>& problems, const std::string& part) {
  for (const std::string& p : problems)
    if (p.find(part) != std::string::npos)
      return true;
  return false;
}

TEST(ReportReader, HostileRunsFilesGiveSentencesAndTheGoodRows) {
  const std::string header = "run,result,ttff_s,ttff_precise_s,restart_type,xtra\n";
  const struct {
    const char* legend;
    std::string text;
    std::size_t rows;
    const char* problem;  // part of the sentence; empty: none expected
  } kCases[] = {
      {"an empty file", "", 0, "is empty"},
      {"a foreign CSV without run and result", "a,b,c\n1,2,3\n", 0, "no \"run\" and \"result\""},
      {"a file cut off in its last row", header + "1,SUCC,30.1,30.0,Cold Start,0\n2,SU", 1,
       "no complete run"},
      {"a number that is none", header + "1,SUCC,3x.1,30.0,Cold Start,0\n2,FAIL,,,Cold Start,0\n",
       1, "no complete run"},
      {"a bad optional number", header + "1,SUCC,30.1,abc,Cold Start,0\n", 1, "no numbers"},
      {"columns in another order, some missing", "result,run\nSUCC,1\nFAIL,2\n", 1,
       "no complete run"},
      {"a huge line", header + std::string(200000, 'x') + "\n1,FAIL,,,Cold Start,0\n", 1,
       "overlong"},
      {"a negative run and infinity", header + "-1,SUCC,1,1,c,0\n2,SUCC,inf,1,c,0\n", 0,
       "no complete run"},
      {"CRLF line ends", "run,result,ttff_s\r\n1,SUCC,12.5\r\n", 1, ""},
      {"words and a negative number are no runs", header + "hello world\n-3\n1,FAIL,,,c,0\n", 1,
       "no complete run"},
      {"a fraction is no run number", header + "1.5,FAIL,,,c,0\n", 0, "no complete run"},
      {"a run given twice is kept once, and said", header + "1,FAIL,,,c,0\n1,SUCC,3,3,c,0\n", 1,
       "a second time"},
      {"only overlong lines, the header too", std::string(10 << 20, 'r') + "\n", 0,
       "no line of ours"},
  };
  for (const auto& c : kCases) {
    std::vector<std::string> problems;
    const std::vector<RunRecord> rows = report::ParseRunsCsv(c.text, problems);
    EXPECT_EQ(rows.size(), c.rows) << c.legend;
    if (*c.problem)
      EXPECT_TRUE(Mentions(problems, c.problem)) << c.legend;
    else
      EXPECT_TRUE(problems.empty()) << c.legend << ": " << problems.front();
  }
  std::vector<std::string> problems;
  const auto rows = report::ParseRunsCsv("result,run,ttff_s\nSUCC,7,12.5\r\n", problems);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].run, 7u);
  EXPECT_DOUBLE_EQ(rows[0].ttff_s, 12.5);
}

TEST(ReportReader, HostileSignalAndSummaryFiles) {
  std::vector<std::string> problems;
  EXPECT_TRUE(report::ParseSignalCsv("x,y\n1,2\n", problems).empty());
  EXPECT_TRUE(Mentions(problems, "no \"run\" and \"ms\""));
  problems.clear();
  const auto rows = report::ParseSignalCsv(
      "run,ms,tracked,used,snr1,snr2,snr3,snr4\n1,100,3,0,40,,,\n1,20", problems);
  ASSERT_EQ(rows.size(), 2u);  // "1,20": a row at 20 ms, the rest missing
  EXPECT_DOUBLE_EQ(*rows[0].snr[0], 40);
  EXPECT_FALSE(rows[0].snr[1].has_value());

  testsupport::TempDir dir;
  std::ofstream(dir.file("12-00-00_runs.csv")) << "run,result,ttff_s\n1,SUCC,12.5\n";
  std::ofstream(dir.file("12-00-00_summary.json")) << "{\"runs\": 1, \"statistics\": {";
  std::string problem;
  const auto files = report::FindTestFiles(dir.file("12-00-00_summary.json"), {}, problem);
  ASSERT_TRUE(files) << problem;
  const report::TestData data = report::ReadTest(*files);
  EXPECT_TRUE(data.summary.is_null());
  EXPECT_TRUE(Mentions(data.problems, "no complete JSON summary"));
  EXPECT_EQ(data.runs.size(), 1u);
  EXPECT_DOUBLE_EQ(report::TimeoutS(data), 200);  // the default without a summary
}

TEST(ReportReader, FindsATestFromAnyFileOrItsStem) {
  std::string problem;
  for (const std::string& given : {std::string(kData) + "2026-12-08/10-00-00",
                                   std::string(kData) + "2026-12-08/10-00-00_signal.csv",
                                   std::string(kData) + "2026-12-08/10-00-00_runs.csv"}) {
    const auto files = report::FindTestFiles(given, {}, problem);
    ASSERT_TRUE(files) << given;
    EXPECT_EQ(files->label, "2026-12-08/10-00-00");
    EXPECT_FALSE(files->signal_csv.empty());
  }
  ASSERT_TRUE(report::FindTestFiles("2026-12-08/11-00-00", {kData}, problem));
  EXPECT_FALSE(report::FindTestFiles("2026-12-08/23-59-59", {kData}, problem));
  EXPECT_NE(problem.find("No test found for \"2026-12-08/23-59-59\""), std::string::npos);
}

TEST(ReportHtml, BundledTestsGiveASelfContainedReport) {
  testsupport::EnsureGuiApplication();
  std::vector<report::TestData> tests;
  std::string problem;
  for (const char* stem : {"2026-12-08/10-00-00", "2026-12-08/11-00-00"})
    tests.push_back(report::ReadTest(*report::FindTestFiles(stem, {kData}, problem)));
  ASSERT_EQ(tests[0].runs.size(), 4u);
  EXPECT_EQ(tests[0].runs[0].timeline.first_snr_ms, 5100);
  EXPECT_EQ(report::SnrAtFixText(tests[0].runs[0]), "45 43 41 40");
  EXPECT_EQ(tests[0].signal.size(), 15u);
  EXPECT_TRUE(tests[0].problems.empty());

  const std::string html = report::HtmlReport(tests);
  EXPECT_EQ(html.find("http:"), std::string::npos);
  EXPECT_EQ(html.find("https:"), std::string::npos);
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_EQ(html.find("<link"), std::string::npos);
  EXPECT_EQ(html.find("url("), std::string::npos);
  EXPECT_NE(html.find("<svg"), std::string::npos);
  for (const char* text :
       {"Sierra Wireless HL7800", "bench-3", "4.9 / 22.1 / 26.0 / 28.1", "5 planned", "60 s",
        "UNDECIDED", "above the time-out", "fix in 2.08 s, faster than a cold start can be (10 s)",
        "S/N of the four strongest", "log-rank", "2026-12-08/11-00-00"})
    EXPECT_NE(html.find(report::Escape(text)), std::string::npos) << text;
  EXPECT_NE(html.find("<tr class=\"suspect\">"), std::string::npos);
  // The older test's conditions and statistics come from its CSV.
  EXPECT_NE(html.find("3 of 3 (100.0 %, CI 29.2\u2013100.0 %, Clopper-Pearson)"),
            std::string::npos);
  const auto old = report::Conditions(tests[1]);
  EXPECT_NE(std::find(old.begin(), old.end(), std::pair<std::string, std::string>("XTRA", "yes")),
            old.end());
  EXPECT_NE(std::find(old.begin(), old.end(),
                      std::pair<std::string, std::string>("restart type", "cold")),
            old.end());
  const std::vector<std::string> comparison = report::ComparisonSentences(tests);
  ASSERT_EQ(comparison.size(), 1u);
  EXPECT_EQ(comparison[0].rfind("No clear difference between 2026-12-08/10-00-00 and "
                                "2026-12-08/11-00-00",
                                0),
            0u)
      << comparison[0];
}

// A stored run is read by the runs CSV's reader, from the CSV row the
// store keeps by column name: the same runs as from the file, timeline and
// all; without that row, from the store's own columns. Pooled tests number
// their runs on, their signal rows with them.
TEST(ReportStore, StoredRunsReadAsTheirCsvAndPoolInOrder) {
  std::vector<std::string> problems;
  const auto read = [&](const std::string& stem, std::vector<RunRecord>& from_file) {
    const std::string csv = std::string(kData) + stem + "_runs.csv";
    const std::string text = testsupport::ReadFile(csv);
    from_file = report::ParseRunsCsv(text, problems);
    store::TestRow test;
    test.test_uuid = stem == "2026-12-08/10-00-00" ? "aaaaaaaa-1" : "bbbbbbbb-2";
    test.source = csv;
    std::vector<store::StoredRun> rows;
    std::istringstream lines(text);
    std::string header, line;
    std::getline(lines, header);
    const std::vector<std::string> names = SplitCsvFields(header);
    while (std::getline(lines, line)) {
      const std::vector<std::string> values = SplitCsvFields(line);
      store::StoredRun r{test.test_uuid, {}, ""};
      for (std::size_t i = 0; i < names.size() && i < values.size(); ++i)
        r.fields.emplace_back(names[i], values[i]);
      rows.push_back(r);
    }
    return report::TestFromStore(test, rows);
  };
  std::vector<RunRecord> file_a, file_b;
  const report::TestData a = read("2026-12-08/10-00-00", file_a);
  const report::TestData b = read("2026-12-08/11-00-00", file_b);
  EXPECT_TRUE(problems.empty());
  EXPECT_TRUE(a.problems.empty()) << a.problems.front();
  ASSERT_EQ(a.runs.size(), file_a.size());
  ASSERT_EQ(b.runs.size(), file_b.size());
  for (std::size_t i = 0; i < file_a.size(); ++i) {
    EXPECT_EQ(a.runs[i].run, file_a[i].run);
    EXPECT_EQ(a.runs[i].success, file_a[i].success);
    EXPECT_EQ(a.runs[i].ttff_s, file_a[i].ttff_s);
    EXPECT_EQ(a.runs[i].timeline.first_snr_ms, file_a[i].timeline.first_snr_ms);
    EXPECT_EQ(a.runs[i].timeline.fix_ms, file_a[i].timeline.fix_ms);
    EXPECT_EQ(a.runs[i].timeline.snr_at_fix, file_a[i].timeline.snr_at_fix);
    EXPECT_EQ(a.runs[i].reset_suspect, file_a[i].reset_suspect);
  }
  EXPECT_EQ(a.signal.size(), 15u) << "the signal CSV beside the stored test's CSV";
  EXPECT_TRUE(b.signal.empty());

  // Without the CSV row in its details: the store's typed columns.
  const store::Values bare = {std::string("c"),     std::string("3"), std::string("1"),
                              std::string("12.25"), std::nullopt,     std::string("Hot Start"),
                              std::string("0"),     std::string(""),  std::string("1"),
                              std::string(""),      std::string(""),  std::nullopt,
                              std::nullopt,         std::nullopt,     std::string(""),
                              std::string("{}")};
  const report::TestData c = report::TestFromStore({}, {store::RunFromValues(bare)});
  ASSERT_EQ(c.runs.size(), 1u);
  EXPECT_EQ(c.runs[0].run, 3u);
  EXPECT_DOUBLE_EQ(c.runs[0].ttff_s, 12.25);
  EXPECT_EQ(c.runs[0].restart_type, RESTART_HOT);

  const report::TestData pooled = report::PoolTests({a, b}, "store:restart=cold");
  EXPECT_EQ(pooled.files.label, "store:restart=cold");
  ASSERT_EQ(pooled.runs.size(), a.runs.size() + b.runs.size());
  for (std::size_t i = 0; i < pooled.runs.size(); ++i)
    EXPECT_EQ(pooled.runs[i].run, i + 1);
  EXPECT_EQ(pooled.runs[a.runs.size()].ttff_s, b.runs[0].ttff_s);
  EXPECT_EQ(pooled.signal.size(), a.signal.size());
  const auto conditions = report::Conditions(pooled);
  EXPECT_EQ(conditions.front().first, "tests");
  EXPECT_EQ(conditions.front().second.rfind("2 tests pooled: store:aaaaaaaa", 0), 0u)
      << conditions.front().second;
  // Its statistics are the pooled runs', not one test's summary.
  EXPECT_EQ(report::StatisticsOf(pooled)["success"]["n"], pooled.runs.size());
  EXPECT_EQ(report::PoolTests({a}, "store:aaaa").runs.size(), a.runs.size());
}

}  // namespace
