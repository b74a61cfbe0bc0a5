#include "cli/plan_option.h"

#include <sstream>

#include "plans/plan_file.h"

namespace cli {

namespace {

template <class T>
std::string Text(const T& v) {
  std::ostringstream out;
  if constexpr (std::is_same_v<T, bool>)
    out << (v ? "true" : "false");
  else if constexpr (std::is_same_v<T, std::string>)
    out << '"' << v << '"';
  else
    out << v;
  return out.str();
}

// One of the plan's values for the option `option`: taken when the command
// line left the option out, else the command line's value wins, said
// (with the plan's value as `shown`, or as it is).
template <class T, class U>
void Take(const CLI::App& sub, const char* option, const char* key, const std::optional<T>& value,
          U& target, PlanApplied& applied, const std::string& shown = "") {
  if (!value)
    return;
  const CLI::Option* given = sub.get_option_no_throw(option);
  if (given && given->count() > 0) {
    const std::string text = std::is_same_v<T, bool> ? "" : " " + given->as<std::string>();
    applied.notes.push_back(std::string(option) + text +
                            " given on the command line wins over the plan's " + key + " = " +
                            (shown.empty() ? Text(*value) : shown));
    return;
  }
  target = static_cast<U>(*value);
}

}  // namespace

PlanApplied ApplyPlan(const CLI::App& sub, RunOptions& o) {
  PlanApplied applied;
  plans::TestPlanLoad load = plans::LoadTestPlan(o.plan);
  applied.problems = std::move(load.problems);
  if (!load.plan)
    return applied;
  const plans::TestPlan& p = *load.plan;
  applied.label = PlanLabel{p.name, p.source, p.file};
  applied.notes.push_back("test plan \"" + p.name + "\" (" + p.file + "), after " + p.source);
  Take(sub, "--restart", "restart", p.restart, o.restart, applied);
  Take(sub, "--xtra", "xtra", p.xtra, o.xtra, applied);
  Take(sub, "--runs", "runs", p.runs, o.runs, applied);
  Take(sub, "--timeout", "timeout", p.timeout_s, o.timeout, applied);
  Take(sub, "--fix", "fix_rule", p.fix_rule, o.fix_rule, applied);
  Take(sub, "--yield", "yield", p.yield, o.yield, applied);
  Take(sub, "--confidence", "confidence", p.confidence, o.confidence, applied);
  Take(sub, "--limit-error", "limit_error", p.limit_error_m, o.limit_error, applied);
  Take(sub, "--stop-when-decided", "attempts", p.stop_when_decided, o.stop_when_decided, applied,
       p.stop_when_decided.value_or(false) ? "\"until-decided\"" : "\"every-run\"");
  const bool had_limit = o.limit_option->count() > 0;
  Take(sub, "--limit-ttff", "limit_ttff", p.limit_ttff_s, o.limit_ttff, applied);
  o.limit_from_plan = !had_limit && p.limit_ttff_s.has_value();
  return applied;
}

}  // namespace cli
