#include "report/ttff_view.h"

#include <algorithm>
#include <cstdio>

#include "engine/run_record.h"
#include "profiles/module_commands.h"
#include "stats/statistics_output.h"
#include "stats/ttff_statistics.h"

namespace report {

namespace {

const nlohmann::json* Find(const nlohmann::json& j, std::initializer_list<const char*> path) {
  const nlohmann::json* at = &j;
  for (const char* key : path) {
    if (!at->is_object())
      return nullptr;
    const auto it = at->find(key);
    if (it == at->end())
      return nullptr;
    at = &*it;
  }
  return at;
}

std::optional<double> NumberAt(const nlohmann::json& j, std::initializer_list<const char*> path) {
  const nlohmann::json* v = Find(j, path);
  return v && v->is_number() ? std::optional<double>(v->get<double>()) : std::nullopt;
}

std::optional<std::string> TextAt(const nlohmann::json& j,
                                  std::initializer_list<const char*> path) {
  const nlohmann::json* v = Find(j, path);
  if (!v)
    return std::nullopt;
  if (v->is_string())
    return v->get<std::string>();
  if (v->is_boolean())
    return v->get<bool>() ? "yes" : "no";
  if (v->is_number())
    return v->dump();
  return std::nullopt;
}

std::string Compact(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

}  // namespace

double TimeoutS(const TestData& t) {
  if (auto v = NumberAt(t.summary, {"conditions", "timeout_s"}))
    return *v;
  if (auto v = NumberAt(t.summary, {"statistics", "ttff_km_s", "censored_at"}))
    return *v;
  return 200;  // the program's default time-out
}

std::optional<double> LimitTtffS(const TestData& t) {
  return NumberAt(t.summary, {"verdict", "limit_ttff_s"});
}

std::optional<double> RunTtffS(const RunRecord& r) {
  if (!r.success)
    return std::nullopt;
  return r.ttff_s;
}

std::optional<double> MomentMs(const std::optional<std::int64_t>& ms) {
  return ms ? std::optional<double>(static_cast<double>(*ms)) : std::nullopt;
}

std::optional<double> PreciseTtffS(const RunRecord& r) {
  return r.success && r.ttff_precise_s >= 0 ? std::optional<double>(r.ttff_precise_s)
                                            : std::nullopt;
}

std::string SnrAtFixText(const RunRecord& r) {
  std::string text;
  for (int v : r.timeline.snr_at_fix)
    text += (text.empty() ? "" : " ") + std::to_string(v);
  return text;
}

std::vector<stats::Observation> Observations(const TestData& t) {
  std::vector<stats::Observation> obs;
  const double timeout = TimeoutS(t);
  for (const RunRecord& r : t.runs) {
    if (EndedByTheBench(r.reason))
      continue;
    if (const auto ttff = RunTtffS(r))
      obs.push_back({*ttff, true});
    else
      obs.push_back({r.timeout_s.value_or(timeout), false});
  }
  return obs;
}

nlohmann::json StatisticsOf(const TestData& t) {
  if (const nlohmann::json* s = Find(t.summary, {"statistics", "success"}); s && s->is_object())
    return t.summary["statistics"];
  std::vector<stats::RunOutcome> runs;
  for (const RunRecord& r : t.runs) {
    using Kind = stats::RunOutcome::Kind;
    const std::optional<double> ttff = RunTtffS(r);
    runs.push_back({r.run,
                    ttff                        ? Kind::kFixed
                    : EndedByTheBench(r.reason) ? Kind::kInvalid
                                                : Kind::kTimedOut,
                    ttff.value_or(0.0), std::nullopt, r.timeout_s});
  }
  return stats::StatisticsJson(stats::ComputeTtffStatistics(runs, {TimeoutS(t), 0.95, {}}));
}

namespace {

// "Cold Start" (the CSV's name) as the summary's "cold", "Power Cycle" as
// "power-cycle".
// "200 s", or for tests pooled with different time-outs "30 to 200 s,
// each run censored at its own test's".
std::string TimeoutText(const TestData& t) {
  double low = TimeoutS(t), high = low;
  for (const RunRecord& r : t.runs)
    if (r.timeout_s) {
      low = std::min(low, *r.timeout_s);
      high = std::max(high, *r.timeout_s);
    }
  if (low == high)
    return Compact(high) + " s";
  return Compact(low) + " to " + Compact(high) + " s, each run censored at its own test's";
}

std::string RestartName(const std::string& text) {
  const int type = RestartTypeOfName(text);
  return type < 0 ? text : RestartTypeWord(type);
}

}  // namespace

std::vector<std::pair<std::string, std::string>> Conditions(const TestData& t) {
  std::vector<std::pair<std::string, std::string>> rows;
  const nlohmann::json& s = t.summary;
  const RunRecord* first = t.runs.empty() ? nullptr : &t.runs.front();
  if (const nlohmann::json* pooled = Find(s, {"pooled"}); pooled && pooled->is_array()) {
    std::string tests = std::to_string(pooled->size()) + " tests pooled:";
    for (const auto& test : *pooled)
      tests += " " + (test.is_string() ? test.get<std::string>() : test.dump()) + ";";
    tests.pop_back();
    rows.emplace_back("tests", tests);
  }
  if (const nlohmann::json* module = Find(s, {"module"}); module && module->is_object())
    for (const auto& [command, reply] : module->items())
      rows.emplace_back("module " + command, reply.is_string() && !reply.get<std::string>().empty()
                                                 ? reply.get<std::string>()
                                                 : std::string("(no answer)"));
  if (auto plan = TextAt(s, {"plan", "name"}))
    rows.emplace_back("test plan", *plan + " (after " +
                                       TextAt(s, {"plan", "source"}).value_or("no source") + ")");
  rows.emplace_back(
      "profile",
      TextAt(s, {"conditions", "profile"}).value_or(TextAt(s, {"profile"}).value_or("default")));
  rows.emplace_back(
      "fix rule",
      TextAt(s, {"conditions", "fix_rule"}).value_or(TextAt(s, {"fix_rule"}).value_or("gprmc")));
  std::string restart = TextAt(s, {"conditions", "restart_type"}).value_or("");
  if (restart.empty() && first)
    restart = RestartName(RestartTypeName(first->restart_type));
  rows.emplace_back("restart type", restart.empty() ? "unknown" : restart);
  std::optional<std::string> xtra = TextAt(s, {"conditions", "xtra"});
  if (!xtra && first)
    xtra = first->xtra ? "yes" : "no";
  rows.emplace_back("XTRA", xtra.value_or("unknown"));
  rows.emplace_back("time-out", TimeoutText(t));
  std::string runs = std::to_string(t.runs.size()) + " recorded";
  if (auto planned = NumberAt(s, {"conditions", "runs_planned"}))
    runs += " of " + Compact(*planned) + " planned";
  rows.emplace_back("runs", runs);
  std::optional<double> scale = NumberAt(s, {"conditions", "time_scale"});
  if (!scale)
    scale = NumberAt(s, {"time_scale"});
  if (!scale && first)
    scale = first->time_scale;
  if (scale && *scale != 1)
    rows.emplace_back("time scale", Compact(*scale) + " (simulator clock)");
  for (const auto& [key, name] : {std::pair{"tool_version", "tool version"},
                                  std::pair{"host", "host"}, std::pair{"started", "started"}})
    if (auto v = TextAt(s, {"conditions", key}))
      rows.emplace_back(name, *v);
  if (!Find(s, {"conditions", "started"}) && first && !first->start_time.empty())
    rows.emplace_back("started", first->start_time);
  return rows;
}

}  // namespace report
