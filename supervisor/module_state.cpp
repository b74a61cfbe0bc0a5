#include "supervisor/module_state.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace supervisor {

namespace {

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", s);
  return text;
}

}  // namespace

std::string ApplyEvent(ModuleState& state, const std::string& line) {
  const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
  if (!j.is_object() || !j.contains("event") || !j["event"].is_string())
    return {};
  const std::string event = j["event"].get<std::string>();
  const auto number = [&j](const char* key, unsigned fallback) {
    return j.contains(key) && j[key].is_number_unsigned() ? j[key].get<unsigned>() : fallback;
  };
  const auto text = [&j](const char* key) {
    return j.contains(key) && j[key].is_string() ? j[key].get<std::string>() : std::string();
  };
  if (event == "start") {
    state.started = true;
    state.runs = number("runs", state.runs);
    return "started";
  }
  if (event == "run") {
    state.run = number("run", state.run);
    state.runs = number("of", state.runs);
    return "run " + std::to_string(state.run) + " of " + std::to_string(state.runs);
  }
  if (event == "phase") {
    state.phase = text("phase");
    return {};
  }
  if (event == "result") {
    const bool ok = j.contains("ok") && j["ok"].is_boolean() && j["ok"].get<bool>();
    const unsigned run = number("run", state.run);
    if (ok) {
      ++state.ok;
      state.last_failed = false;
      if (j.contains("ttff_s") && j["ttff_s"].is_number())
        state.last_ttff_s = j["ttff_s"].get<double>();
      return "run " + std::to_string(run) + ": fix in " +
             (state.last_ttff_s ? Seconds(*state.last_ttff_s) : std::string("?"));
    }
    ++state.failed;
    state.last_failed = true;
    return "run " + std::to_string(run) + ": FAIL";
  }
  if (event == "files") {
    state.summary = text("summary");
    state.csv = text("csv");
    return {};
  }
  if (event == "end") {
    if (const std::string s = text("summary"); !s.empty())
      state.summary = s;
    if (const std::string s = text("csv"); !s.empty())
      state.csv = s;
    if (const std::string s = text("problem"); !s.empty())
      state.problem = s;
    state.phase = "ended";
    const std::string why = text("ended");
    state.end_reason = why;
    return "ended" + (why.empty() ? "" : ": " + why);
  }
  return {};
}

std::string ModuleLine(const ModuleState& state, std::size_t width) {
  std::string name = state.name;
  if (name.size() < width)
    name.resize(width, ' ');
  char line[256];
  if (!state.problem.empty() && (state.ended || !state.started)) {
    std::snprintf(line, sizeof line, "%s  FAILED: %s", name.c_str(), state.problem.c_str());
    return line;
  }
  const std::string last = state.last_failed   ? "FAIL"
                           : state.last_ttff_s ? Seconds(*state.last_ttff_s)
                                               : "-";
  std::string phase = state.phase.empty() ? (state.started ? "" : "starting") : state.phase;
  if (state.ended)
    phase = state.exit_code == 0 ? "done" : "ended, exit " + std::to_string(state.exit_code);
  std::snprintf(line, sizeof line, "%s  run %u of %u  %-16s  last %-9s  ok %u  fail %u",
                name.c_str(), state.run, state.runs, phase.c_str(), last.c_str(), state.ok,
                state.failed);
  return line;
}

}  // namespace supervisor
