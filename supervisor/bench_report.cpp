#include "supervisor/bench_report.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace supervisor {

namespace fs = std::filesystem;

namespace {

std::optional<double> Number(const nlohmann::json& j, const char* key) {
  if (j.is_object() && j.contains(key) && j[key].is_number())
    return j[key].get<double>();
  return std::nullopt;
}

// "44.04", ">200" above the time-out, "-" unknown.
std::string Figure(const std::optional<double>& value, bool above, double timeout_s) {
  char text[32] = "-";
  if (value)
    std::snprintf(text, sizeof text, "%.2f", *value);
  else if (above)
    std::snprintf(text, sizeof text, ">%g", timeout_s);
  return text;
}

}  // namespace

ModuleFigures ReadFigures(const ModuleState& state) {
  ModuleFigures f;
  f.runs = state.ok + state.failed;
  f.failures = state.failed;
  f.success_rate = f.runs > 0 ? static_cast<double>(state.ok) / f.runs : 0.0;
  std::ifstream in(state.summary);
  if (state.summary.empty() || !in)
    return f;
  const nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
  if (!j.is_object())
    return f;
  if (const auto v = Number(j, "runs"))
    f.runs = static_cast<unsigned>(*v);
  if (const auto v = Number(j, "failures"))
    f.failures = static_cast<unsigned>(*v);
  if (const auto v = Number(j, "success_rate"))
    f.success_rate = *v;
  const nlohmann::json km = j.contains("statistics") && j["statistics"].is_object()
                                ? j["statistics"].value("ttff_km_s", nlohmann::json())
                                : nlohmann::json();
  if (const auto t = Number(km, "censored_at"))
    f.timeout_s = *t;
  const auto percentile = [&km](const char* key, std::optional<double>& value, bool& above) {
    if (!km.is_object() || !km.contains(key) || !km[key].is_object())
      return;
    value = Number(km[key], "estimate");
    above = km[key].value("above_timeout", false);
  };
  percentile("p50", f.median, f.median_above);
  percentile("p67", f.p67, f.p67_above);
  percentile("p95", f.p95, f.p95_above);
  return f;
}

nlohmann::json BenchJson(const BenchInfo& info, const std::vector<ModuleState>& modules) {
  nlohmann::json j;
  j["bench"] = {{"source", info.source},
                {"modules", modules.size()},
                {"restart", info.restart},
                {"runs", info.runs},
                {"started", info.started},
                {"ended", info.ended},
                {"exit_code", info.exit_code},
                {"wall_s", info.wall_s},
                {"supervisor_cpu_s", info.supervisor_cpu_s}};
  nlohmann::json list = nlohmann::json::array();
  for (const ModuleState& m : modules) {
    const ModuleFigures f = ReadFigures(m);
    const auto value = [](const std::optional<double>& v) {
      return v ? nlohmann::json(*v) : nlohmann::json(nullptr);
    };
    nlohmann::json e = {
        {"name", m.name},
        {"folder", m.folder},
        {"at_port", m.at_port},
        {"nmea_port", m.nmea_port},
        {"exit_code", m.exit_code},
        {"runs", f.runs},
        {"failures", f.failures},
        {"success_rate", f.success_rate},
        {"ttff_s",
         {{"median", value(f.median)},
          {"p67", value(f.p67)},
          {"p95", value(f.p95)},
          {"above_timeout",
           {{"median", f.median_above}, {"p67", f.p67_above}, {"p95", f.p95_above}}},
          {"percentiles", "Kaplan-Meier over every attempt, timed-out runs censored"}}},
        {"summary", m.summary},
        {"csv", m.csv},
        {"cpu_s", m.cpu_s},
        {"wall_s", m.wall_s}};
    if (!m.truth.empty())
      e["truth"] = m.truth;
    if (!m.problem.empty())
      e["problem"] = m.problem;
    list.push_back(e);
  }
  j["modules"] = list;
  return j;
}

std::string EndTable(const std::vector<ModuleState>& modules, const std::string& json_path) {
  std::size_t width = 6;
  for (const ModuleState& m : modules)
    width = std::max(width, m.name.size());
  std::ostringstream out;
  char line[256];
  std::snprintf(line, sizeof line, "%-*s  %5s  %8s  %8s  %8s  %8s  %8s  %4s\n",
                static_cast<int>(width), "module", "runs", "failures", "success", "p50", "p67",
                "p95", "exit");
  out << line;
  for (const ModuleState& m : modules) {
    const ModuleFigures f = ReadFigures(m);
    char rate[16] = "no runs";
    if (f.runs > 0)
      std::snprintf(rate, sizeof rate, "%.1f %%", 100.0 * f.success_rate);
    std::snprintf(line, sizeof line, "%-*s  %5u  %8u  %8s  %8s  %8s  %8s  %4d\n",
                  static_cast<int>(width), m.name.c_str(), f.runs, f.failures, rate,
                  Figure(f.median, f.median_above, f.timeout_s).c_str(),
                  Figure(f.p67, f.p67_above, f.timeout_s).c_str(),
                  Figure(f.p95, f.p95_above, f.timeout_s).c_str(), m.exit_code);
    out << line;
    if (!m.problem.empty())
      out << "  " << m.name << ": " << m.problem << "\n";
    else if (m.exit_code != 0 && f.runs == 0)
      out << "  " << m.name << ": exit " << m.exit_code << ", no runs"
          << (m.end_reason.empty() ? "" : "; ended: " + m.end_reason) << "\n";
    else if (m.exit_code != 0)
      out << "  " << m.name << ": exit " << m.exit_code << ", " << f.failures << " of " << f.runs
          << " runs failed" << (m.end_reason.empty() ? "" : "; ended: " + m.end_reason) << "\n";
  }
  out << "TTFF in seconds: Kaplan-Meier percentiles over every attempt, timed-out runs censored "
         "(>T: above the time-out T, which hides it).\nbench summary: "
      << json_path << "\n";
  return out.str();
}

std::string UniqueBenchJsonPath(const std::string& day_dir, const std::string& stem) {
  std::string candidate = stem;
  for (int n = 2;; ++n) {
    const std::string path = day_dir + "/" + candidate + "_bench.json";
    std::error_code error;
    if (!fs::exists(path, error) || error)
      return path;
    candidate = stem + "-" + std::to_string(n);
  }
}

}  // namespace supervisor
