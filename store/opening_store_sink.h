// A result sink that opens its results store when a test starts, where the
// settings say at that moment, for a front end that lives across many tests
// (the window): a store changed in zuvek.toml is used from the next test on,
// and one that cannot be opened costs that test nothing but a sentence.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/result_sink.h"
#include "store/store_sink.h"

namespace store {

class OpeningStoreSink : public ResultSink {
 public:
  // `location` gives the store for the test about to start ("none": none),
  // `module` the module's name for its test row; both are asked at each
  // test's start. `tell` hears every sentence (from the engine's thread).
  OpeningStoreSink(std::function<std::string()> location, std::function<std::string()> module,
                   std::function<void(const std::string&)> tell);
  void OnTestStarted(const TestStartInfo& info) override;
  void OnRunRecorded(const RunRecord& record, const RunFields& fields) override;
  void OnRunAmended(const RunRecord& record, const RunFields& fields) override;
  void OnTestEnded(const std::string& ended_at, const std::string& end_reason,
                   const std::string& summary_json) override;
  // The sink of the test under way or last ended; null without a store.
  const StoreSink* Current() const { return sink_.get(); }

 private:
  std::function<std::string()> location_, module_;
  std::function<void(const std::string&)> tell_;
  std::unique_ptr<StoreSink> sink_;
};

}  // namespace store
