#include "metrics/event_feed.h"

#include <nlohmann/json.hpp>

namespace metrics {

namespace {

std::string Text(const nlohmann::json& event, const char* key) {
  const auto it = event.find(key);
  return it != event.end() && it->is_string() ? it->get<std::string>() : std::string();
}

double Number(const nlohmann::json& event, const char* key, double fallback) {
  const auto it = event.find(key);
  return it != event.end() && it->is_number() ? it->get<double>() : fallback;
}

bool Flag(const nlohmann::json& event, const char* key) {
  const auto it = event.find(key);
  return it != event.end() && it->is_boolean() && it->get<bool>();
}

}  // namespace

void ApplyEvent(TtffMetrics& metrics, const std::string& module, const nlohmann::json& event) {
  if (!event.is_object())
    return;
  const std::string name = Text(event, "event");
  if (name == "start") {
    metrics.TestStarted(module, Text(event, "restart"),
                        static_cast<unsigned>(Number(event, "runs", 0)),
                        Number(event, "timeout_s", 200));
    metrics.Phase(module, "started");
  } else if (name == "phase" && !event.contains("ms")) {  // "ms": a moment of the timeline
    metrics.Phase(module, Text(event, "phase"));
  } else if (name == "result") {
    metrics.RunRecorded(module, Flag(event, "ok"), Number(event, "ttff_s", 0),
                        Text(event, "reason"));
  } else if (name == "port") {
    if (Flag(event, "reconnected"))
      metrics.Reconnected(module);
    else
      metrics.PortState(module, Flag(event, "up"));
  } else if (name == "verdict") {
    metrics.Verdict(module, Text(event, "verdict"));
  } else if (name == "end") {
    metrics.Phase(module, "ended");
  }
}

void ApplyEventLine(TtffMetrics& metrics, const std::string& module, const std::string& line) {
  const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
  if (!event.is_discarded())
    ApplyEvent(metrics, module, event);
}

}  // namespace metrics
