// The test engine: runs a TTFF test on a worker thread, one at a time.
//
// Per run: query the GNSS state and stop it when on, delete the stored data
// for the restart type, optionally inject the module time and the XTRA
// data, start GNSS, wait for the first fix, record the result, log NMEA for
// a while after a fix, stop GNSS (except after the last run) and pause.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/engine_host.h"
#include "engine/reset_check.h"
#include "engine/result_sink.h"
#include "engine/results.h"
#include "engine/run_logs.h"
#include "engine/ttff_report.h"
#include "engine/ttff_settings.h"
#include "engine/wait_context.h"
#include "geo/position_error.h"
#include "platform/clock.h"
#include "platform/file_writes.h"
#include "platform/message_target.h"
#include "profiles/module_profile.h"
#include "serial/line_queue.h"
#include "stats/sequential_verdict.h"
#include "stats/ttff_statistics.h"

struct EngineEnvironment {
  platform::Clock* clock = nullptr;
  LineQueue* at_queue = nullptr;
  LineQueue* nmea_queue = nullptr;
  // Writes a command text to the AT port and returns when it is written.
  std::function<void(const std::string&)> write_at;
  // The host's message target: receives the user messages.
  platform::MessageTarget* target = nullptr;
  EngineHost* host = nullptr;
  // The day folder the per-test logs go to.
  std::string day_dir;
  // The folder of the all-NMEA log (empty: none).
  std::string nmea_log_dir;
  // NMEA bytes per second of the clock seen on the port so far; 0 unknown.
  std::function<double()> nmea_byte_rate;
  // Set by the host while a port is lost (null: never). A lost port fails
  // the run in progress at once ("port lost"); the test then ends, or waits
  // for the ports when its settings ask for reconnection
  // (TestSettings::reconnect_s).
  const std::atomic<bool>* port_lost = nullptr;
  // What the test is asked to be: profile, fix rule, reference, verdict,
  // reconnection (resolved by ResolveTestSettings).
  TestSettings test;
  // Gets every test and recorded run as well (null: only the text logs).
  ResultSink* result_sink = nullptr;
};

// How the last test ended, for hosts that report it.
struct TestOutcome {
  TestStatistics statistics;
  std::vector<float> durations;
  int failures = 0;
  unsigned runs_recorded = 0;
  bool completed = false;  // all runs made
  std::string end_reason;  // "completed" or what ended it
  TestLogPaths logs;
  std::string csv_path;
  std::string summary_path;
  std::string signal_path;  // "<stem>_signal.csv"
  std::vector<RunRecord> records;
  // The statistics and verdict of the summary's "statistics" and "verdict".
  stats::TtffStatistics ttff_statistics;
  // The open logs that lost a write by the end of the test.
  std::vector<std::string> incomplete_files;
  // The summary as the runs in memory give it (also when its file could
  // not be written).
  std::string summary_json;
};

class TestEngine {
 public:
  explicit TestEngine(EngineEnvironment env);
  ~TestEngine();
  TestEngine(const TestEngine&) = delete;
  TestEngine& operator=(const TestEngine&) = delete;

  // Starts a test of `times` runs (at least 1). Starts nothing and returns
  // false while a test runs.
  bool Start(int restart_type, unsigned times);
  // The Stop button: the worker ends at its next check.
  void Stop();
  // The program is ending: every wait and pause returns at its next poll,
  // the statistics of the finished runs are written and the logs closed.
  void RequestShutdown();
  bool ShutdownRequested() const { return shutdown_.load(); }
  bool IsRunning() const { return running_.load(); }
  // Waits for the worker thread to end (it ends by itself).
  void Join();
  // 2 while a test runs, 0 otherwise.
  int RunState() const { return m_nRunState.load(); }
  TestOutcome LastOutcome() const;
  // The settings of the next test; ignored while a test runs.
  void SetSettings(TestSettings settings) {
    if (!running_.load())
      env_.test = std::move(settings);
  }
  const TestSettings& Settings() const { return env_.test; }
  // The fix rule and the module profile of the next test (see TestSettings);
  // ignored while a test runs.
  void SetFixRule(const std::string& name) {
    if (!running_.load())
      env_.test.fix_rule = name;
  }
  const std::string& FixRuleName() const { return env_.test.fix_rule; }
  void SetProfile(std::shared_ptr<const ModuleProfile> profile) {
    if (!running_.load())
      env_.test.profile = std::move(profile);
  }
  const std::shared_ptr<const ModuleProfile>& Profile() const { return env_.test.profile; }

  int m_nRestartType = 0;
  unsigned m_nTimes = 1;

 private:
  class Worker;
  void TestThreadProc();

  EngineEnvironment env_;
  std::atomic<bool> running_{false};
  std::atomic<bool> shutdown_{false};
  std::atomic<int> m_nRunState{0};
  std::thread worker_;
  mutable std::mutex outcome_mutex_;
  TestOutcome outcome_;
  platform::WriteFailureListener previous_listener_;
};
