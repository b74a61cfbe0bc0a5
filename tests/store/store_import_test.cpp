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
  const auto unstored = cli.Run({"run"}, {"--restart", "cold", "--runs", "3", "--time-scale", "100",
                                          "--sim-ttff", "1:3", "-q", "--store", "none"});
  ASSERT_EQ(unstored.code, 0) << unstored.err;
  const auto live = cli.Run(
      {"run"}, {"--restart", "hot", "--runs", "2", "--time-scale", "100", "-q", "--store", other});
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
