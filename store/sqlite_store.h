// The results store in one SQLite file: WAL journal, a full sync at each
// commit, one transaction per write, so a killed writer or a power cut
// leaves every committed run and nothing half-written.
#pragma once

#include <string>

#include "store/results_store.h"

struct sqlite3;

namespace store {

class SqliteStore : public ResultsStore {
 public:
  // Opens (creating when missing, with its folder's parent existing) and
  // migrates the store; throws StoreError with a sentence when it cannot.
  // up_to_version < 0: the current schema; else only that far (for tests
  // of the migration).
  explicit SqliteStore(const std::string& path, int up_to_version = -1);
  ~SqliteStore() override;
  SqliteStore(const SqliteStore&) = delete;
  SqliteStore& operator=(const SqliteStore&) = delete;

  void PutTest(const TestRow& test) override;
  void PutRun(const RunRow& run) override;
  std::optional<std::string> TestBySource(const std::string& source) override;
  std::string Where() const override { return path_; }

  int SchemaVersion();
  // A statement's first column of its first row as text ("" without one).
  std::string QueryText(const std::string& sql);
  void Execute(const std::string& sql);

 private:
  void Migrate(int up_to_version);
  [[noreturn]] void Fail(const std::string& what) const;

  std::string path_;
  sqlite3* db_ = nullptr;
};

}  // namespace store
