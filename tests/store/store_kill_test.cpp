// zuvek-cli run killed (SIGKILL) at random moments, again and again, into
// one store: afterwards every run the CSV files hold is in the store, with
// the same result, and the store is whole (no half-written row).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "tests/store/store_db.h"
#include "tests/support/child_process.h"
#include "tests/support/cli_in_temp_dir.h"

using testsupport::One;
using testsupport::Rows;

namespace {

struct CsvRun {
  std::string csv;
  std::string run, result;
};

std::vector<CsvRun> CsvRuns(const std::filesystem::path& folder) {
  std::vector<CsvRun> runs;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    const std::string path = entry.path().string();
    if (path.size() < 9 || path.substr(path.size() - 9) != "_runs.csv")
      continue;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);  // the header
    while (std::getline(in, line)) {
      // A row the kill cut short has no newline yet: getline still gives
      // it, but the tool had not finished writing it, so it need not be
      // in the store; a whole row ends with the time scale and reason.
      std::stringstream fields(line);
      std::string run, result;
      std::getline(fields, run, ',');
      std::getline(fields, result, ',');
      if (!in.eof())
        runs.push_back({path, run, result});
    }
  }
  return runs;
}

}  // namespace

TEST(StoreKill, EveryRunOfTheCsvFilesIsInTheStoreAfterRandomKills) {
  testsupport::CliInTempDir cli;
  std::mt19937 random(2026);
  int kills = 0;
  for (int round = 0; round < 8; ++round) {
    testsupport::ChildProcess child({cli.exe, "run", "--restart", "hot", "--runs", "1000",
                                     "--time-scale", "200", "--sim-ttff", "1:3", "-q"},
                                    cli.dir.path().string(), {cli.StoreEnv()});
    std::this_thread::sleep_for(std::chrono::milliseconds(300 + random() % 2500));
    child.Signal(SIGKILL);
    kills += child.Wait() == 128 + SIGKILL ? 1 : 0;
    // The logs are named by the second of the start: one test per second.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  }
  EXPECT_EQ(kills, 8) << "each writer was killed while it ran";

  const std::string db = cli.StorePath();
  ASSERT_TRUE(std::filesystem::exists(db));
  EXPECT_EQ(One(db, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(One(db, "PRAGMA foreign_key_check"), "");
  const std::vector<CsvRun> csv = CsvRuns(cli.dir.path());
  ASSERT_GT(csv.size(), 8u) << "the writers recorded runs before they were killed";
  // Every test with a run on disk is in the store; a writer killed before
  // its test began (a slow start on a loaded machine) left none of either.
  std::set<std::string> tests_on_disk;
  for (const CsvRun& r : csv)
    tests_on_disk.insert(r.csv);
  const long tests = std::stol(One(db, "SELECT count(*) FROM tests"));
  EXPECT_GE(tests, static_cast<long>(tests_on_disk.size()));
  EXPECT_LE(tests, 8);
  for (const CsvRun& r : csv) {
    const auto rows = Rows(db,
                           "SELECT r.success, r.details FROM runs r JOIN tests t USING (test_uuid) "
                           "WHERE t.source = '" +
                               r.csv + "' AND r.run = " + r.run);
    ASSERT_EQ(rows.size(), 1u) << r.csv << " run " << r.run << " is not in the store";
    EXPECT_EQ(rows[0][0], r.result == "SUCC" ? "1" : "0") << r.csv << " run " << r.run;
    EXPECT_NE(rows[0][1].find("\"run\":\"" + r.run + "\""), std::string::npos) << rows[0][1];
  }
  // Nothing in the store that the CSV files do not have whole, but the one
  // row per kill whose CSV line was cut short (the store may be ahead).
  const long stored = std::stol(One(db, "SELECT count(*) FROM runs"));
  EXPECT_GE(stored, static_cast<long>(csv.size()));
  EXPECT_LE(stored, static_cast<long>(csv.size()) + 8);
}
