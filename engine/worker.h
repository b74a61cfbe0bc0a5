// The worker of one test: its state while the test runs, and the steps of a
// run. Its members are written in three files: the run loop and its phases
// (worker_loop.cpp), the exchanges with the module (worker_steps.cpp) and
// the recording of runs and of the test's end (worker_records.cpp).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/at_exchange.h"
#include "engine/fix_detection.h"
#include "engine/results.h"
#include "engine/run_logs.h"
#include "engine/ttff_engine.h"
#include "engine/ttff_report.h"
#include "engine/wait_context.h"
#include "fix_rules/fix_rule.h"
#include "geo/geo_position.h"
#include "hooks/hook.h"
#include "profiles/module_profile.h"
#include "timeline/run_timeline.h"

inline constexpr const char* kAtTimeoutBox = "AT command timeout!check will break";
inline constexpr const char* kXtraTimeoutBox = "AT(XTRA) command timeout!check will break";
inline constexpr const char* kFopenFailedBox = "fopen failed!";
// The pause at the end of every run.
inline constexpr DWORD kClosingPauseMs = 10000;

class TestEngine::Worker {
 public:
  explicit Worker(TestEngine& engine);

  void Execute();

 private:
  // What a fix wait ended with.
  struct FixWaitEnd {
    bool fix = false;
    double duration = 0.0;  // the run clock at the fix
    double precise = -1.0;  // from the arrival stamps; < 0 when unknown
    std::string sentence, line;
    bool used_in_first_epoch = false;
  };

  // The test's files and what they are told before the first run.
  void OpenTest();
  TestConditions Conditions() const;
  void StartRecording(const TestConditions& conditions);
  // True when the test is over before run previous + 1 (all runs made, a
  // stop, a verdict, the program ending); sets why.
  bool TestIsOver(unsigned previous);

  // Each returns false when the test has to end.
  bool OneRun(unsigned n);
  bool QueryAndFirstStop(unsigned n);
  // False also when the module refused the delete (reset_refused_ set).
  bool DeleteAndXtra(unsigned n);
  bool Xtra();
  // False also when the module refused a start of the restart type's own
  // (reset_refused_ set).
  bool StartGnss(unsigned n, std::int64_t* ok_stamp);
  // The module refused run n's reset (`command`): the run fails "reset
  // refused" and the test goes on after the closing pause (GNSS was never
  // started). False when the test has to end.
  bool RefusedReset(unsigned n, const std::string& command);
  FixWaitEnd WaitFix(std::int64_t ok_stamp);
  // What follows a fix wait without a fix: false when the test has to end
  // (the run is not recorded then), true for a time-out, which is counted.
  bool AfterNoFix(const ProfileStep& start);
  void RecordAndCapture(unsigned n, const FixWaitEnd& end);
  bool TidyAndStop(unsigned n);
  // Once per test: the profile's set-up commands, then its identity ones.
  // False when the module refused a set-up command.
  bool SetUpModule();
  using Identity = std::vector<std::pair<std::string, std::string>>;
  // The set-up commands; false when the module refused one.
  bool SendSetup();
  // The identity commands and their replies.
  Identity ReadIdentity();
  // After a reconnect: the set-up again, and the identity read again and
  // compared with the test's (the host told of a difference). False when
  // the test has to end.
  bool SetUpAgain();
  void WarnWhenSpaceIsShort();
  void EndTest();
  // Files run n the moment its result is known: the results store, the
  // CSV and the summary first, then the list (the posted result) and the
  // result log's line, so that the result log never names a run the
  // others lack. Without a fix its timeline is complete; with one, the
  // capture that follows amends it (AmendAfterCapture).
  void RecordResult(unsigned n, bool fix, double duration, double precise, const char* reason,
                    const std::string& fix_sentence = {},
                    const std::optional<GeoPosition>& fix_position = std::nullopt,
                    const std::string& reset_suspect = {});
  // Files run n again with what its capture added: the rest of its
  // timeline, the positions after the fix.
  void AmendAfterCapture(unsigned n, const std::vector<GeoPosition>& positions);
  // Run n's timeline so far into the pending record (finished: the run's
  // NMEA is over).
  void TakeTimeline(unsigned n, bool finished);
  // With verdict limits: the verdict after run n, to the host.
  void TellVerdict(unsigned n);
  // The timeline of run n from its start's "OK" on.
  void BeginTimeline(unsigned n, std::int64_t ok_stamp_us);
  void FeedTimeline(const std::string& line, std::int64_t stamp_us);
  // A port was lost during run n: records the run when it has no result
  // yet; with reconnection and unless it was the last, brings the ports
  // back. False when the test has to end.
  bool RecoverLostPort(unsigned n);
  // The test was stopped (Stop, or the window closing, which stops first)
  // in run n before its result: the run is filed as a failure "stopped" in
  // the list, the CSV, the summary and the store, and counted in the result
  // log's "fail times" without a line of its own, as a Stop in the fix wait
  // always was. The statistics take it for no attempt of the receiver.
  void AccountInterruptedRun(unsigned n);
  void PublishOutcome();

  // Hooks (worker_hooks.cpp). What a moment's hooks ended with: go on, fail
  // the run in progress, end the test, or stopped (Stop, the program ending).
  enum class HookEnd { kGo, kFailRun, kEndTest, kStopped };
  // What the environment of a moment knows of the run.
  struct HookFacts {
    std::optional<double> ttff_s;
    std::string result, reason;
  };
  // Runs the moment's hooks in order; the first failure whose policy is not
  // `note` ends them (failed_hook_ names it).
  HookEnd RunHooks(hooks::Moment moment, unsigned n, const HookFacts& facts = {});
  std::vector<std::string> HookEnvironment(const hooks::Hook& hook, unsigned n,
                                           const HookFacts& facts) const;
  // A hook ended run n before its result: a failure "hook failed: NAME"
  // filed for kFailRun and kEndTest, then for kFailRun the rest of the run
  // (GNSS stopped when it was started, the closing pause). OneRun's result.
  bool AfterHookEnd(unsigned n, HookEnd end, bool gnss_started);
  // A power-cycle run: the power-cycle hooks, then the ports back and the
  // set-up again. nullopt when the run goes on; else OneRun's result.
  std::optional<bool> PowerCycle(unsigned n);
  // Run n's hooks ended the test (`end`: a failure or a Stop); false.
  bool EndAfterHooks(unsigned n, HookEnd end);
  bool PowerCycled() const { return e_.m_nRestartType == RESTART_POWER_CYCLE; }
  std::string failed_hook_;  // the hook whose failure ended its moment
  // A port is lost now.
  bool Lost() const { return ctx_.PortLost(); }
  // The restart type the test records: the one asked, or RESTART_PLAIN
  // when the profile has no command for it.
  int RecordedType() const { return RecordedRestartType(p_, e_.m_nRestartType); }

  void Write(const std::string& cmd) {
    if (env_.write_at)
      env_.write_at(cmd);
  }
  // One wait for the step's reply, with its time-out: kWaitAnswered,
  // kWaitTimedOut, or kWaitRefused (the line in ctx_.refusal).
  int WaitReply(const ProfileStep& step) {
    return Busy(step, WaitAtReply(*env_.at_queue, step.timeout_s, ContainsMatcher(step.reply),
                                  at_log_, ctx_));
  }
  // A wait's result as the step takes it: one of its busy replies is an
  // attempt without a reply.
  int Busy(const ProfileStep& step, int wait);
  static std::string NoReplyTo(const ProfileStep& step) {
    return "no reply to " + CommandName(step.command);
  }
  // Ends the test because the module refused `command` with ctx_.refusal:
  // the command, the reply and what to do.
  bool Refused(const std::string& command);
  // A pause of the worker; ends early only when the program is ending.
  void Pause(DWORD ms) {
    platform::SleepUnless(*env_.clock, ms,
                          [this] { return ctx_.ShuttingDown() || ctx_.PortLost(); });
  }
  bool Ending() const { return ctx_.ShuttingDown(); }
  // Records why the test ends; returns false for the caller to pass on.
  bool EndBecause(const std::string& why) {
    end_reason_ = why;
    return false;
  }
  void Box(const char* text) {
    if (!Ending() && env_.host)
      env_.host->ShowMessage(text);
  }
  void Phase(unsigned n, RunPhase p) {
    if (env_.host)
      env_.host->OnPhase(n, p);
  }
  std::FILE* OpenLog(const std::string& path);

  TestEngine& e_;
  EngineEnvironment& env_;
  const ModuleProfile& p_;
  WaitContext ctx_;
  TtffClock ttff_;
  TestStatistics stats_{};
  std::vector<float> durations_;
  int failures_ = 0;
  unsigned recorded_ = 0;
  std::FILE* nmea_log_ = nullptr;
  std::FILE* at_log_ = nullptr;
  std::FILE* result_log_ = nullptr;
  TestLogPaths paths_;
  std::string stem_path_;  // the logs' path without "_result_log.txt"
  TestReport report_;
  std::string end_reason_ = "completed";
  bool completed_ = false;
  bool decided_ = false;        // stop_when_decided and the verdict is decided
  bool xtra_injected_ = false;  // in the run in progress
  bool reset_refused_ = false;  // in the run in progress
  unsigned recorded_run_ = 0;   // the last run with a result
  std::string start_time_;      // of the run in progress; empty before its start
  std::string fix_rule_name_;   // the test's rule; the default when the host named none
  std::unique_ptr<FixRule> fix_rule_;
  std::unique_ptr<timeline::RunTimeline> timeline_;
  bool first_nmea_known_ = false;  // of the run in progress
  unsigned timeline_run_ = 0;      // the run timeline_ is of
  RunRecord pending_;              // the last run filed
  Identity identity_;              // the replies at the start of the test
  // Refusals that do not end the test (an identity command, the XTRA clock or
  // time), told once GNSS runs: a test that ends on a refusal says enough.
  std::vector<std::string> untold_refusals_;
  void TellRefusals();
};
