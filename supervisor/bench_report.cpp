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

std::string Figure(const std::optional<double>& value) {
  if (!value)
    return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", *value);
  return text;
}

}  // namespace

std::string NewestFile(const std::string& folder, const std::string& suffix,
                       fs::file_time_type since) {
  std::error_code ec;
  std::string best;
  fs::file_time_type best_time{};
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() < suffix.size() ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    const auto time = it->last_write_time(ec);
    if (ec || time < since)
      continue;
    if (best.empty() || time > best_time || (time == best_time && it->path().string() > best)) {
      best = it->path().string();
      best_time = time;
    }
  }
  return best;
}

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
  if (j.contains("ttff_s")) {
    f.median = Number(j["ttff_s"], "median");
    f.p67 = Number(j["ttff_s"], "p67");
    f.p95 = Number(j["ttff_s"], "p95");
  }
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
        {"ttff_s", {{"median", value(f.median)}, {"p67", value(f.p67)}, {"p95", value(f.p95)}}},
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
                static_cast<int>(width), "module", "runs", "failures", "success", "median", "p67",
                "p95", "exit");
  out << line;
  for (const ModuleState& m : modules) {
    const ModuleFigures f = ReadFigures(m);
    char rate[16];
    std::snprintf(rate, sizeof rate, "%.1f %%", 100.0 * f.success_rate);
    std::snprintf(line, sizeof line, "%-*s  %5u  %8u  %8s  %8s  %8s  %8s  %4d\n",
                  static_cast<int>(width), m.name.c_str(), f.runs, f.failures, rate,
                  Figure(f.median).c_str(), Figure(f.p67).c_str(), Figure(f.p95).c_str(),
                  m.exit_code);
    out << line;
    if (!m.problem.empty())
      out << "  " << m.name << ": " << m.problem << "\n";
    else if (m.exit_code != 0)
      out << "  " << m.name << ": exit " << m.exit_code << ", " << f.failures << " of " << f.runs
          << " runs failed" << (m.end_reason.empty() ? "" : "; ended: " + m.end_reason) << "\n";
  }
  out << "TTFF in seconds.\nbench summary: " << json_path << "\n";
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
