// zuvek-cli store import against the files `zuvek-cli run` wrote: every run
// of the CSV arrives once with its values; a second import, or the import
// of a test recorded live, adds nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/store/store_db.h"
#include "tests/support/cli_in_temp_dir.h"

using testsupport::One;

TEST(StoreImport, ImportsTheSimulatorsFilesOnceAndKnowsLiveTests) {
  testsupport::CliInTempDir cli;
  const std::string other = cli.dir.file("imported.sqlite");
  const auto unstored = cli.Run({"run"}, {"--restart", "cold", "--runs", "3", "--time-scale", "50",
                                          "--sim-ttff", "1:3", "-q", "--store", "none"});
  ASSERT_EQ(unstored.code, 0) << unstored.err;
  const auto live = cli.Run(
      {"run"}, {"--restart", "hot", "--runs", "2", "--time-scale", "50", "-q", "--store", other});
  ASSERT_EQ(live.code, 0) << live.err;
  const std::string csv = testsupport::CliInTempDir::LogPath(unstored.out, "_runs.csv");
  const std::string day = std::filesystem::path(csv).parent_path().string();
  EXPECT_EQ(One(other, "SELECT count(*) FROM runs"), "2");

  for (int round = 0; round < 2; ++round) {
    const auto import = cli.Run({"store", "import"}, {day, "--store", other});
    ASSERT_EQ(import.code, 0) << import.err;
    EXPECT_NE(import.out.find(": 2 tests, 5 runs read"), std::string::npos) << import.out;
    EXPECT_EQ(One(other, "SELECT count(*) FROM tests"), "2");
    EXPECT_EQ(One(other, "SELECT count(*) FROM runs"), "5");
  }
  const std::string test = "(SELECT test_uuid FROM tests WHERE source = '" + csv + "')";
  EXPECT_EQ(One(other,
                "SELECT restart_type || '|' || end_reason || '|' || runs_planned FROM "
                "tests WHERE source = '" +
                    csv + "'"),
            "Cold Start|imported|3");
  // The values are the CSV's: the TTFFs to the millisecond, the flags.
  const std::string text = testsupport::ReadFile(csv);
  std::size_t line = text.find('\n') + 1;
  for (int run = 1; run <= 3; ++run) {
    const std::string row = text.substr(line, text.find('\n', line) - line);
    line = text.find('\n', line) + 1;
    const std::string stored =
        One(other,
            "SELECT run || ',' || CASE success WHEN 1 THEN 'SUCC' ELSE 'FAIL' END || ',' || "
            "printf('%.3f', ttff_s) || ',' || printf('%.3f', ttff_precise_s) || ',' || "
            "restart_type || ',' || xtra || ',' || start_time FROM runs WHERE test_uuid = " +
                test + " AND run = " + std::to_string(run));
    EXPECT_EQ(row.substr(0, stored.size()), stored);
  }
  EXPECT_EQ(One(other, "PRAGMA integrity_check"), "ok");
}

// A test is one test however its folder is spelled (./DAY, a path through a
// link, a copy elsewhere), and recorded live it is the same test too. Lines
// that are no run are said and skipped, never made into runs; a link loop
// is skipped with a sentence and the rest imported; the planned runs are
// the summary's, not the rows found.
TEST(StoreImport, OneTestByAnySpellingAndNoRunInvented) {
  testsupport::CliInTempDir cli;
  const std::string lab = cli.dir.file("lab.sqlite");
  const auto live = cli.Run(
      {"run"}, {"--restart", "hot", "--runs", "3", "--time-scale", "50", "-q", "--store", lab});
  ASSERT_EQ(live.code, 0) << live.err;
  const std::filesystem::path csv = testsupport::CliInTempDir::LogPath(live.out, "_runs.csv");
  const std::filesystem::path day = csv.parent_path();
  std::filesystem::create_symlink(day, cli.dir.file("via-link"));
  std::filesystem::create_directories(cli.dir.file("copy"));
  std::filesystem::copy(day, cli.dir.file("copy") + "/" + day.filename().string(),
                        std::filesystem::copy_options::recursive);
  for (const std::string& spelling :
       {day.string(), "./" + day.filename().string(), cli.dir.file("via-link"),
        cli.dir.file("copy") + "/" + day.filename().string(), day.string() + "/"}) {
    SCOPED_TRACE(spelling);
    const auto import = cli.Run({"store", "import"}, {spelling, "--store", lab});
    EXPECT_EQ(import.code, 0) << import.err;
    EXPECT_EQ(One(lab, "SELECT count(*) FROM tests"), "1");
    EXPECT_EQ(One(lab, "SELECT count(*) FROM runs"), "3");
    EXPECT_EQ(One(lab, "SELECT end_reason FROM tests"), "completed") << "the live row stays";
  }

  // A folder of a test whose CSV holds lines that are no runs, a run given
  // twice, a link that loops; its summary plans five runs.
  const std::filesystem::path junk = cli.dir.path() / "junk" / "2026-11-30";
  std::filesystem::create_directories(junk);
  const std::string header = testsupport::ReadFile(csv.string())
                                 .substr(0, testsupport::ReadFile(csv.string()).find('\n') + 1);
  testsupport::WriteFile((junk / "09-00-00_runs.csv").string(),
                         header + "hello world\n-3,FAIL\n" + std::string(10 << 20, 'z') +
                             "\n1,FAIL,,,Hot Start,0,2026-11-30 09:00:05,1,time-out\n"
                             "2,SUCC,31.200,31.187,Hot Start,0,2026-11-30 09:04:05,1,\n"
                             "2,FAIL,,,Hot Start,0,2026-11-30 09:04:05,1,time-out\n");
  testsupport::WriteFile((junk / "09-00-00_summary.json").string(),
                         R"({"conditions": {"runs_planned": 5, "host": "bench-pc"}})");
  std::filesystem::create_symlink("loop", junk / "loop");
  const auto import = cli.Run({"store", "import"}, {junk.string(), "--store", lab});
  EXPECT_EQ(import.code, 1) << "what it skipped is said";
  EXPECT_NE(import.err.find("2 line(s) that are no complete run"), std::string::npos) << import.err;
  EXPECT_NE(import.err.find("overlong line(s)"), std::string::npos) << import.err;
  EXPECT_NE(import.err.find("names 1 run(s) a second time"), std::string::npos) << import.err;
  const std::string test = "(SELECT test_uuid FROM tests WHERE source LIKE '%2026-11-30%')";
  EXPECT_EQ(One(lab, "SELECT count(*) FROM runs WHERE test_uuid = " + test), "2");
  EXPECT_EQ(One(lab, "SELECT group_concat(run) FROM runs WHERE test_uuid = " + test), "1,2");
  EXPECT_EQ(One(lab, "SELECT runs_planned || '|' || host FROM tests WHERE test_uuid = " + test),
            "5|bench-pc");
  EXPECT_EQ(One(lab, "SELECT max(length(details)) < 2000 FROM runs"), "1");
}
