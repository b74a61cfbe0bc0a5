// A hook: a command the user gives, run by ZUVEK at a named moment of a test
// (a shell command, or a list of SCPI commands sent to an instrument), with
// its time-out and what its failure means.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace hooks {

// The moments, in the order a run meets them.
enum class Moment {
  TestStart,    // once, before the first run
  BeforeReset,  // each run, GNSS stopped, before the delete of its restart type
  PowerCycle,   // each run of a power-cycle test: cuts and restores the module's power
  AfterStart,   // each run, once the start command was answered ("OK")
  AtFix,        // each run with a fix, the moment it is found
  AfterRun,     // each run, once its result is filed (and the NMEA after a fix logged)
  TestEnd,      // once, after the last run, before the statistics are written
};
inline constexpr Moment kMoments[] = {Moment::TestStart,  Moment::BeforeReset, Moment::PowerCycle,
                                      Moment::AfterStart, Moment::AtFix,       Moment::AfterRun,
                                      Moment::TestEnd};

// "test-start", "before-reset", "power-cycle", "after-start", "at-fix",
// "after-run", "test-end".
const char* MomentName(Moment moment);
std::optional<Moment> MomentOfName(const std::string& name);
// "test-start, before-reset, ..." for sentences.
std::string MomentNamesText();

// What a hook's failure (an exit code other than 0, its time-out, a command
// that cannot start, an instrument's error) means.
enum class Policy {
  FailRun,  // the run in progress fails with the reason "hook failed"
  EndTest,  // the run in progress (if any) fails so, and the test ends
  Note,     // told, and the test goes on
};
const char* PolicyName(Policy policy);  // "fail-run", "end-test", "note"
std::optional<Policy> PolicyOfName(const std::string& name);
// Whether the policy can be had at the moment: a run can only be failed
// before its result is filed (before-reset, power-cycle, after-start, at-fix).
bool PolicyFits(Policy policy, Moment moment);
// The default policy at a moment: fail-run where it fits, else end-test.
Policy DefaultPolicy(Moment moment);

inline constexpr unsigned kDefaultTimeoutS = 60;
inline constexpr unsigned kMaxTimeoutS = 86400;

struct Hook {
  std::string name;  // for the logs and the reason; the moment's name when not given
  Moment moment = Moment::TestStart;
  // A shell command (/bin/sh -c), or, when scpi is set, the SCPI commands
  // sent to the instrument at scpi ("HOST:PORT").
  std::string command;
  std::string scpi;
  std::vector<std::string> scpi_commands;
  unsigned timeout_s = kDefaultTimeoutS;  // seconds of the test's clock
  Policy policy = Policy::FailRun;

  bool IsScpi() const { return !scpi.empty(); }
  bool operator==(const Hook&) const = default;
};

using HookList = std::vector<Hook>;

// The hooks of a moment, in the order given.
HookList HooksAt(const HookList& hooks, Moment moment);
bool HasHookAt(const HookList& hooks, Moment moment);

// `higher` over `lower`, moment by moment: a moment that has hooks in
// `higher` keeps only those; the others keep `lower`'s.
HookList MergeHooks(const HookList& lower, const HookList& higher);

// One line for people: "before-reset  attenuator: atten-set 30 (time-out
// 60 s, on failure fail-run)"; an SCPI hook names its instrument and commands.
std::string DescribeHook(const Hook& hook);

// "MOMENT=COMMAND" (the command line's --hook): a shell hook with the
// defaults, named by its moment; nullopt and a sentence when it is not.
std::optional<Hook> ParseHookArgument(const std::string& text, std::string* error);

}  // namespace hooks
