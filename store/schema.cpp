#include "store/schema.h"

namespace store {

const std::vector<std::vector<std::string>>& SchemaSteps() {
  // Types both databases take: INTEGER, DOUBLE PRECISION, TEXT; 0/1 flags.
  static const std::vector<std::vector<std::string>> steps = {
      // 1: tests and their runs.
      {"CREATE TABLE tests (test_uuid TEXT PRIMARY KEY, module TEXT NOT NULL, identity TEXT "
       "NOT NULL, firmware TEXT NOT NULL, profile TEXT NOT NULL, fix_rule TEXT NOT NULL, "
       "restart_type TEXT NOT NULL, xtra INTEGER NOT NULL, settings TEXT NOT NULL, host TEXT NOT "
       "NULL, tool_version TEXT NOT NULL, started_at TEXT NOT NULL, ended_at TEXT NOT NULL, "
       "end_reason TEXT NOT NULL, runs_planned INTEGER NOT NULL)",
       "CREATE TABLE runs (test_uuid TEXT NOT NULL REFERENCES tests(test_uuid), run INTEGER NOT "
       "NULL, success INTEGER NOT NULL, ttff_s DOUBLE PRECISION, ttff_precise_s DOUBLE "
       "PRECISION, restart_type TEXT NOT NULL, xtra INTEGER NOT NULL, start_time TEXT NOT NULL, "
       "time_scale DOUBLE PRECISION NOT NULL, reason TEXT NOT NULL, fix_sentence TEXT NOT NULL, "
       "fix_lat DOUBLE PRECISION, fix_lon DOUBLE PRECISION, fix_alt_m DOUBLE PRECISION, "
       "reset_suspect TEXT NOT NULL, details TEXT NOT NULL, PRIMARY KEY (test_uuid, run))"},
      // 2: the test's CSV (so an import finds a test recorded live) and
      // summary; the index of history queries; the spool's outbox.
      {"ALTER TABLE tests ADD COLUMN source TEXT NOT NULL DEFAULT ''",
       "ALTER TABLE tests ADD COLUMN summary TEXT NOT NULL DEFAULT ''",
       "CREATE INDEX tests_by_source ON tests (source)",
       "CREATE INDEX tests_by_module ON tests (module, started_at)",
       // Rows a server has not confirmed yet (run 0: the test's row).
       "CREATE TABLE outbox (server TEXT NOT NULL, test_uuid TEXT NOT NULL, run INTEGER NOT "
       "NULL, PRIMARY KEY (server, test_uuid, run))"},
      // 3: an outbox entry's version, raised each time its row is queued
      // again, so that a sender clears only the version it sent.
      {"ALTER TABLE outbox ADD COLUMN version INTEGER NOT NULL DEFAULT 0"},
  };
  return steps;
}

std::string NewerStoreSentence(const std::string& where, int version, int known) {
  if (version <= known)
    return "";
  return "the results store " + where + " has schema version " + std::to_string(version) +
         ", newer than this zuvek-cli knows (" + std::to_string(known) +
         "): update zuvek-cli, or give another store with --store PATH";
}

}  // namespace store
