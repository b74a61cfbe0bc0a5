// The engine's result sink on a results store: the test's row when it
// starts and ends, a row per recorded run. A store that fails is told once
// in a sentence; the test goes on (its text logs hold every run).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/result_sink.h"
#include "store/results_store.h"

namespace store {

class StoreSink : public ResultSink {
 public:
  StoreSink(std::unique_ptr<ResultsStore> store, std::string module,
            std::function<void(const std::string&)> tell);
  void OnTestStarted(const TestStartInfo& info) override;
  void OnRunRecorded(const RunRecord& record, const RunFields& fields) override;
  void OnRunAmended(const RunRecord& record, const RunFields& fields) override;
  void OnTestEnded(const std::string& ended_at, const std::string& end_reason,
                   const std::string& summary_json) override;
  const TestRow& Test() const { return test_; }
  bool Failed() const { return failed_; }

 private:
  template <typename Write>
  void Guarded(Write write);

  std::unique_ptr<ResultsStore> store_;
  std::function<void(const std::string&)> tell_;
  TestRow test_;
  bool failed_ = false;
};

}  // namespace store
