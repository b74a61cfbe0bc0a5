// The SQLite results store: migration from every older schema, refusal of
// a newer one, idempotent writes, a file that is no store, and the
// filters of history.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "engine/run_columns.h"
#include "profiles/module_commands.h"
#include "store/schema.h"
#include "store/sqlite_store.h"
#include "store/store_query.h"
#include "tests/store/history_cases.h"
#include "tests/store/store_db.h"
#include "tests/support/temp_dir.h"

using store::SqliteStore;
using store::StoredRun;
using store::StoreError;
using store::TestRow;
using testsupport::One;

namespace {

TestRow ATest(const std::string& uuid) {
  TestRow t;
  t.test_uuid = uuid;
  t.module = "bench-1";
  t.identity_json = R"({"CGMR":"FW 1.2"})";
  t.firmware = "FW 1.2";
  t.profile = "default";
  t.fix_rule = "gprmc";
  t.restart_type = "Cold Start";
  t.settings_json = "{}";
  t.host = "desk";
  t.tool_version = "1.1.0";
  t.started_at = "2026-12-08 10:00:00";
  t.source = "/logs/2026-12-08/10-00-00_runs.csv";
  return t;
}

StoredRun ARun(const std::string& uuid, unsigned n, const std::string& reason = "") {
  RunRecord r;
  r.run = n;
  r.success = n % 3 != 0;
  if (r.success)
    r.ttff_s = 30.0 + n;
  r.restart_type = RESTART_COLD;
  r.start_time = "2026-12-08 10:00:00";
  r.reason = !reason.empty() ? reason : r.success ? "" : "time-out";
  return {uuid, FieldsOf(r, CsvLayout{}), ""};
}

}  // namespace

// From every older version (0: a new file) to the current one; the runs an
// older store held stay, and a test then writes as on a new store.
TEST(SqliteStore, MigratesEveryOlderVersionAndKeepsItsRows) {
  for (int from = 0; from < store::CurrentSchemaVersion(); ++from) {
    SCOPED_TRACE("from version " + std::to_string(from));
    testsupport::TempDir dir;
    const std::string path = dir.file("results.sqlite");
    if (from > 0) {
      SqliteStore old(path, from);
      EXPECT_EQ(old.SchemaVersion(), from);
      old.Execute(
          "INSERT INTO tests (test_uuid, module, identity, firmware, profile, fix_rule, "
          "restart_type, xtra, settings, host, tool_version, started_at, ended_at, end_reason, "
          "runs_planned) VALUES ('old', 'm', '{}', '', 'default', 'gprmc', 'Hot Start', 0, '{}', "
          "'h', '1.0.0', '2026-01-01 00:00:00', '', '', 5)");
    }
    SqliteStore now(path);
    EXPECT_EQ(now.SchemaVersion(), store::CurrentSchemaVersion());
    EXPECT_EQ(One(path, "SELECT count(*) FROM tests WHERE test_uuid = 'old'"),
              from > 0 ? "1" : "0");
    now.PutTest(ATest("new"));
    now.PutRun(ARun("new", 1));
    EXPECT_EQ(now.TestBySource("/logs/2026-12-08/10-00-00_runs.csv").value_or(""), "new");
    EXPECT_EQ(One(path, "SELECT count(*) FROM zuvek_schema"), "1");
    EXPECT_EQ(One(path, "PRAGMA journal_mode"), "wal");
  }
}

// An older tool meets a store a newer one wrote: it refuses, with a
// sentence naming both versions and what to do, and leaves the file alone.
TEST(SqliteStore, RefusesANewerStoreWithASentence) {
  testsupport::TempDir dir;
  const std::string path = dir.file("results.sqlite");
  {
    SqliteStore s(path);
    s.Execute("UPDATE zuvek_schema SET version = " +
              std::to_string(store::CurrentSchemaVersion() + 1));
  }
  try {
    SqliteStore again(path);
    FAIL() << "a newer store was opened";
  } catch (const StoreError& e) {
    const std::string text = e.what();
    EXPECT_NE(text.find("has schema version " + std::to_string(store::CurrentSchemaVersion() + 1) +
                        ", newer than this zuvek-cli knows (" +
                        std::to_string(store::CurrentSchemaVersion()) + ")"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("update zuvek-cli"), std::string::npos) << text;
  }
  EXPECT_EQ(One(path, "SELECT version FROM zuvek_schema"),
            std::to_string(store::CurrentSchemaVersion() + 1));
}

TEST(SqliteStore, AFileThatIsNoStoreIsRefusedWithASentence) {
  testsupport::TempDir dir;
  const std::string path = dir.file("results.sqlite");
  std::ofstream(path) << "run,result\n1,SUCC\n" << std::string(4096, 'x');
  try {
    SqliteStore s(path);
    FAIL() << "a text file was taken for a store";
  } catch (const StoreError& e) {
    EXPECT_NE(std::string(e.what()).find("the results store " + path), std::string::npos)
        << e.what();
    EXPECT_NE(std::string(e.what()).find("--store PATH"), std::string::npos) << e.what();
  }
}

// Property: any sequence of writes with repeats, in any order after the
// test row, leaves each run once with its first content, and the test row
// with its latest end.
TEST(SqliteStore, RepeatedWritesInAnyOrderLeaveEachRunOnce) {
  std::mt19937 random(14);
  for (int round = 0; round < 20; ++round) {
    testsupport::TempDir dir;
    const std::string path = dir.file("results.sqlite");
    SqliteStore s(path);
    const unsigned runs = 1 + random() % 30;
    std::vector<unsigned> writes;
    for (unsigned n = 1; n <= runs; ++n)
      for (unsigned k = 0; k <= random() % 3; ++k)
        writes.push_back(n);
    std::shuffle(writes.begin(), writes.end(), random);
    s.PutTest(ATest("t"));
    for (unsigned n : writes) {
      s.PutRun(ARun("t", n));
      s.PutRun(ARun("t", n, "changed"));  // a later copy never replaces the first
      if (random() % 4 == 0) {
        TestRow t = ATest("t");
        t.ended_at = "2026-12-08 11:00:0" + std::to_string(n % 10);
        t.end_reason = "completed";
        s.PutTest(t);
      }
    }
    TestRow end = ATest("t");
    end.ended_at = "2026-12-08 12:00:00";
    end.end_reason = "completed";
    s.PutTest(end);
    EXPECT_EQ(One(path, "SELECT count(*) FROM runs"), std::to_string(runs));
    EXPECT_EQ(One(path, "SELECT count(DISTINCT run) FROM runs"), std::to_string(runs));
    EXPECT_EQ(One(path, "SELECT count(*) FROM runs WHERE details LIKE '%changed%'"), "0");
    EXPECT_EQ(One(path, "SELECT count(*) FROM tests"), "1");
    EXPECT_EQ(One(path, "SELECT ended_at FROM tests"), "2026-12-08 12:00:00");
    EXPECT_EQ(One(path, "SELECT started_at FROM tests"), "2026-12-08 10:00:00");
  }
}

// Two processes send one spool's outbox while its test goes on: an entry one
// of them read is cleared only if it is still the version it sent, so the
// test's end queued meanwhile waits for the next send; and each entry is
// counted once, by the sender that cleared it.
TEST(SqliteStore, AnOutboxEntryQueuedAgainAfterItWasReadIsNotLost) {
  testsupport::TempDir dir;
  const std::string path = dir.file("spool.sqlite");
  SqliteStore owner(path), other(path);
  owner.PutTestFor(ATest("t"), "pg");
  owner.PutRunFor(ARun("t", 1), "pg", false);
  const auto read = other.Outbox("pg");  // the other process reads what waits
  ASSERT_EQ(read.size(), 2u);
  TestRow ended = ATest("t");
  ended.ended_at = "2026-12-08 12:00:00";
  ended.end_reason = "completed";
  owner.PutTestFor(ended, "pg");  // the test ends: its row is queued again
  EXPECT_FALSE(other.Sent("pg", read[0])) << "the test's row changed since it was read";
  EXPECT_TRUE(other.Sent("pg", read[1]));
  EXPECT_FALSE(owner.Sent("pg", read[1])) << "cleared once, counted once";
  const auto waiting = owner.Outbox("pg");
  ASSERT_EQ(waiting.size(), 1u);
  EXPECT_EQ(waiting[0].run, 0u);
  EXPECT_EQ(owner.ReadTest("t").end_reason, "completed");
  EXPECT_TRUE(owner.Sent("pg", waiting[0]));
  EXPECT_TRUE(owner.Outbox("pg").empty());
}

// A run of a test the store does not have is refused (nothing dangling).
TEST(SqliteStore, ARunWithoutItsTestIsRefused) {
  testsupport::TempDir dir;
  SqliteStore s(dir.file("results.sqlite"));
  EXPECT_THROW(s.PutRun(ARun("nobody", 1)), StoreError);
}

// The read side: the table of filters on a SQLite store; a store file that
// is not there yet is a sentence that says how one comes about, and the
// reader creates no file.
TEST(SqliteStore, HistoryFiltersSelectTheirTestsNewestFirst) {
  testsupport::TempDir dir;
  const std::string path = dir.file("results.sqlite");
  try {
    store::OpenReader(path);
    FAIL() << "a missing store was read";
  } catch (const StoreError& e) {
    EXPECT_NE(std::string(e.what()).find("no results store at " + path +
                                         " yet: run a test or import day folders (zuvek-cli "
                                         "store import DAYFOLDER)"),
              std::string::npos)
        << e.what();
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  SqliteStore writer(path);
  const std::unique_ptr<store::StoreReader> reader = store::OpenReader(path);
  std::string tag;
  testsupport::CheckHistoryFilters(writer, *reader, tag);
}
