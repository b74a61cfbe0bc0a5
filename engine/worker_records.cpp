// What the worker records: the test's files and conditions, each run's
// result, its timeline and its CSV row, and the statistics at the end.
#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

#include "config/app_config.h"
#include "engine/space_estimate.h"
#include "engine/ttff_key.h"
#include "engine/worker.h"
#include "fix_rules/registry.h"
#include "platform/free_space.h"
#include "platform/host_name.h"
#include "profiles/module_commands.h"
#include "stats/statistics_output.h"

std::FILE* TestEngine::Worker::OpenLog(const std::string& path) {
  std::FILE* fp = std::fopen(path.c_str(), "w");
  platform::TrackFile(fp, path);
  if (!fp) {
    if (env_.host)
      env_.host->OnLogFailure(path);
    Box(kFopenFailedBox);
  }
  return fp;
}

void TestEngine::Worker::OpenTest() {
  WarnWhenSpaceIsShort();
  const std::string stem = UniqueTestStem(env_.day_dir, FormatTimeOfDay(*env_.clock));
  paths_ = MakeTestLogPaths(env_.day_dir, stem);
  nmea_log_ = OpenLog(paths_.nmea);
  at_log_ = OpenLog(paths_.at);
  result_log_ = OpenLog(paths_.result);
  WriteLog(result_log_, kResultLogHeader);
  stem_path_ = paths_.result.substr(0, paths_.result.size() - 15);  // "_result_log.txt"
  const std::string& base = stem_path_;
  fix_rule_name_ =
      fix_rules::IsKnown(env_.test.fix_rule) ? env_.test.fix_rule : fix_rules::kDefaultRule;
  fix_rule_ = fix_rules::Make(fix_rule_name_);
  timeline_ = std::make_unique<timeline::RunTimeline>(fix_rule_name_);
  report_.SetFixRule(fix_rule_name_);
  report_.SetReference(env_.test.reference);
  report_.SetRestartType(RecordedType());
  if (!report_.Open(base))
    LOG_DEBUG("cannot create the CSV report of the test\n");
  report_.SetTimeScale(env_.clock->Scale());
  report_.SetStatisticsOptions(
      {static_cast<double>(g_config.GetTimeout()), env_.test.confidence, env_.test.verdict_limits});
}

TestConditions TestEngine::Worker::Conditions() const {
  TestConditions c;
  c.restart_type = RestartTypeWord(RecordedType());
  c.xtra = env_.host && env_.host->IsImportXtraChecked();
  c.timeout_s = g_config.GetTimeout();
  c.runs_planned = e_.m_nTimes;
  c.fix_rule = fix_rule_name_;
  c.profile = p_.name.empty() ? "default" : p_.name;
  c.time_scale = env_.clock->Scale();
  c.tool_version = ZUVEK_VERSION;
  c.host = platform::HostName();
  c.started = FormatTimestamp(env_.clock->WallNow());
  c.plan = env_.test.plan;
  return c;
}

void TestEngine::Worker::StartRecording(const TestConditions& conditions) {
  if (!env_.result_sink)
    return;
  TestStartInfo info{TestKeyOf(conditions.host, stem_path_),
                     conditions,
                     RecordedType(),
                     report_.CsvPath(),
                     report_.Identity(),
                     ""};
  nlohmann::json settings = {
      {"timeout_s", g_config.GetTimeout()},     {"interval_sleep_s", g_config.GetIntervalSleep()},
      {"uncertainty_ms", g_config.GetUncrtn()}, {"xtra_command", g_config.GetImportXtraCmd()},
      {"reconnect_s", env_.test.reconnect_s},   {"confidence", env_.test.confidence}};
  if (env_.test.reference && !env_.test.reference->automatic)
    settings["reference"] = {env_.test.reference->position.lat_deg,
                             env_.test.reference->position.lon_deg};
  if (env_.test.verdict_limits)
    settings["limit_ttff_s"] = env_.test.verdict_limits->ttff_s;
  info.settings_json = settings.dump();
  env_.result_sink->OnTestStarted(info);
  report_.SetRunListener(
      [sink = env_.result_sink](const RunRecord& r, const RunFields& fields, bool amended) {
        if (amended)
          sink->OnRunAmended(r, fields);
        else
          sink->OnRunRecorded(r, fields);
      });
}

void TestEngine::Worker::RecordResult(unsigned n, bool fix, double duration, double precise,
                                      const char* reason, const std::string& fix_sentence,
                                      const std::optional<GeoPosition>& fix_position,
                                      const std::string& reset_suspect) {
  RunRecord& record = pending_;
  record = RunRecord{};
  record.run = n;
  record.success = fix;
  record.ttff_s = fix ? duration : 0.0;
  record.ttff_precise_s = precise;
  record.restart_type = RecordedType();
  record.xtra = xtra_injected_;
  record.start_time = start_time_;
  record.reason = reason;
  record.fix_sentence = fix ? fix_sentence : "";
  record.fix_position = fix_position;
  record.reset_suspect = reset_suspect;
  TakeTimeline(n, !fix);
  report_.Add(record);
  auto* result = new TestResult{fix, fix ? duration : 0.0, n, reset_suspect, reason};
  if (fix)
    durations_.push_back(static_cast<float>(duration));
  env_.target->Post(kMsgTestResult, reinterpret_cast<WPARAM>(result), 0,
                    [result] { delete result; });
  // A stopped run has no line: the result log counts it in "fail times".
  if (std::string_view(reason) != "stopped")
    WriteResultLine(fix ? 1 : 0, static_cast<int>(n), duration, result_log_);
  ++recorded_;
  recorded_run_ = n;
  TellVerdict(n);
}

void TestEngine::Worker::AmendAfterCapture(unsigned n, const std::vector<GeoPosition>& positions) {
  TakeTimeline(n, true);
  report_.Amend(pending_, positions);
}

void TestEngine::Worker::TakeTimeline(unsigned n, bool finished) {
  if (!timeline_ || timeline_run_ != n)
    return;
  if (!first_nmea_known_)
    timeline_->SetFirstNmeaStamp(env_.nmea_queue->FirstWatchedStamp());
  if (finished)
    timeline_->Finish();
  pending_.timeline = timeline_->Record();
}

void TestEngine::Worker::TellVerdict(unsigned n) {
  if (!env_.test.verdict_limits)
    return;
  const stats::TtffStatistics s = report_.Statistics();
  const bool decided = s.verdict && s.verdict->Current() != stats::Verdict::kUndecided;
  decided_ = decided_ || (env_.test.stop_when_decided && decided);
  if (env_.host)
    env_.host->OnVerdict(n, decided ? stats::VerdictLine(s) : std::string("UNDECIDED"));
}

void TestEngine::Worker::BeginTimeline(unsigned n, std::int64_t ok_stamp_us) {
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
  timeline_->SetSampleListener([this, host, n](std::int64_t ms, const timeline::SkySample& sky) {
    report_.AddSignal(n, ms, sky);
    if (host)
      host->OnSignalSample(n, ms, sky);
  });
  timeline_->Begin(ok_stamp_us);
}

void TestEngine::Worker::FeedTimeline(const std::string& line, std::int64_t stamp_us) {
  if (!first_nmea_known_) {
    // The first bytes came before this line was complete.
    if (const std::int64_t first = env_.nmea_queue->FirstWatchedStamp(); first > 0) {
      timeline_->SetFirstNmeaStamp(first);
      first_nmea_known_ = true;
    }
  }
  timeline_->Feed(line, stamp_us);
}

void TestEngine::Worker::WarnWhenSpaceIsShort() {
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

void TestEngine::Worker::EndTest() {
  // Its failure ends nothing more: told, as every hook's failure is.
  RunHooks(hooks::Moment::TestEnd, recorded_run_, {std::nullopt, end_reason_, ""});
  if (!durations_.empty()) {
    FillDurationStatistics(durations_, stats_);
    stats_.nFailTimes = failures_;
    WriteStatistics(stats_, result_log_);
  }
  report_.WriteSummary(failures_, completed_);
  if (env_.result_sink)
    env_.result_sink->OnTestEnded(FormatTimestamp(env_.clock->WallNow()), end_reason_,
                                  report_.SummaryJson(failures_, completed_));
  PublishOutcome();
  env_.target->Post(kMsgTestFinished);
  for (std::FILE** fp : {&nmea_log_, &at_log_, &result_log_}) {
    platform::CloseTrackedFile(*fp);
    *fp = nullptr;
  }
  e_.m_nRunState = 0;
  if (env_.host)
    env_.host->EnableSetupControls(true);
}

void TestEngine::Worker::PublishOutcome() {
  const std::vector<std::string> incomplete = platform::IncompleteOpenFiles();
  std::string summary = report_.SummaryJson(failures_, completed_);
  report_.Close();
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
  o.summary_json = std::move(summary);
}
