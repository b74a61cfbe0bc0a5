#include "cli/cli_host.h"

#include <unistd.h>

#include "cli/run_events.h"
#include "platform/message_target.h"
#include "platform/working_folders.h"
#include "session/module_hub.h"
#include "session/port_reconnect.h"

CliHost::CliHost(ModuleHub& hub, platform::MessageTarget& target, const platform::Clock& clock,
                 unsigned runs, bool xtra, bool quiet)
    : hub_(hub),
      target_(target),
      clock_(clock),
      runs_(runs),
      xtra_(xtra),
      quiet_(quiet),
      tty_(isatty(STDERR_FILENO) == 1),
      test_start_us_(clock.MonotonicUs()) {}

void CliHost::EndLine() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (line_open_)
    std::fputs("\n", stderr);
  line_open_ = false;
}

void CliHost::Say(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (line_open_)
    std::fputs("\r\033[K", stderr);
  std::fprintf(stderr, "%s\n", text.c_str());
  line_open_ = false;
  if (tty_ && !quiet_)
    Draw();
}

void CliHost::ShowMessage(const std::string& text) {
  Say("zuvek-cli: " + text);
}

void CliHost::OnLogFailure(const std::string& path) {
  // Say why when the folder is the cause.
  const auto slash = path.rfind('/');
  const std::string why =
      slash == std::string::npos ? "" : FolderWriteProblem("The folder", path.substr(0, slash));
  Say("zuvek-cli: cannot create " + path + (why.empty() ? "" : ". " + why));
}

void CliHost::OnStorageProblem(const std::string& sentence) {
  Say("zuvek-cli: " + sentence);
}

bool CliHost::ReconnectPorts(unsigned seconds, const std::function<bool()>& cancelled) {
  Say("zuvek-cli: waiting up to " + std::to_string(seconds) + " s for the ports to come back");
  std::string why;
  if (::ReconnectPorts(hub_, target_, clock_, seconds, cancelled, &why)) {
    if (events_)
      events_->Emit("port", {{"up", true}, {"reconnected", true}});
    Say("zuvek-cli: the ports are back; the test goes on");
    return true;
  }
  if (!cancelled())
    Say("zuvek-cli: " + why + "; the test ends");
  return false;
}

void CliHost::ClearLiveViewAfterRun() {
  target_.Invoke([this] { hub_.OnRunEndReset(); });
}

void CliHost::OnPhase(unsigned run, RunPhase phase) {
  if (events_)
    events_->Phase(run, runs_, RunPhaseName(phase));
  std::lock_guard<std::mutex> lock(mutex_);
  run_ = run;
  phase_ = phase;
  if (tty_ && !quiet_)
    Draw();
}

void CliHost::OnResult(const TestResult& result) {
  const ResultRow row = FormatResultRow(result);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    (result.bSucc ? ok_ : fail_)++;
    last_ = result.bSucc ? row.duration + " s" : "FAIL";
  }
  if (events_) {
    nlohmann::json fields = {{"run", result.nTimes}, {"of", runs_}, {"ok", result.bSucc}};
    if (result.bSucc)
      fields["ttff_s"] = result.dDuration;
    else
      fields["reason"] = result.reason;
    if (!result.reset_suspect.empty())
      fields["reset_suspect"] = result.reset_suspect;
    events_->Emit("result", fields);
  }
  if (!quiet_) {
    Say("run " + row.times + "/" + std::to_string(runs_) + ": " + row.result +
        (result.bSucc ? " " + row.duration + " s" : "") +
        (result.reset_suspect.empty() ? "" : "  reset suspect: " + result.reset_suspect));
  }
}

void CliHost::OnVerdict(unsigned run, const std::string& text) {
  if (events_)  // "PASS after 14 runs (...)": its first word
    events_->Emit("verdict",
                  {{"run", run}, {"verdict", text.substr(0, text.find(' '))}, {"text", text}});
  // Through the loop, so that it follows the run's result line.
  if (!quiet_)
    target_.Invoke(
        [this, run, text] { Say("verdict after run " + std::to_string(run) + ": " + text); });
}

void CliHost::OnStartOk(unsigned run, std::int64_t ok_stamp_us) {
  std::lock_guard<std::mutex> lock(mutex_);
  run_clock_.Start(run, runs_, ok_stamp_us, clock_.MonotonicUs());
}

void CliHost::OnTimeline(unsigned run, timeline::TimelinePhase phase, std::int64_t ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  run_clock_.Reach(run, phase, ms);
  if (events_)
    events_->Timeline(run, phase, ms);
  if (tty_ && !quiet_)
    Draw();
}

void CliHost::Tick() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (tty_ && !quiet_ && run_ > 0)
    Draw();
}

void CliHost::Draw() {
  const auto secs = (clock_.MonotonicUs() - test_start_us_) / 1'000'000;
  char line[200];
  std::snprintf(line, sizeof line,
                "\r\033[Krun %u of %u  %-13s  %02lld:%02lld:%02lld  last %-10s  ok %d  fail %d",
                run_, runs_, RunPhaseName(phase_), static_cast<long long>(secs / 3600),
                static_cast<long long>(secs / 60 % 60), static_cast<long long>(secs % 60),
                last_.empty() ? "-" : last_.c_str(), ok_, fail_);
  std::string text = line;
  if (phase_ == RunPhase::FixWait || phase_ == RunPhase::Capture) {
    // "Run 3 of 10 · 00:12.4 since start\nfirst satellite 2.1 s · 2D 8.0 s":
    // its second line, the phases so far, on the progress line.
    const std::string clock = run_clock_.Text(clock_.MonotonicUs());
    if (const auto nl = clock.find('\n'); nl != std::string::npos)
      text += "  " + clock.substr(nl + 1);
  }
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  line_open_ = true;
}

void CliHost::OnTestFiles(const std::string& result_log, const std::string& csv,
                          const std::string& summary) {
  if (events_)
    events_->Emit("files", {{"result_log", result_log}, {"csv", csv}, {"summary", summary}});
}
