// The worker's hooks: the commands the user gave for the moments of a test,
// their environment and what their failures do to the run and the test;
// and the power cycle a power-cycle test makes of each run's reset.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/worker.h"
#include "hooks/hook_runner.h"

namespace {

// How long a power-cycle run waits for the ports to vanish once its hook
// has ended: a module behind a serial adapter that stays keeps its ports.
constexpr DWORD kPortLossWaitMs = 5000;

std::string TtffText(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", s);
  return text;
}

}  // namespace

std::vector<std::string> TestEngine::Worker::HookEnvironment(const hooks::Hook& hook, unsigned n,
                                                             const HookFacts& facts) const {
  const TestSettings& t = env_.test;
  const std::string folder = stem_path_.substr(0, stem_path_.rfind('/'));
  std::vector<std::string> env = {
      "ZUVEK_MOMENT=" + std::string(hooks::MomentName(hook.moment)),
      "ZUVEK_HOOK=" + hook.name,
      "ZUVEK_RUN=" + std::to_string(n),
      "ZUVEK_RUNS=" + std::to_string(e_.m_nTimes),
      "ZUVEK_RESTART=" + Conditions().restart_type,
      "ZUVEK_MODULE=" + t.module_name,
      "ZUVEK_AT_PORT=" + t.at_port,
      "ZUVEK_NMEA_PORT=" + t.nmea_port,
      "ZUVEK_TEST_DIR=" + folder,
      "ZUVEK_TEST_STEM=" + stem_path_,
      "ZUVEK_TTFF=" + (facts.ttff_s ? TtffText(*facts.ttff_s) : std::string()),
      "ZUVEK_RESULT=" + facts.result,
      "ZUVEK_REASON=" + facts.reason,
  };
  env.insert(env.end(), t.hook_environment.begin(), t.hook_environment.end());
  return env;
}

TestEngine::Worker::HookEnd TestEngine::Worker::RunHooks(hooks::Moment moment, unsigned n,
                                                         const HookFacts& facts) {
  const hooks::HookList at = hooks::HooksAt(env_.test.hooks, moment);
  for (const hooks::Hook& hook : at) {
    Phase(n, moment == hooks::Moment::PowerCycle ? RunPhase::PowerCycle : RunPhase::Hook);
    const std::string label = "hook " + hook.name + " (" + hooks::MomentName(moment) +
                              (n > 0 ? ", run " + std::to_string(n) : std::string()) + ")";
    LOG_DEBUG((label + " starts\n").c_str());
    const hooks::HookOutcome out =
        hooks::RunHook(hook, HookEnvironment(hook, n, facts), *env_.clock,
                       [this] { return Ending() || bExitThread.load() != 0; });
    for (const std::string& line : out.lines)
      LOG_DEBUG((label + ": " + line + "\n").c_str());
    if (out.cancelled)
      return HookEnd::kStopped;
    if (out.ok) {
      LOG_DEBUG((label + " ended well\n").c_str());
      continue;
    }
    const hooks::Policy policy = hook.policy;
    const char* consequence = policy == hooks::Policy::Note      ? "the test goes on"
                              : policy == hooks::Policy::EndTest ? "the test ends"
                                                                 : "the run fails";
    const std::string sentence = label + " failed: it " + out.failure + "; " + consequence + " (" +
                                 hooks::PolicyName(policy) + "). Its output is in the debug log.";
    LOG_DEBUG((sentence + "\n").c_str());
    if (env_.host)
      env_.host->OnNotice(sentence);
    if (policy == hooks::Policy::Note)
      continue;
    failed_hook_ = hook.name;
    return policy == hooks::Policy::EndTest ? HookEnd::kEndTest : HookEnd::kFailRun;
  }
  return HookEnd::kGo;
}

bool TestEngine::Worker::EndAfterHooks(unsigned n, HookEnd end) {
  if (end == HookEnd::kStopped)
    return EndBecause(Ending() && bExitThread.load() == 0 ? "program ending" : "stopped");
  stats_.nRuntimes = static_cast<int>(n);
  return EndBecause(std::string(kReasonHookFailed) + ": " + failed_hook_);
}

bool TestEngine::Worker::AfterHookEnd(unsigned n, HookEnd end, bool gnss_started) {
  if (end == HookEnd::kStopped)
    return EndAfterHooks(n, end);
  ++failures_;
  RecordResult(n, false, 0.0, -1.0, (std::string(kReasonHookFailed) + ": " + failed_hook_).c_str());
  if (end == HookEnd::kEndTest)
    return EndAfterHooks(n, end);
  if (gnss_started)
    return TidyAndStop(n);
  const HookEnd after =
      RunHooks(hooks::Moment::AfterRun, n, {std::nullopt, "FAIL", pending_.reason});
  if (after != HookEnd::kGo)
    return EndAfterHooks(n, after);
  Phase(n, RunPhase::ClosingPause);
  Pause(kClosingPauseMs);
  stats_.nRuntimes = static_cast<int>(n);
  return !Lost();
}

std::optional<bool> TestEngine::Worker::PowerCycle(unsigned n) {
  if (const HookEnd end = RunHooks(hooks::Moment::PowerCycle, n); end != HookEnd::kGo)
    return AfterHookEnd(n, end, false);
  // The module's ports vanish while its power is off (USB) and come back
  // under their names once it has booted.
  platform::SleepUnless(*env_.clock, kPortLossWaitMs, [this] { return Ending() || Lost(); });
  Phase(n, RunPhase::Reconnect);
  const unsigned wait_s = env_.test.reconnect_s > 0 ? env_.test.reconnect_s : kPowerCycleWaitS;
  const bool back = env_.host && env_.host->ReconnectPorts(wait_s, [this] {
    return Ending() || bExitThread.load() != 0;
  });
  if (!back) {
    if (bExitThread.load() != 0 || Ending())
      return EndBecause(Ending() && bExitThread.load() == 0 ? "program ending" : "stopped");
    ++failures_;
    RecordResult(n, false, 0.0, -1.0, kReasonPortLost);
    stats_.nRuntimes = static_cast<int>(n);
    return EndBecause("port lost");
  }
  LOG_DEBUG("ports open again after the power cycle\n");
  env_.at_queue->Clear();
  env_.nmea_queue->Clear();
  if (!SetUpAgain())
    return false;
  return std::nullopt;
}
