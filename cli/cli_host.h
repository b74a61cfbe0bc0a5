// The engine's host in the CLI: message boxes go to standard error (the test
// goes on as after the user's OK), progress goes to the terminal.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "engine/engine_host.h"
#include "engine/results.h"
#include "platform/clock.h"
#include "timeline/run_clock.h"

class ModuleHub;
class RunEvents;
namespace platform {
class MessageTarget;
}

class CliHost : public EngineHost {
 public:
  CliHost(ModuleHub& hub, platform::MessageTarget& target, const platform::Clock& clock,
          unsigned runs, bool xtra, bool quiet);

  bool IsImportXtraChecked() override { return xtra_; }
  void EnableSetupControls(bool) override {}
  void ShowMessage(const std::string& text) override;
  void ClearLiveViewAfterRun() override;
  void OnPhase(unsigned run, RunPhase phase) override;
  void OnLogFailure(const std::string& path) override;
  void OnStorageProblem(const std::string& sentence) override;
  bool ReconnectPorts(unsigned seconds, const std::function<bool()>& cancelled) override;
  // "verdict after run 3: UNDECIDED ..." after the run's line.
  void OnVerdict(unsigned run, const std::string& text) override;
  // The run clock and phases of the progress line (terminal only).
  void OnStartOk(unsigned run, std::int64_t ok_stamp_us) override;
  void OnTimeline(unsigned run, timeline::TimelinePhase phase, std::int64_t ms) override;
  // With --events: a "files" event, so that a bench knows this test's files.
  void OnTestFiles(const std::string& result_log, const std::string& csv,
                   const std::string& summary) override;

  // --events: progress also as JSON lines (null: none).
  void SetEvents(RunEvents* events) { events_ = events; }

  // On the main thread: a recorded run arrived (WM_USER+1000).
  void OnResult(const TestResult& result);
  // Redraws the progress line (terminal only); called once a second.
  void Tick();
  // Ends the progress line before other output.
  void EndLine();
  // Prints a message line, keeping the progress line intact.
  void Say(const std::string& text);

 private:
  void Draw();

  ModuleHub& hub_;
  platform::MessageTarget& target_;
  const platform::Clock& clock_;
  const unsigned runs_;
  const bool xtra_;
  const bool quiet_;
  const bool tty_;
  std::mutex mutex_;
  unsigned run_ = 0;
  RunPhase phase_ = RunPhase::Query;
  std::int64_t test_start_us_ = 0;
  std::string last_;
  int ok_ = 0, fail_ = 0;
  bool line_open_ = false;
  timeline::RunClock run_clock_;
  RunEvents* events_ = nullptr;
};
