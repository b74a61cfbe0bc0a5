#include "store/row_values.h"

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

namespace store {

namespace {

std::optional<std::string> Number(const std::optional<double>& v) {
  if (!v)
    return std::nullopt;
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", *v);
  return std::string(text);
}

std::string Text(const Values& v, std::size_t i) {
  return i < v.size() && v[i] ? *v[i] : "";
}

std::optional<double> Real(const Values& v, std::size_t i) {
  if (i >= v.size() || !v[i] || v[i]->empty())
    return std::nullopt;
  return std::strtod(v[i]->c_str(), nullptr);
}

// A field's text as the run's fields have it ("" without the field).
std::string Field(const StoredRun& r, const char* name) {
  for (const auto& [n, text] : r.fields)
    if (n == name)
      return text;
  return "";
}

long Whole(const Values& v, std::size_t i) {
  return std::strtol(Text(v, i).c_str(), nullptr, 10);
}

}  // namespace

Values TestValues(const TestRow& t) {
  return {t.test_uuid,
          t.module,
          t.identity_json,
          t.firmware,
          t.profile,
          t.fix_rule,
          t.restart_type,
          std::string(t.xtra ? "1" : "0"),
          t.settings_json,
          t.host,
          t.tool_version,
          t.started_at,
          t.ended_at,
          t.end_reason,
          std::to_string(t.runs_planned),
          t.source,
          t.summary_json};
}

Values RunValues(const StoredRun& r) {
  std::size_t bad = 0;
  const RunRecord rec = RecordOf(r.fields, bad).value_or(RunRecord{});
  nlohmann::ordered_json csv = nlohmann::ordered_json::object();
  for (const auto& [name, text] : r.fields)
    csv[name] = text;
  nlohmann::ordered_json details = {{"csv", csv}};
  if (!r.imported_from.empty())
    details["imported_from"] = r.imported_from;
  const auto& p = rec.fix_position;
  return {r.test_uuid,
          std::to_string(rec.run),
          std::string(rec.success ? "1" : "0"),
          rec.success ? Number(rec.ttff_s) : std::nullopt,
          rec.success && rec.ttff_precise_s >= 0 ? Number(rec.ttff_precise_s) : std::nullopt,
          Field(r, "restart_type"),
          std::string(rec.xtra ? "1" : "0"),
          rec.start_time,
          Number(rec.time_scale),
          rec.reason,
          rec.fix_sentence,
          p ? Number(p->lat_deg) : std::nullopt,
          p ? Number(p->lon_deg) : std::nullopt,
          p && p->alt_m ? Number(*p->alt_m) : std::nullopt,
          rec.reset_suspect,
          details.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)};
}

TestRow TestFromValues(const Values& v) {
  TestRow t;
  t.test_uuid = Text(v, 0);
  t.module = Text(v, 1);
  t.identity_json = Text(v, 2);
  t.firmware = Text(v, 3);
  t.profile = Text(v, 4);
  t.fix_rule = Text(v, 5);
  t.restart_type = Text(v, 6);
  t.xtra = Whole(v, 7) != 0;
  t.settings_json = Text(v, 8);
  t.host = Text(v, 9);
  t.tool_version = Text(v, 10);
  t.started_at = Text(v, 11);
  t.ended_at = Text(v, 12);
  t.end_reason = Text(v, 13);
  t.runs_planned = static_cast<unsigned>(Whole(v, 14));
  t.source = Text(v, 15);
  t.summary_json = Text(v, 16);
  // A test read back from its files says so in its end; sent on from a
  // spool, it still never writes over the copy a server has.
  t.imported = t.end_reason == "imported";
  return t;
}

StoredRun RunFromValues(const Values& v) {
  StoredRun r;
  r.test_uuid = Text(v, 0);
  const nlohmann::ordered_json details = nlohmann::ordered_json::parse(Text(v, 15), nullptr, false);
  if (details.is_object() && details.contains("csv") && details["csv"].is_object()) {
    for (const auto& [name, value] : details["csv"].items())
      r.fields.emplace_back(name, value.is_string() ? value.get<std::string>() : value.dump());
    if (details.contains("imported_from") && details["imported_from"].is_string())
      r.imported_from = details["imported_from"].get<std::string>();
    return r;
  }
  const bool success = Whole(v, 2) != 0;
  const auto number = [&](std::size_t i, const char* format) {
    const std::optional<double> x = Real(v, i);
    char text[40] = "";
    if (x)
      std::snprintf(text, sizeof text, format, *x);
    return std::string(text);
  };
  r.fields = {{"run", Text(v, 1)},
              {"result", success ? "SUCC" : "FAIL"},
              {"ttff_s", number(3, "%.3f")},
              {"ttff_precise_s", number(4, "%.3f")},
              {"restart_type", Text(v, 5)},
              {"xtra", Whole(v, 6) != 0 ? "1" : "0"},
              {"start_time", Text(v, 7)},
              {"time_scale", number(8, "%g")},
              {"reason", Text(v, 9)},
              {"fix_sentence", Text(v, 10)},
              {"fix_lat", number(11, "%.7f")},
              {"fix_lon", number(12, "%.7f")},
              {"fix_alt_m", number(13, "%.1f")},
              {"reset_suspect", Text(v, 14)}};
  return r;
}

unsigned StoredRun::Run() const {
  for (const auto& [name, text] : fields)
    if (name == "run")
      return static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 10));
  return 0;
}

}  // namespace store
