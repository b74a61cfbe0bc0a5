#include "store/spooled_store.h"

namespace store {

SpooledStore::SpooledStore(const std::string& url, const std::string& spool_path,
                           std::function<void(const std::string&)> tell, double retry_s)
    : url_(url),
      server_(ServerName(url)),
      spool_path_(spool_path),
      spool_(spool_path),
      tell_(std::move(tell)),
      retry_(retry_s) {}

SpooledStore::~SpooledStore() = default;

std::size_t SpooledStore::Sync() {
  if (!pg_)
    pg_ = std::make_unique<PgStore>(url_);
  std::size_t sent = 0;
  try {
    for (const SqliteStore::OutboxEntry& e : spool_.Outbox(server_)) {
      if (e.run == 0)
        pg_->PutTest(spool_.ReadTest(e.test_uuid));
      else
        pg_->AmendRun(spool_.ReadRun(e.test_uuid, e.run));
      // Sent twice when the program ends right here: the key keeps one.
      // Another process sharing the spool may have sent it already.
      if (spool_.Sent(server_, e))
        ++sent;
    }
  } catch (...) {
    pg_.reset();
    throw;
  }
  return sent;
}

void SpooledStore::TrySend() {
  const auto now = std::chrono::steady_clock::now();
  if (!pg_ && now < next_try_)
    return;
  try {
    const bool was_lost = told_lost_;
    Sync();
    if (was_lost && tell_)
      tell_("zuvek-cli: the results server " + server_ + " is back; the waiting runs were sent");
    told_lost_ = false;
  } catch (const StoreError& e) {
    // A server that hangs is left alone for a while: each try costs the
    // test a statement's time-out; one that refuses at once costs nothing.
    const bool hangs = dynamic_cast<const StoreTimeout*>(&e) != nullptr;
    next_try_ =
        now + (hangs ? kHungRetry
                     : std::chrono::duration_cast<std::chrono::steady_clock::duration>(retry_));
    if (!told_lost_ && tell_)
      tell_(std::string("zuvek-cli: ") + e.what() + "; the test goes on and its runs wait in " +
            spool_path_ + " until the server is back (or zuvek-cli store sync)");
    told_lost_ = true;
  }
}

void SpooledStore::PutTest(const TestRow& t) {
  spool_.PutTestFor(t, server_);
  TrySend();
}

void SpooledStore::PutRun(const StoredRun& r) {
  spool_.PutRunFor(r, server_, false);
  TrySend();
}

void SpooledStore::AmendRun(const StoredRun& r) {
  spool_.PutRunFor(r, server_, true);
  TrySend();
}

std::optional<std::string> SpooledStore::TestBySource(const std::string& source) {
  return spool_.TestBySource(source);
}

}  // namespace store
