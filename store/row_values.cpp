#include "store/row_values.h"

#include <cstdio>
#include <cstdlib>

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

Values RunValues(const RunRow& r) {
  return {r.test_uuid,
          std::to_string(r.run),
          std::string(r.success ? "1" : "0"),
          Number(r.ttff_s),
          Number(r.ttff_precise_s),
          r.restart_type,
          std::string(r.xtra ? "1" : "0"),
          r.start_time,
          Number(r.time_scale),
          r.reason,
          r.fix_sentence,
          Number(r.fix_lat),
          Number(r.fix_lon),
          Number(r.fix_alt_m),
          r.reset_suspect,
          r.details_json};
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
  return t;
}

RunRow RunFromValues(const Values& v) {
  RunRow r;
  r.test_uuid = Text(v, 0);
  r.run = static_cast<unsigned>(Whole(v, 1));
  r.success = Whole(v, 2) != 0;
  r.ttff_s = Real(v, 3);
  r.ttff_precise_s = Real(v, 4);
  r.restart_type = Text(v, 5);
  r.xtra = Whole(v, 6) != 0;
  r.start_time = Text(v, 7);
  r.time_scale = Real(v, 8).value_or(1.0);
  r.reason = Text(v, 9);
  r.fix_sentence = Text(v, 10);
  r.fix_lat = Real(v, 11);
  r.fix_lon = Real(v, 12);
  r.fix_alt_m = Real(v, 13);
  r.reset_suspect = Text(v, 14);
  r.details_json = Text(v, 15);
  return r;
}

}  // namespace store
