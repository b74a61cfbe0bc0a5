// The worker's exchanges with the module: the set-up and identity commands
// of a test, and the query, stop, delete and XTRA steps of a run.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "config/app_config.h"
#include "engine/worker.h"
#include "profiles/bundled_profiles.h"

namespace {

constexpr unsigned kIdentityWaitS = 10;
constexpr DWORD kPauseAfterStopMs = 10000;
constexpr DWORD kPauseBetweenDeletesMs = 5000;
constexpr DWORD kPauseBetweenXtraMs = 2000;

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

bool TestEngine::Worker::QueryAndFirstStop(unsigned n) {
  Phase(n, RunPhase::Query);
  bool stop_needed = false;
  if (p_.query.Present()) {
    const std::string name = CommandName(p_.query.command);
    GnssStateMatcher matcher(p_.reply_off, p_.reply_on, p_.query.reply);
    for (int attempt = 1;; ++attempt) {
      Write(p_.query.command);
      const int wait =
          Busy(p_.query, WaitGnssState(*env_.at_queue, p_.query.timeout_s, matcher, at_log_, ctx_));
      if (wait == kWaitAnswered) {
        // Answered only after a repeat: go on without a first stop.
        stop_needed = attempt == 1 && matcher.m_bGnssOff == 0;
        break;
      }
      if (wait == kWaitRefused)
        return Refused(p_.query.command);
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
    if (const int wait = WaitReply(p_.stop); wait != kWaitAnswered) {
      if (wait == kWaitRefused)
        return Refused(p_.stop.command);
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

bool TestEngine::Worker::DeleteAndXtra(unsigned n) {
  Phase(n, RunPhase::Delete);
  xtra_injected_ = false;
  const ProfileStep& del = p_.DeleteFor(e_.m_nRestartType);
  const bool xtra = env_.host && env_.host->IsImportXtraChecked();
  // This restart type has no delete (a power cycle is its own): XTRA alone.
  if (!del.Present() || PowerCycled()) {
    if (xtra) {
      Phase(n, RunPhase::Xtra);
      return Xtra();
    }
    return true;
  }
  for (int attempt = 0;;) {
    Write(del.command);
    const int wait = WaitReply(del);
    if (wait == kWaitRefused) {
      reset_refused_ = true;  // the stored data stays: this run is no such restart
      return false;
    }
    if (wait == kWaitAnswered) {
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

bool TestEngine::Worker::Xtra() {
  if (p_.clock.Present()) {
    Write(p_.clock.command);
    const ClockCapture capture{p_.clock_marker, p_.clock_rule == ClockRule::kCclk};
    const int clock = WaitClockReply(*env_.at_queue, p_.clock.timeout_s,
                                     ContainsMatcher(p_.clock.reply), at_log_, ctx_, capture);
    // Without the module's time XTRA goes on with its data, as without a reply.
    if (clock == kWaitRefused)
      untold_refusals_.push_back(RefusalSentence(p_.name, p_.clock.command, ctx_.refusal) +
                                 ". XTRA goes on without the module's time.");
    if (clock == kWaitAnswered && p_.xtra_time.Present()) {
      const std::string time = FillXtraTime(p_.xtra_time.command, g_strXtraTime,
                                            static_cast<unsigned>(g_config.GetUncrtn()));
      Write(time);
      // Its outcome is not used, but a refusal says the profile is wrong.
      if (WaitReply(p_.xtra_time) == kWaitRefused)
        untold_refusals_.push_back(RefusalSentence(p_.name, time, ctx_.refusal) +
                                   ". XTRA goes on with its data.");
    }
  }
  const std::string data = XtraDataCommand(p_, g_config.GetImportXtraCmd());
  if (data.empty())
    return true;  // the profile has no XTRA data command
  for (int attempt = 0; attempt < p_.xtra_data.attempts; ++attempt) {
    Write(data);
    const int wait =
        Busy(p_.xtra_data, WaitAtReply(*env_.at_queue, p_.xtra_data.timeout_s,
                                       ContainsMatcher(p_.xtra_data.reply), at_log_, ctx_));
    if (wait == kWaitAnswered) {
      xtra_injected_ = true;
      return true;
    }
    if (wait == kWaitRefused)
      return Refused(data);
    if (Ending())
      return EndBecause("program ending");
    if (Lost())
      return false;
    Pause(kPauseBetweenXtraMs);
  }
  Box(kXtraTimeoutBox);
  return EndBecause("no reply to the XTRA data command");
}

bool TestEngine::Worker::SetUpModule() {
  if (!SendSetup())
    return false;
  identity_ = ReadIdentity();
  report_.SetModule(identity_, p_.name);
  return true;
}

bool TestEngine::Worker::SendSetup() {
  for (const ProfileStep& step : p_.setup) {
    Write(step.command);
    const int wait = WaitReply(step);
    if (wait == kWaitRefused)
      return Refused(step.command);
    if (wait != kWaitAnswered)
      LOG_DEBUG((CommandName(step.command) + " timeout...\n").c_str());
  }
  return true;
}

TestEngine::Worker::Identity TestEngine::Worker::ReadIdentity() {
  Identity identity;
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
    const auto refusal = std::find_if(lines.begin(), lines.end(), IsRefusal);
    if (refusal != lines.end()) {  // no identity, but no reason to end the test
      untold_refusals_.push_back(RefusalSentence(p_.name, cmd, ReplyText(*refusal)) +
                                 ". The test goes on without that part of the module's identity.");
    }
    const bool known = answered && refusal == lines.end();
    identity.emplace_back(name, known ? IdentityText(name, lines) : std::string());
  }
  return identity;
}

void TestEngine::Worker::TellRefusals() {
  for (const std::string& sentence : untold_refusals_) {
    if (env_.host)
      env_.host->OnNotice(sentence);
  }
  untold_refusals_.clear();
}

bool TestEngine::Worker::SetUpAgain() {
  LOG_DEBUG("the set-up again after the reconnect\n");
  if (!SendSetup())
    return false;
  std::string changes;
  const Identity now = ReadIdentity();
  for (std::size_t i = 0; i < now.size() && i < identity_.size(); ++i) {
    if (now[i].second != identity_[i].second)
      changes += (changes.empty() ? "" : ", ") + now[i].first + " \"" + now[i].second +
                 "\" (was \"" + identity_[i].second + "\")";
  }
  if (!changes.empty() && env_.host)
    env_.host->OnNotice("the module that came back answers " + changes +
                        ": another module or firmware? The test goes on; check the bench.");
  return true;
}

int TestEngine::Worker::Busy(const ProfileStep& step, int wait) {
  if (wait != kWaitRefused || !step.IsBusy(ctx_.refusal))
    return wait;
  LOG_DEBUG((CommandName(step.command) + " busy (" + ctx_.refusal + ")...\n").c_str());
  return kWaitTimedOut;
}

bool TestEngine::Worker::Refused(const std::string& command) {
  const std::string name = CommandName(command);
  LOG_DEBUG((name + " refused: " + ctx_.refusal + "\n").c_str());
  return EndBecause(RefusalSentence(p_.name, command, ctx_.refusal));
}

bool TestEngine::Worker::RefusedReset(unsigned n, const std::string& command) {
  LOG_DEBUG((CommandName(command) + " refused: " + ctx_.refusal + ", run " + std::to_string(n) +
             " is no " + RestartTypeName(e_.m_nRestartType) + "\n")
                .c_str());
  ++failures_;
  RecordResult(n, false, 0.0, -1.0, kReasonResetRefused);
  if (const HookEnd end =
          RunHooks(hooks::Moment::AfterRun, n, {std::nullopt, "FAIL", kReasonResetRefused});
      end != HookEnd::kGo)
    return EndAfterHooks(n, end);
  Phase(n, RunPhase::ClosingPause);
  Pause(kClosingPauseMs);
  env_.at_queue->Clear();  // an "OK" that followed the refusal
  stats_.nRuntimes = static_cast<int>(n);
  return !Lost();
}

void TestEngine::Worker::AccountInterruptedRun(unsigned n) {
  if (recorded_run_ == n || (end_reason_ != "stopped" && end_reason_ != "program ending"))
    return;
  end_reason_ = "stopped";
  ++failures_;
  RecordResult(n, false, 0.0, -1.0, kReasonStopped);
}

bool TestEngine::Worker::RecoverLostPort(unsigned n) {
  LOG_DEBUG(("port lost in run " + std::to_string(n) + "\n").c_str());
  if (recorded_run_ != n) {
    ++failures_;
    RecordResult(n, false, 0.0, -1.0, kReasonPortLost);
  }
  stats_.nRuntimes = static_cast<int>(n);
  if (env_.test.reconnect_s == 0)
    return EndBecause("port lost");
  if (n >= e_.m_nTimes)
    return true;  // that was the last run: nothing to reconnect for
  Phase(n, RunPhase::Reconnect);
  const bool back = env_.host && env_.host->ReconnectPorts(env_.test.reconnect_s, [this] {
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
  // A module that reset itself has forgotten its set-up (NMEA output, port).
  return SetUpAgain();
}
