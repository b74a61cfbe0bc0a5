// Where a test's records go besides its text logs (a results store). The
// engine calls it from its worker thread just before the CSV row of a run
// is written; a sink must not throw and should return quickly.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/ttff_report.h"

struct TestStartInfo {
  // The test's key, from the test itself (engine/ttff_key.h).
  std::string test_key;
  // What the summary's "conditions" say of the test.
  TestConditions conditions;
  int restart_type = 0;  // 0 hot, 1 cold, 2 warm, named as the CSV names them
  std::string csv_path;
  std::vector<std::pair<std::string, std::string>> identity;  // command, reply
  std::string settings_json;
};

class ResultSink {
 public:
  virtual ~ResultSink() = default;
  virtual void OnTestStarted(const TestStartInfo& info) = 0;
  // A run the moment its result is known, with its CSV row's fields.
  virtual void OnRunRecorded(const RunRecord& record, const RunFields& fields) = 0;
  // The same run again with what its capture added.
  virtual void OnRunAmended(const RunRecord& record, const RunFields& fields) = 0;
  virtual void OnTestEnded(const std::string& ended_at, const std::string& end_reason,
                           const std::string& summary_json) = 0;
};
