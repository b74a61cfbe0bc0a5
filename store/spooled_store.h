// A PostgreSQL store with a local spool: every write goes first to the
// SQLite store (one transaction with its outbox entry), then to the server
// when it can be reached. A server that is unreachable or goes away costs
// the test nothing: the outbox is sent when it is back (tried again at most
// every `retry_s`), or by `zuvek-cli store sync`. The keys make each run
// arrive exactly once, however often it is sent.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "store/pg_store.h"
#include "store/sqlite_store.h"

namespace store {

class SpooledStore : public ResultsStore {
 public:
  // How long a server that did not answer in time is left alone.
  static constexpr std::chrono::seconds kHungRetry{60};

  // tell: one sentence when the server is lost and one when it is back.
  SpooledStore(const std::string& url, const std::string& spool_path,
               std::function<void(const std::string&)> tell = {}, double retry_s = 1.0);
  ~SpooledStore() override;
  void PutTest(const TestRow& test) override;
  void PutRun(const StoredRun& run) override;
  void AmendRun(const StoredRun& run) override;
  std::optional<std::string> TestBySource(const std::string& source) override;
  std::string Where() const override { return server_; }

  // Sends what waits, now (a reconnection when needed): the entries sent;
  // throws StoreError when the server cannot be reached.
  std::size_t Sync();
  std::size_t Waiting() { return spool_.Outbox(server_).size(); }
  const std::string& SpoolPath() const { return spool_path_; }

 private:
  void TrySend();

  std::string url_, server_, spool_path_;
  SqliteStore spool_;
  std::unique_ptr<PgStore> pg_;
  std::function<void(const std::string&)> tell_;
  std::chrono::duration<double> retry_;
  std::chrono::steady_clock::time_point next_try_{};
  bool told_lost_ = false;
};

}  // namespace store
