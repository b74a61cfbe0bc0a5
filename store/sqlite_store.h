// The results store in one SQLite file: WAL journal, a full sync at each
// commit, one transaction per write, so a killed writer or a power cut
// leaves every committed run and nothing half-written.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "store/results_store.h"
#include "store/row_values.h"

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
  void PutRun(const StoredRun& run) override;
  void AmendRun(const StoredRun& run) override;
  std::optional<std::string> TestBySource(const std::string& source) override;
  std::string Where() const override { return path_; }

  int SchemaVersion();
  // A statement's first column of its first row as text ("" without one).
  std::string QueryText(const std::string& sql);
  void Execute(const std::string& sql);

  // The spool of a server: a row and its outbox entry in one transaction;
  // the entries waiting (tests first), the rows back, an entry sent.
  void PutTestFor(const TestRow& test, const std::string& server);
  void PutRunFor(const StoredRun& run, const std::string& server, bool amended);
  struct OutboxEntry {
    std::string test_uuid;
    unsigned run = 0;  // 0: the test's row
    long long version = 0;
  };
  std::vector<OutboxEntry> Outbox(const std::string& server);
  TestRow ReadTest(const std::string& uuid);
  StoredRun ReadRun(const std::string& uuid, unsigned run);
  // Clears an entry if it is still the version that was sent (a row queued
  // again meanwhile stays for the next send); true when it cleared it.
  bool Sent(const std::string& server, const OutboxEntry& entry);
  // Every row of a statement with its parameters ($1..), each column as
  // text or null.
  std::vector<Values> Read(const std::string& sql, const Values& values);

 private:
  void Migrate(int up_to_version);
  void Write(const char* sql, const Values& values);
  void InTransaction(const std::function<void()>& writes);
  [[noreturn]] void Fail(const std::string& what) const;

  std::string path_;
  sqlite3* db_ = nullptr;
};

}  // namespace store
