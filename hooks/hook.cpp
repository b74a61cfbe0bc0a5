#include "hooks/hook.h"

#include <algorithm>
#include <iterator>

namespace hooks {

namespace {

constexpr const char* kMomentNames[] = {"test-start", "before-reset", "power-cycle", "after-start",
                                        "at-fix",     "after-run",    "test-end"};
constexpr const char* kPolicyNames[] = {"fail-run", "end-test", "note"};

}  // namespace

const char* MomentName(Moment moment) {
  return kMomentNames[static_cast<int>(moment)];
}

std::optional<Moment> MomentOfName(const std::string& name) {
  for (Moment m : kMoments)
    if (name == MomentName(m))
      return m;
  return std::nullopt;
}

std::string MomentNamesText() {
  std::string text;
  for (Moment m : kMoments)
    text += (text.empty() ? "" : ", ") + std::string(MomentName(m));
  return text;
}

const char* PolicyName(Policy policy) {
  return kPolicyNames[static_cast<int>(policy)];
}

std::optional<Policy> PolicyOfName(const std::string& name) {
  for (Policy p : {Policy::FailRun, Policy::EndTest, Policy::Note})
    if (name == PolicyName(p))
      return p;
  return std::nullopt;
}

bool PolicyFits(Policy policy, Moment moment) {
  if (policy != Policy::FailRun)
    return true;
  return moment == Moment::BeforeReset || moment == Moment::PowerCycle ||
         moment == Moment::AfterStart || moment == Moment::AtFix;
}

Policy DefaultPolicy(Moment moment) {
  return PolicyFits(Policy::FailRun, moment) ? Policy::FailRun : Policy::EndTest;
}

HookList HooksAt(const HookList& hooks, Moment moment) {
  HookList at;
  std::copy_if(hooks.begin(), hooks.end(), std::back_inserter(at),
               [moment](const Hook& h) { return h.moment == moment; });
  return at;
}

bool HasHookAt(const HookList& hooks, Moment moment) {
  return std::any_of(hooks.begin(), hooks.end(),
                     [moment](const Hook& h) { return h.moment == moment; });
}

HookList MergeHooks(const HookList& lower, const HookList& higher) {
  HookList merged;
  for (Moment m : kMoments) {
    const HookList& from = HasHookAt(higher, m) ? higher : lower;
    for (const Hook& h : from)
      if (h.moment == m)
        merged.push_back(h);
  }
  return merged;
}

std::string DescribeHook(const Hook& hook) {
  std::string what = hook.command;
  if (hook.IsScpi()) {
    what = "SCPI to " + hook.scpi + ":";
    for (const std::string& c : hook.scpi_commands)
      what += " " + c + ";";
    what.pop_back();
  }
  return std::string(MomentName(hook.moment)) + "  " + hook.name + ": " + what + " (time-out " +
         std::to_string(hook.timeout_s) + " s, on failure " + PolicyName(hook.policy) + ")";
}

std::optional<Hook> ParseHookArgument(const std::string& text, std::string* error) {
  const auto eq = text.find('=');
  const std::string name = text.substr(0, eq);
  const auto moment = MomentOfName(name);
  if (eq == std::string::npos || !moment || eq + 1 >= text.size()) {
    if (error)
      *error = "--hook " + text + ": give MOMENT=COMMAND, the moment one of " + MomentNamesText();
    return std::nullopt;
  }
  Hook hook;
  hook.name = name;
  hook.moment = *moment;
  hook.command = text.substr(eq + 1);
  hook.policy = DefaultPolicy(*moment);
  return hook;
}

}  // namespace hooks
