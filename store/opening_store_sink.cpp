#include "store/opening_store_sink.h"

#include "store/store_location.h"

namespace store {

OpeningStoreSink::OpeningStoreSink(std::function<std::string()> location,
                                   std::function<std::string()> module,
                                   std::function<void(const std::string&)> tell)
    : location_(std::move(location)), module_(std::move(module)), tell_(std::move(tell)) {}

void OpeningStoreSink::OnTestStarted(const TestStartInfo& info) {
  sink_.reset();
  const std::string where = location_();
  if (IsNoStore(where))
    return;
  try {
    sink_ = std::make_unique<StoreSink>(OpenStore(where, tell_), module_(), tell_);
  } catch (const std::exception& e) {
    tell_(std::string("zuvek-cli: ") + e.what() + "; the test goes on with its text logs only");
    return;
  }
  sink_->OnTestStarted(info);
}

void OpeningStoreSink::OnRunRecorded(const RunRecord& record, const RunFields& fields) {
  if (sink_)
    sink_->OnRunRecorded(record, fields);
}

void OpeningStoreSink::OnRunAmended(const RunRecord& record, const RunFields& fields) {
  if (sink_)
    sink_->OnRunAmended(record, fields);
}

void OpeningStoreSink::OnTestEnded(const std::string& ended_at, const std::string& end_reason,
                                   const std::string& summary_json) {
  if (sink_)
    sink_->OnTestEnded(ended_at, end_reason, summary_json);
}

}  // namespace store
