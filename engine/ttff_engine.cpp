#include "engine/ttff_engine.h"

#include "platform/host_name.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <nlohmann/json.hpp>
#include "config/app_config.h"
#include "engine/at_exchange.h"
#include "engine/fix_detection.h"
#include "engine/module_commands.h"
#include "engine/space_estimate.h"
#include "engine/ttff_report.h"
#include "fix_rules/registry.h"
#include "platform/free_space.h"
#include "platform/host_name.h"
#include "stats/statistics_output.h"
#include "timeline/run_timeline.h"

std::atomic<int> bExitThread{0};

namespace {

constexpr const char* kAtTimeoutBox = "AT command timeout!check will break";
constexpr const char* kXtraTimeoutBox = "AT(XTRA) command timeout!check will break";
constexpr const char* kFopenFailedBox = "fopen failed!";

constexpr unsigned kIdentityWaitS = 10;
constexpr DWORD kPauseAfterStopMs = 10000;
constexpr DWORD kPauseBetweenDeletesMs = 5000;
constexpr DWORD kPauseBetweenXtraMs = 2000;
constexpr DWORD kPauseBeforeStartMs = 5000;
constexpr DWORD kClosingPauseMs = 10000;

// The reply to an identity command as recorded: its lines without the
// command's echo, blank lines and the final "OK", joined by "\n".
std::string IdentityText(const std::string& name, const std::vector<std::string>& lines) {
  std::string text;
  for (std::string line : lines) {
    line = CommandName(line);
    if (line.empty() || line == name || line == module::kReplyOk)
      continue;
    text += (text.empty() ? "" : "\n") + line;
  }
  return text;
}

}  // namespace

const char* RunPhaseName(RunPhase phase) {
  switch (phase) {
    case RunPhase::Query:
      return "query";
    case RunPhase::FirstStop:
      return "first stop";
    case RunPhase::Delete:
      return "delete";
    case RunPhase::Xtra:
      return "XTRA";
    case RunPhase::Pause:
      return "pause";
    case RunPhase::Start:
      return "start";
    case RunPhase::FixWait:
      return "fix wait";
    case RunPhase::Record:
      return "record";
    case RunPhase::Capture:
      return "capture";
    case RunPhase::Tidy:
      return "tidy";
    case RunPhase::Stop:
      return "stop";
    case RunPhase::ClosingPause:
      return "closing pause";
    case RunPhase::Reconnect:
      return "reconnect";
  }
  return "?";
}

TestEngine::TestEngine(EngineEnvironment env) : env_(std::move(env)) {
  // The first lost write of every log, the engine's own and the program's.
  EngineHost* host = env_.host;
  previous_listener_ = platform::SetWriteFailureListener([host](const platform::WriteFailure& f) {
    if (host)
      host->OnStorageProblem(platform::WriteFailureSentence(f));
  });
}

TestEngine::~TestEngine() {
  RequestShutdown();
  Join();
  platform::SetWriteFailureListener(std::move(previous_listener_));
}

bool TestEngine::Start(int restart_type, unsigned times) {
  bool expected = false;
  if (times == 0 || !running_.compare_exchange_strong(expected, true))
    return false;
  if (worker_.joinable())
    worker_.join();  // the previous test's thread has ended
  m_nRestartType = restart_type;
  m_nTimes = times;
  shutdown_ = false;
  m_nRunState = 2;
  if (env_.host)
    env_.host->EnableSetupControls(false);
  worker_ = std::thread([this] { TestThreadProc(); });
  return true;
}

void TestEngine::Stop() {
  bExitThread = 1;
}

void TestEngine::RequestShutdown() {
  shutdown_ = true;
}

void TestEngine::Join() {
  if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id())
    worker_.join();
}

TestOutcome TestEngine::LastOutcome() const {
  std::lock_guard<std::mutex> lock(outcome_mutex_);
  return outcome_;
}

// One test's worker state and the steps of a run.
class TestEngine::Run {
 public:
  explicit Run(TestEngine& engine)
      : e_(engine),
        env_(engine.env_),
        p_(env_.profile ? *env_.profile : DefaultProfile()),
        ctx_{*env_.clock, &engine.shutdown_},
        ttff_(*env_.clock) {}

  void Execute();

 private:
  // Each returns false when the test has to end.
  bool OneRun(unsigned n);
  bool QueryAndFirstStop(unsigned n);
  bool DeleteAndXtra(unsigned n);
  bool Xtra();
  // Once per test: the profile's set-up commands, then its identity ones.
  void SetUpModule();
  void WarnWhenSpaceIsShort();
  void EndTest();
  // Records the run's result in the list and the result log; its CSV row
  // waits for FileRecord (after the capture, with the run's timeline).
  void Record(unsigned n, bool fix, double duration, double precise, const char* reason,
              const std::string& fix_sentence = {},
              const std::optional<GeoPosition>& fix_position = std::nullopt,
              const std::string& reset_suspect = {});
  // The recorded run into the CSV and the summary, and its verdict.
  void FileRecord(unsigned n);
  // The timeline of run n from its start's "OK" on.
  void BeginTimeline(unsigned n, std::int64_t ok_stamp_us);
  void FeedTimeline(const std::string& line, std::int64_t stamp_us);
  // A port was lost during run n: records the run when it has no result
  // yet and, unless it was the last, brings the ports back. False when the
  // test has to end.
  bool RecoverLostPort(unsigned n);
  // Only when lost ports are reconnected: a port is lost now.
  bool Lost() const { return ctx_.PortLost(); }

  void Write(const std::string& cmd) {
    if (env_.write_at)
      env_.write_at(cmd);
  }
  // One wait for the step's reply, with its time-out.
  int WaitReply(const ProfileStep& step) {
    return WaitAtReply(*env_.at_queue, step.timeout_s, ContainsMatcher(step.reply), at_log_, ctx_);
  }
  static std::string NoReplyTo(const ProfileStep& step) {
    return "no reply to " + CommandName(step.command);
  }
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
  std::FILE* OpenLog(const std::string& path) {
    std::FILE* fp = std::fopen(path.c_str(), "w");
    platform::TrackFile(fp, path);
    if (!fp) {
      if (env_.host)
        env_.host->OnLogFailure(path);
      Box(kFopenFailedBox);
    }
    return fp;
  }

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
  TestReport report_;
  std::string end_reason_ = "completed";
  bool completed_ = false;
  bool decided_ = false;        // stop_when_decided and the verdict is decided
  bool xtra_injected_ = false;  // in the run in progress
  unsigned reconnect_s_ = 0;    // 0: lost ports are not looked after
  unsigned recorded_run_ = 0;   // the last run with a result
  std::string start_time_;      // of the run in progress; empty before its start
  std::string fix_rule_name_;   // the test's rule; the default when the host named none
  std::unique_ptr<FixRule> fix_rule_;
  std::unique_ptr<timeline::RunTimeline> timeline_;
  bool first_nmea_known_ = false;  // of the run in progress
  unsigned timeline_run_ = 0;      // the run timeline_ is of
  RunRecord pending_;              // recorded, not yet in the CSV
};

void TestEngine::TestThreadProc() {
  {
    Run run(*this);
    run.Execute();
  }
  running_ = false;
}

void TestEngine::Run::Execute() {
  // Worker start.
  unsigned counter = 0;
  bExitThread = 0;
  env_.target->Post(kMsgTestStarted);
  WarnWhenSpaceIsShort();
  const std::string stem = UniqueTestStem(env_.day_dir, FormatTimeOfDay(*env_.clock));
  paths_ = MakeTestLogPaths(env_.day_dir, stem);
  nmea_log_ = OpenLog(paths_.nmea);
  at_log_ = OpenLog(paths_.at);
  result_log_ = OpenLog(paths_.result);
  WriteLog(result_log_, kResultLogHeader);
  const std::string base = paths_.result.substr(0, paths_.result.size() - 15);  // "_result_log.txt"
  fix_rule_name_ = fix_rules::IsKnown(env_.fix_rule) ? env_.fix_rule : fix_rules::kDefaultRule;
  fix_rule_ = fix_rules::Make(fix_rule_name_);
  timeline_ = std::make_unique<timeline::RunTimeline>(fix_rule_name_);
  report_.SetFixRule(fix_rule_name_);
  report_.SetReference(env_.reference);
  report_.SetRestartType(e_.m_nRestartType);
  if (!report_.Open(base))
    LOG_DEBUG("cannot create the CSV report of the test\n");
  report_.SetTimeScale(env_.clock->Scale());
  report_.SetStatisticsOptions(
      {static_cast<double>(g_config.GetTimeout()), env_.confidence, env_.verdict_limits});
  TestConditions conditions;
  {
    static const char* const kRestartNames[] = {"hot", "cold", "warm"};
    TestConditions c;
    c.restart_type = e_.m_nRestartType >= 0 && e_.m_nRestartType <= 2
                         ? kRestartNames[e_.m_nRestartType]
                         : std::to_string(e_.m_nRestartType);
    c.xtra = env_.host && env_.host->IsImportXtraChecked();
    c.timeout_s = g_config.GetTimeout();
    c.runs_planned = e_.m_nTimes;
    c.fix_rule = fix_rule_name_;
    c.profile = p_.name.empty() ? "default" : p_.name;
    c.time_scale = env_.clock->Scale();
    c.tool_version = ZUVEK_VERSION;
    c.host = platform::HostName();
    c.started = FormatTimestamp(env_.clock->Now());
    conditions = c;
    report_.SetConditions(std::move(c));
  }
  env_.at_queue->Clear();
  reconnect_s_ = env_.host ? env_.host->ReconnectSeconds() : 0;
  if (reconnect_s_ > 0)
    ctx_.port_lost = env_.port_lost;
  SetUpModule();
  if (env_.result_sink) {
    TestStartInfo info{conditions, e_.m_nRestartType, report_.CsvPath(), report_.Identity(), ""};
    nlohmann::json settings = {{"timeout_s", g_config.GetTimeout()},
                               {"interval_sleep_s", g_config.GetIntervalSleep()},
                               {"uncertainty_ms", g_config.GetUncrtn()},
                               {"xtra_command", g_config.GetImportXtraCmd()},
                               {"reconnect_s", reconnect_s_},
                               {"confidence", env_.confidence}};
    if (env_.reference && !env_.reference->automatic)
      settings["reference"] = {env_.reference->position.lat_deg, env_.reference->position.lon_deg};
    if (env_.verdict_limits)
      settings["limit_ttff_s"] = env_.verdict_limits->ttff_s;
    info.settings_json = settings.dump();
    env_.result_sink->OnTestStarted(info);
    report_.SetRowListener(
        [sink = env_.result_sink](const RunRecord& r, const std::string& header,
                                  const std::string& row) { sink->OnRunRecorded(r, header, row); });
  }

  for (;;) {
    const unsigned previous = counter++;
    if (previous >= e_.m_nTimes || bExitThread.load() != 0 || decided_) {
      if (bExitThread.load() != 0 && previous < e_.m_nTimes)
        end_reason_ = "stopped";
      else if (decided_ && previous < e_.m_nTimes)
        end_reason_ = "verdict decided";
      // Every run made: complete, even when a Stop came in the last run's
      // capture or closing pause.
      completed_ = previous >= e_.m_nTimes || (decided_ && bExitThread.load() == 0);
      break;
    }
    if (Ending()) {
      end_reason_ = "program ending";
      break;
    }
    if (!OneRun(counter) && !(!Ending() && Lost() && RecoverLostPort(counter)))
      break;
  }
  EndTest();
}

bool TestEngine::Run::OneRun(unsigned n) {
  start_time_.clear();
  WriteRunSeparator(nmea_log_, at_log_, n);
  if (!QueryAndFirstStop(n))
    return false;
  if (!DeleteAndXtra(n))
    return false;

  Phase(n, RunPhase::Pause);
  Pause(kPauseBeforeStartMs);
  env_.nmea_queue->Clear();

  Phase(n, RunPhase::Start);
  const ProfileStep& start = p_.StartFor(e_.m_nRestartType);
  for (int attempt = 1;; ++attempt) {
    Write(start.command);
    if (WaitReply(start) == 0)
      break;
    if (Ending())
      return EndBecause("program ending");
    if (Lost())
      return false;
    if (attempt >= start.attempts) {
      Box(kAtTimeoutBox);
      return EndBecause(NoReplyTo(start));
    }
  }
  const std::int64_t ok_stamp = ctx_.matched_stamp_us;
  start_time_ = FormatTimestamp(env_.clock->Now());
  ttff_.Restart();
  env_.target->Send(kMsgClearPosition);
  BeginTimeline(n, ok_stamp);

  Phase(n, RunPhase::FixWait);
  std::string fix_sentence, fix_line;
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
  const bool fix =
      WaitForFix(*env_.nmea_queue, static_cast<unsigned>(g_config.GetTimeout()), *fix_rule_,
                 nmea_log_, ctx_, &fix_sentence, &fix_line, observers) == 0;
  double duration = 0.0;
  double precise = -1.0;
  if (fix) {
    duration = ttff_.Elapsed();
    if (ok_stamp > 0 && ctx_.matched_stamp_us >= ok_stamp) {
      precise = static_cast<double>(ctx_.matched_stamp_us - ok_stamp) / 1e6;
    }
  } else if (Ending() && bExitThread.load() == 0) {
    // Not a failure of the receiver: the program is closing.
    return EndBecause("program ending");
  } else if (Lost()) {
    return false;  // recorded as "port lost"
  } else {
    ++failures_;
    LOG_DEBUG((CommandName(start.command) + " timeout...\n").c_str());
  }
  if (bExitThread.load() != 0) {
    LOG_DEBUG("bExitThread = true, exit thread.\n");
    return EndBecause("stopped");
  }

  Phase(n, RunPhase::Record);
  const std::string suspect = ResetSuspicion(e_.m_nRestartType, fix, duration,
                                             first_epoch.UsedInFirstEpoch(), env_.reset_thresholds);
  if (!suspect.empty())
    LOG_DEBUG(("run " + std::to_string(n) + ": reset suspect, " + suspect + "\n").c_str());
  Record(n, fix, duration, precise, fix ? "" : "time-out", fix_sentence,
         fix ? PositionOfSentence(fix_line) : std::nullopt, suspect);

  if (fix) {
    Phase(n, RunPhase::Capture);
    std::vector<GeoPosition> positions;
    const bool keep_positions = env_.reference.has_value();
    CaptureNmea(*env_.nmea_queue, static_cast<unsigned>(g_config.GetIntervalSleep()), nmea_log_,
                ctx_, [&](const std::string& line, std::int64_t stamp) {
                  FeedTimeline(line, stamp);
                  if (!keep_positions)
                    return;
                  if (auto p = PositionOfSentence(line))
                    positions.push_back(*p);
                });
    FileRecord(n);
    if (env_.reference)
      report_.AddCapture(positions);
  } else {
    FileRecord(n);
  }

  Phase(n, RunPhase::Tidy);
  env_.target->Send(kMsgClearSatellites);
  const bool last = n == e_.m_nTimes || decided_;
  if (!last && env_.host)
    env_.host->ClearLiveViewAfterRun();

  if (!last && p_.stop.Present()) {
    Phase(n, RunPhase::Stop);
    Write(p_.stop.command);
    bool acknowledged = false;
    for (int i = 0; i < p_.stop.attempts && !acknowledged && !Lost(); ++i)
      acknowledged = WaitReply(p_.stop) == 0;
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

void TestEngine::Run::Record(unsigned n, bool fix, double duration, double precise,
                             const char* reason, const std::string& fix_sentence,
                             const std::optional<GeoPosition>& fix_position,
                             const std::string& reset_suspect) {
  auto* result = new TestResult{fix, fix ? duration : 0.0, n, reset_suspect};
  if (fix)
    durations_.push_back(static_cast<float>(duration));
  env_.target->Post(kMsgTestResult, reinterpret_cast<WPARAM>(result), 0,
                    [result] { delete result; });
  WriteResultLine(fix ? 1 : 0, static_cast<int>(n), duration, result_log_);
  ++recorded_;
  recorded_run_ = n;
  RunRecord& record = pending_;
  record = RunRecord{};
  record.run = n;
  record.success = fix;
  record.ttff_s = fix ? duration : 0.0;
  record.ttff_precise_s = precise;
  record.restart_type = e_.m_nRestartType;
  record.xtra = xtra_injected_;
  record.start_time = start_time_;
  record.reason = reason;
  record.fix_sentence = fix ? fix_sentence : "";
  record.fix_position = fix_position;
  record.reset_suspect = reset_suspect;
}

void TestEngine::Run::FileRecord(unsigned n) {
  if (timeline_ && timeline_run_ == n) {
    if (!first_nmea_known_)
      timeline_->SetFirstNmeaStamp(env_.nmea_queue->FirstWatchedStamp());
    timeline_->Finish();
    pending_.timeline = timeline_->Record();
  }
  report_.Add(pending_);
  if (env_.verdict_limits) {
    const stats::TtffStatistics s = report_.Statistics();
    const bool decided = s.verdict && s.verdict->Current() != stats::Verdict::kUndecided;
    decided_ = decided_ || (env_.stop_when_decided && decided);
    if (env_.host)
      env_.host->OnVerdict(n, decided ? stats::VerdictLine(s) : std::string("UNDECIDED"));
  }
}

void TestEngine::Run::BeginTimeline(unsigned n, std::int64_t ok_stamp_us) {
  // The first NMEA byte: the stamp of the first append to the NMEA queue at
  // or after the "OK" (the queue still holds what came since), not the
  // stamp of the first whole line, which is that of its last byte.
  env_.nmea_queue->WatchFirstAppend(ok_stamp_us);
  first_nmea_known_ = false;
  timeline_run_ = n;
  if (env_.host)
    env_.host->OnStartOk(n, ok_stamp_us);
  EngineHost* host = env_.host;
  timeline_->SetPhaseListener([host, n](timeline::TimelinePhase phase, std::int64_t ms) {
    if (host)
      host->OnTimeline(n, phase, ms);
  });
  timeline_->SetSampleListener([this, n](std::int64_t ms, const timeline::SkySample& sky) {
    report_.AddSignal(n, ms, sky);
  });
  timeline_->Begin(ok_stamp_us);
}

void TestEngine::Run::FeedTimeline(const std::string& line, std::int64_t stamp_us) {
  if (!first_nmea_known_) {
    // The first bytes came before this line was complete.
    if (const std::int64_t first = env_.nmea_queue->FirstWatchedStamp(); first > 0) {
      timeline_->SetFirstNmeaStamp(first);
      first_nmea_known_ = true;
    }
  }
  timeline_->Feed(line, stamp_us);
}

bool TestEngine::Run::RecoverLostPort(unsigned n) {
  LOG_DEBUG(("port lost in run " + std::to_string(n) + "\n").c_str());
  if (recorded_run_ != n) {
    ++failures_;
    Record(n, false, 0.0, -1.0, "port lost");
    FileRecord(n);
  }
  stats_.nRuntimes = static_cast<int>(n);
  if (n >= e_.m_nTimes)
    return true;  // that was the last run: nothing to reconnect for
  Phase(n, RunPhase::Reconnect);
  const bool back = env_.host && env_.host->ReconnectPorts(reconnect_s_, [this] {
    return Ending() || bExitThread.load() != 0;
  });
  if (!back) {
    if (bExitThread.load() != 0)
      return EndBecause("stopped");
    return EndBecause(Ending() ? "program ending" : "port lost");
  }
  LOG_DEBUG("ports open again\n");
  env_.at_queue->Clear();
  env_.nmea_queue->Clear();
  return true;
}

bool TestEngine::Run::QueryAndFirstStop(unsigned n) {
  Phase(n, RunPhase::Query);
  bool stop_needed = false;
  if (p_.query.Present()) {
    const std::string name = CommandName(p_.query.command);
    GnssStateMatcher matcher(p_.reply_off, p_.reply_on, p_.query.reply);
    for (int attempt = 1;; ++attempt) {
      Write(p_.query.command);
      if (WaitGnssState(*env_.at_queue, p_.query.timeout_s, matcher, at_log_, ctx_) == 0) {
        // Answered only after a repeat: go on without a first stop.
        stop_needed = attempt == 1 && matcher.m_bGnssOff == 0;
        break;
      }
      if (Ending())
        return EndBecause("program ending");
      if (Lost())
        return false;
      if (attempt >= p_.query.attempts) {
        LOG_DEBUG((name + " timeout...finnaly\n").c_str());
        return EndBecause(NoReplyTo(p_.query));
      }
      LOG_DEBUG((name + " timeout...try again\n").c_str());
    }
  }

  if (stop_needed && p_.stop.Present()) {
    Phase(n, RunPhase::FirstStop);
    Write(p_.stop.command);
    if (WaitReply(p_.stop) != 0) {
      if (Ending())
        return EndBecause("program ending");
      if (Lost())
        return false;
      Box(kAtTimeoutBox);
      return EndBecause(NoReplyTo(p_.stop));
    }
    Pause(kPauseAfterStopMs);
  }
  if (Lost())
    return false;
  return !Ending() || EndBecause("program ending");
}

bool TestEngine::Run::DeleteAndXtra(unsigned n) {
  Phase(n, RunPhase::Delete);
  xtra_injected_ = false;
  const ProfileStep& del = p_.DeleteFor(e_.m_nRestartType);
  const bool xtra = env_.host && env_.host->IsImportXtraChecked();
  if (!del.Present()) {  // this restart type has no delete: XTRA alone
    if (xtra) {
      Phase(n, RunPhase::Xtra);
      return Xtra();
    }
    return true;
  }
  for (int attempt = 0;;) {
    Write(del.command);
    if (WaitReply(del) == 0) {
      if (env_.host && env_.host->IsImportXtraChecked()) {
        Phase(n, RunPhase::Xtra);
        if (!Xtra())
          return false;
      }
      break;
    }
    if (Ending())
      return EndBecause("program ending");
    if (Lost())
      return false;
    if (++attempt >= del.attempts) {
      LOG_DEBUG("at command timeout...\n");
      break;  // go on without XTRA
    }
    Pause(kPauseBetweenDeletesMs);
  }
  return true;
}

bool TestEngine::Run::Xtra() {
  if (p_.clock.Present()) {
    Write(p_.clock.command);
    const ClockCapture capture{p_.clock_marker, p_.clock_rule == ClockRule::kCclk};
    if (WaitClockReply(*env_.at_queue, p_.clock.timeout_s, ContainsMatcher(p_.clock.reply), at_log_,
                       ctx_, capture) == 0 &&
        p_.xtra_time.Present()) {
      Write(FillXtraTime(p_.xtra_time.command, g_strXtraTime,
                         static_cast<unsigned>(g_config.GetUncrtn())));
      WaitReply(p_.xtra_time);  // its outcome is not used
    }
  }
  const std::string data = XtraDataCommand(p_, g_config.GetImportXtraCmd());
  if (data.empty())
    return true;  // the profile has no XTRA data command
  for (int attempt = 0; attempt < p_.xtra_data.attempts; ++attempt) {
    Write(data);
    if (WaitAtReply(*env_.at_queue, p_.xtra_data.timeout_s, ContainsMatcher(p_.xtra_data.reply),
                    at_log_, ctx_) == 0) {
      xtra_injected_ = true;
      return true;
    }
    if (Ending())
      return EndBecause("program ending");
    if (Lost())
      return false;
    Pause(kPauseBetweenXtraMs);
  }
  Box(kXtraTimeoutBox);
  return EndBecause("no reply to the XTRA data command");
}

void TestEngine::Run::SetUpModule() {
  for (const ProfileStep& step : p_.setup) {
    Write(step.command);
    if (WaitReply(step) != 0)
      LOG_DEBUG((CommandName(step.command) + " timeout...\n").c_str());
  }
  std::vector<std::pair<std::string, std::string>> identity;
  for (const std::string& cmd : p_.identity) {
    Write(cmd);
    std::vector<std::string> lines;
    // Ends at "OK" or at an error reply, which is recorded as the answer.
    const ContainsMatcher ok(module::kReplyOk), error("ERROR");
    const bool answered = WaitReplyLines(
                              *env_.at_queue, kIdentityWaitS,
                              [&](const std::string& line) { return ok(line) || error(line); },
                              at_log_, ctx_, lines) == 0;
    const std::string name = CommandName(cmd);
    identity.emplace_back(name, answered ? IdentityText(name, lines) : std::string());
  }
  report_.SetModule(identity, p_.name);
}

void TestEngine::Run::WarnWhenSpaceIsShort() {
  SpaceNeed need;
  need.runs = e_.m_nTimes;
  need.timeout_s = static_cast<unsigned>(std::max(0, g_config.GetTimeout()));
  need.interval_s = static_cast<unsigned>(std::max(0, g_config.GetIntervalSleep()));
  need.nmea_bytes_per_s = env_.nmea_byte_rate ? env_.nmea_byte_rate() : 0.0;
  need.all_nmea_log_beside =
      !env_.nmea_log_dir.empty() && platform::SameFileSystem(env_.nmea_log_dir, env_.day_dir);
  const std::string warning = SpaceWarning(need, env_.day_dir, platform::MountPointOf(env_.day_dir),
                                           platform::FreeBytes(env_.day_dir));
  if (!warning.empty() && env_.host)
    env_.host->OnStorageProblem(warning);
}

void TestEngine::Run::EndTest() {
  if (!durations_.empty()) {
    FillDurationStatistics(durations_, stats_);
    stats_.nFailTimes = failures_;
    WriteStatistics(stats_, result_log_);
  }
  report_.WriteSummary(failures_, completed_);
  if (env_.result_sink)
    env_.result_sink->OnTestEnded(FormatTimestamp(env_.clock->Now()), end_reason_,
                                  report_.SummaryJson(failures_, completed_));
  const std::vector<std::string> incomplete = platform::IncompleteOpenFiles();
  report_.Close();
  {
    std::lock_guard<std::mutex> lock(e_.outcome_mutex_);
    TestOutcome& o = e_.outcome_;
    o.statistics = stats_;
    o.durations = durations_;
    o.failures = failures_;
    o.runs_recorded = recorded_;
    o.completed = completed_;
    o.end_reason = end_reason_;
    o.logs = paths_;
    o.csv_path = report_.CsvPath();
    o.summary_path = report_.SummaryPath();
    o.signal_path = report_.SignalPath();
    o.records = report_.Records();
    o.ttff_statistics = report_.Statistics();
    o.incomplete_files = incomplete;
  }
  env_.target->Post(kMsgTestFinished);
  for (std::FILE** fp : {&nmea_log_, &at_log_, &result_log_}) {
    platform::CloseTrackedFile(*fp);
    *fp = nullptr;
  }
  e_.m_nRunState = 0;
  if (env_.host)
    env_.host->EnableSetupControls(true);
}
