// The run loop of a test and the phases of one run.
#include <string>
#include <vector>

#include "config/app_config.h"
#include "engine/reset_check.h"
#include "engine/worker.h"
#include "fix_rules/registry.h"

namespace {

constexpr DWORD kPauseBeforeStartMs = 5000;

}  // namespace

TestEngine::Worker::Worker(TestEngine& engine)
    : e_(engine),
      env_(engine.env_),
      p_(env_.test.profile ? *env_.test.profile : DefaultProfile()),
      ctx_{*env_.clock, &engine.shutdown_},
      ttff_(*env_.clock) {}

void TestEngine::Worker::Execute() {
  // Worker start.
  unsigned counter = 0;
  bExitThread = 0;
  env_.target->Post(kMsgTestStarted);
  OpenTest();
  if (env_.host)
    env_.host->OnTestFiles(paths_.result, report_.CsvPath(), report_.SummaryPath());
  const TestConditions conditions = Conditions();
  report_.SetConditions(conditions);
  // The summary from the start: a test killed before its first run still
  // says where and when it ran.
  report_.WriteSummary(0, false);
  env_.at_queue->Clear();
  // A lost port ends every wait and pause at once: the run in progress is
  // failed as "port lost" and, without reconnection, the test ends.
  ctx_.port_lost = env_.port_lost;
  const HookEnd start = RunHooks(hooks::Moment::TestStart, 0);
  if (start != HookEnd::kGo)
    EndAfterHooks(0, start);
  const bool set_up = start == HookEnd::kGo && SetUpModule();
  StartRecording(conditions);

  while (set_up) {
    const unsigned previous = counter++;
    if (TestIsOver(previous))
      break;
    if (OneRun(counter) || (!Ending() && Lost() && RecoverLostPort(counter)))
      continue;
    if (bExitThread.load() != 0)
      AccountInterruptedRun(counter);
    break;
  }
  EndTest();
}

bool TestEngine::Worker::TestIsOver(unsigned previous) {
  if (previous >= e_.m_nTimes || bExitThread.load() != 0 || decided_) {
    if (bExitThread.load() != 0 && previous < e_.m_nTimes)
      end_reason_ = "stopped";
    else if (decided_ && previous < e_.m_nTimes)
      end_reason_ = "verdict decided";
    // Every run made: complete, even when a Stop came in the last run's
    // capture or closing pause.
    completed_ = previous >= e_.m_nTimes || (decided_ && bExitThread.load() == 0);
    return true;
  }
  if (Ending()) {
    end_reason_ = "program ending";
    return true;
  }
  return false;
}

bool TestEngine::Worker::OneRun(unsigned n) {
  start_time_.clear();
  reset_refused_ = false;
  WriteRunSeparator(nmea_log_, at_log_, n);
  if (!QueryAndFirstStop(n))
    return false;
  if (const HookEnd end = RunHooks(hooks::Moment::BeforeReset, n); end != HookEnd::kGo)
    return AfterHookEnd(n, end, false);
  if (PowerCycled()) {
    if (const std::optional<bool> over = PowerCycle(n))
      return *over;
  }
  if (!DeleteAndXtra(n))
    return reset_refused_ && RefusedReset(n, p_.DeleteFor(e_.m_nRestartType).command);
  std::int64_t ok_stamp = 0;
  if (!StartGnss(n, &ok_stamp))
    return reset_refused_ && RefusedReset(n, p_.StartFor(e_.m_nRestartType).command);
  if (const HookEnd end = RunHooks(hooks::Moment::AfterStart, n); end != HookEnd::kGo)
    return AfterHookEnd(n, end, true);

  Phase(n, RunPhase::FixWait);
  TellRefusals();
  const FixWaitEnd end = WaitFix(ok_stamp);
  if (!end.fix && !AfterNoFix(p_.StartFor(e_.m_nRestartType)))
    return false;
  // A fix found as Stop came is kept: the Stop then ends its capture, and
  // the test ends before the next run.
  if (!end.fix && bExitThread.load() != 0) {
    LOG_DEBUG("bExitThread = true, exit thread.\n");
    return EndBecause("stopped");
  }
  if (end.fix) {
    if (const HookEnd hook = RunHooks(hooks::Moment::AtFix, n, {end.duration, "SUCC", ""});
        hook != HookEnd::kGo)
      return AfterHookEnd(n, hook, true);
  }
  RecordAndCapture(n, end);
  return TidyAndStop(n);
}

bool TestEngine::Worker::StartGnss(unsigned n, std::int64_t* ok_stamp) {
  Phase(n, RunPhase::Pause);
  Pause(kPauseBeforeStartMs);
  env_.nmea_queue->Clear();

  Phase(n, RunPhase::Start);
  // A power-cycled module starts from what its power left it: the common start.
  const ProfileStep& start = PowerCycled() ? p_.GnssOn() : p_.StartFor(e_.m_nRestartType);
  for (int attempt = 1;; ++attempt) {
    Write(start.command);
    const int wait = WaitReply(start);
    if (wait == kWaitAnswered)
      break;
    if (wait == kWaitRefused) {
      // A start of the restart type's own is its reset; the common one is
      // not, nor the start after a power cycle, whichever the profile has.
      reset_refused_ = !PowerCycled() && &start != &p_.start;
      return reset_refused_ ? false : Refused(start.command);
    }
    if (Ending())
      return EndBecause("program ending");
    if (Lost())
      return false;
    if (attempt >= start.attempts) {
      Box(kAtTimeoutBox);
      return EndBecause(NoReplyTo(start));
    }
  }
  *ok_stamp = ctx_.matched_stamp_us;
  start_time_ = FormatTimestamp(env_.clock->WallNow());
  ttff_.Restart();
  env_.target->Send(kMsgClearPosition);
  BeginTimeline(n, *ok_stamp);
  return true;
}

TestEngine::Worker::FixWaitEnd TestEngine::Worker::WaitFix(std::int64_t ok_stamp) {
  FixWaitEnd end;
  FirstEpochWatch first_epoch;
  FixWaitObservers observers;
  observers.line = [this, &first_epoch](const std::string& line, std::int64_t stamp) {
    first_epoch.Feed(line);
    FeedTimeline(line, stamp);
  };
  // The fix epoch's GSA and GSV usually follow the fix line in its batch.
  observers.after_fix = [this](const std::string& line, std::int64_t stamp) {
    FeedTimeline(line, stamp);
  };
  end.fix = WaitForFix(*env_.nmea_queue, static_cast<unsigned>(g_config.GetTimeout()), *fix_rule_,
                       nmea_log_, ctx_, &end.sentence, &end.line, observers) == 0;
  if (end.fix) {
    end.duration = ttff_.Elapsed();
    if (ok_stamp > 0 && ctx_.matched_stamp_us >= ok_stamp)
      end.precise = static_cast<double>(ctx_.matched_stamp_us - ok_stamp) / 1e6;
  }
  end.used_in_first_epoch = first_epoch.UsedInFirstEpoch();
  return end;
}

bool TestEngine::Worker::AfterNoFix(const ProfileStep& start) {
  if (Ending() && bExitThread.load() == 0)
    return EndBecause("program ending");  // not a failure of the receiver: the program is closing
  if (Lost())
    return false;  // recorded as "port lost"
  LOG_DEBUG((CommandName(start.command) + " timeout...\n").c_str());
  if (bExitThread.load() == 0)
    ++failures_;  // a stopped run is counted when it is accounted for
  return true;
}

void TestEngine::Worker::RecordAndCapture(unsigned n, const FixWaitEnd& end) {
  Phase(n, RunPhase::Record);
  const std::string suspect = ResetSuspicion(RecordedType(), end.fix, end.duration,
                                             end.used_in_first_epoch, env_.test.reset_thresholds);
  if (!suspect.empty())
    LOG_DEBUG(("run " + std::to_string(n) + ": reset suspect, " + suspect + "\n").c_str());
  RecordResult(n, end.fix, end.duration, end.precise, end.fix ? "" : "time-out", end.sentence,
               end.fix ? PositionOfSentence(end.line) : std::nullopt, suspect);
  if (!end.fix)
    return;
  Phase(n, RunPhase::Capture);
  std::vector<GeoPosition> positions;
  const bool keep_positions = env_.test.reference.has_value();
  CaptureNmea(*env_.nmea_queue, static_cast<unsigned>(g_config.GetIntervalSleep()), nmea_log_, ctx_,
              [&](const std::string& line, std::int64_t stamp) {
                FeedTimeline(line, stamp);
                if (!keep_positions)
                  return;
                if (auto p = PositionOfSentence(line))
                  positions.push_back(*p);
              });
  AmendAfterCapture(n, positions);
}

bool TestEngine::Worker::TidyAndStop(unsigned n) {
  const RunRecord& filed = pending_;
  const HookFacts facts{filed.success ? std::optional<double>(filed.ttff_s) : std::nullopt,
                        filed.success ? "SUCC" : "FAIL", filed.reason};
  if (const HookEnd end = RunHooks(hooks::Moment::AfterRun, n, facts); end != HookEnd::kGo)
    return EndAfterHooks(n, end);
  Phase(n, RunPhase::Tidy);
  env_.target->Send(kMsgClearSatellites);
  const bool last = n == e_.m_nTimes || decided_;
  if (!last && env_.host)
    env_.host->ClearLiveViewAfterRun();

  if (!last && p_.stop.Present()) {
    Phase(n, RunPhase::Stop);
    Write(p_.stop.command);
    bool acknowledged = false;
    for (int i = 0; i < p_.stop.attempts && !acknowledged && !Lost(); ++i) {
      const int wait = WaitReply(p_.stop);
      if (wait == kWaitRefused)
        return Refused(p_.stop.command);
      acknowledged = wait == kWaitAnswered;
    }
    if (!acknowledged && Lost())
      return false;
    if (!acknowledged)
      return EndBecause(Ending() ? "program ending" : NoReplyTo(p_.stop));
  }

  Phase(n, RunPhase::ClosingPause);
  Pause(kClosingPauseMs);
  stats_.nRuntimes = static_cast<int>(n);
  return !Lost();
}
