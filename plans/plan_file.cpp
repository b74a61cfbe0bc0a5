#include "plans/plan_file.h"

#include <toml++/toml.h>
#include <cmath>
#include <sstream>

#include "config/config_checks.h"
#include "config/toml_text.h"
#include "fix_rules/registry.h"
#include "platform/file_reads.h"

namespace plans {

namespace {

using Why = std::optional<std::string>;

Why Text(const toml::node& n, std::string& out) {
  const auto v = n.value_exact<std::string>();
  if (!v || v->empty())
    return "must be a quoted text, not empty";
  out = *v;
  return std::nullopt;
}

template <class T>
Why Whole(const toml::node& n, std::optional<T>& out, std::int64_t min, std::int64_t max) {
  const auto v = n.value_exact<std::int64_t>();
  if (!v || *v < min || *v > max)
    return "must be a whole number from " + std::to_string(min) + " to " + std::to_string(max);
  out = static_cast<T>(*v);
  return std::nullopt;
}

Why Number(const toml::node& n, std::optional<double>& out, double min, double max) {
  const auto v = n.value<double>();  // a whole number is a number too
  if (!v || !std::isfinite(*v) || *v < min || *v > max) {
    std::ostringstream why;
    why << "must be a number from " << min << " to " << max;
    return why.str();
  }
  out = *v;
  return std::nullopt;
}

Why OneOf(const toml::node& n, std::optional<std::string>& out,
          std::initializer_list<const char*> words) {
  const auto v = n.value_exact<std::string>();
  std::string list;
  for (const char* w : words) {
    if (v && *v == w) {
      out = *v;
      return std::nullopt;
    }
    list += std::string(list.empty() ? "\"" : ", \"") + w + "\"";
  }
  return "must be one of " + list;
}

Why Switch(const toml::node& n, std::optional<bool>& out) {
  const auto v = n.value_exact<bool>();
  if (!v)
    return "must be true or false";
  out = *v;
  return std::nullopt;
}

Why Attempts(const toml::node& n, TestPlan& p) {
  std::optional<std::string> word;
  if (Why why = OneOf(n, word, {"every-run", "until-decided"}))
    return why;
  p.stop_when_decided = *word == "until-decided";
  return std::nullopt;
}

Why FixRule(const toml::node& n, TestPlan& p) {
  const auto v = n.value_exact<std::string>();
  if (!v || !fix_rules::IsKnown(*v))
    return "must be one of " + fix_rules::KnownNamesText();
  p.fix_rule = *v;
  return std::nullopt;
}

struct PlanKey {
  const char* name;
  Why (*take)(const toml::node&, TestPlan&);
};

// The keys of a plan, each read into the plan (a sentence when wrong).
const PlanKey kKeys[] = {
    {"name", [](const toml::node& n, TestPlan& p) { return Text(n, p.name); }},
    {"source", [](const toml::node& n, TestPlan& p) { return Text(n, p.source); }},
    {"restart",
     [](const toml::node& n, TestPlan& p) {
       return OneOf(n, p.restart, {"hot", "warm", "cold", "power-cycle"});
     }},
    {"xtra", [](const toml::node& n, TestPlan& p) { return Switch(n, p.xtra); }},
    {"runs", [](const toml::node& n, TestPlan& p) { return Whole(n, p.runs, 1, 1000000); }},
    {"timeout",
     [](const toml::node& n, TestPlan& p) {
       return Whole(n, p.timeout_s, kTimeoutRange.min, kTimeoutRange.max);
     }},
    {"limit_ttff",
     [](const toml::node& n, TestPlan& p) { return Number(n, p.limit_ttff_s, 0.001, 86400); }},
    {"limit_error",
     [](const toml::node& n, TestPlan& p) { return Number(n, p.limit_error_m, 0.001, 1e7); }},
    {"yield", [](const toml::node& n, TestPlan& p) { return Number(n, p.yield, 0.01, 0.999); }},
    {"confidence",
     [](const toml::node& n, TestPlan& p) { return Number(n, p.confidence, 0.5, 0.9999); }},
    {"attempts", &Attempts},
    {"fix_rule", &FixRule},
};

std::string At(const std::string& source, const toml::node& n) {
  return source + ":" + std::to_string(n.source().begin.line) + ": ";
}

}  // namespace

TestPlanLoad ParseTestPlan(const std::string& text, const std::string& source) {
  TestPlanLoad load;
  const std::optional<toml::table> parsed = ParseTomlText(text, source, load.problems);
  if (!parsed)
    return load;
  const toml::table& table = *parsed;
  TestPlan plan;
  plan.file = source;
  for (const auto& [name, node] : table) {
    const PlanKey* key = nullptr;
    for (const PlanKey& k : kKeys)
      key = name.str() == k.name ? &k : key;
    if (!key)
      load.problems.push_back(At(source, node) + "unknown key \"" + std::string(name.str()) + "\"");
    else if (Why why = key->take(node, plan))
      load.problems.push_back(At(source, node) + key->name + " " + *why);
  }
  for (const char* required : {"name", "source"}) {
    if (!table.contains(required))
      load.problems.push_back(source + ":1: the plan has no " + required + " = \"...\"");
  }
  if (load.problems.empty())
    load.plan = std::move(plan);
  return load;
}

TestPlanLoad LoadTestPlan(const std::string& path) {
  const std::optional<std::string> text = platform::ReadWholeFile(path);
  if (!text) {
    TestPlanLoad load;
    load.problems.push_back(path + ": cannot be read (is it there, and may you read it?)");
    return load;
  }
  return ParseTestPlan(*text, path);
}

}  // namespace plans
