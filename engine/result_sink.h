// Where a test's records go besides its text logs (a results store). The
// engine calls it from its worker thread right after the CSV row of a run
// was written; a sink must not throw and should return quickly.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/ttff_report.h"

struct TestStartInfo {
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
  // The run's record and its CSV row with the CSV's header.
  virtual void OnRunRecorded(const RunRecord& record, const std::string& csv_header,
                             const std::string& csv_row) = 0;
  virtual void OnTestEnded(const std::string& ended_at, const std::string& end_reason,
                           const std::string& summary_json) = 0;
};
