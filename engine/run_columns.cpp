#include "engine/run_columns.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "engine/csv_fields.h"
#include "fix_rules/registry.h"
#include "profiles/module_commands.h"

namespace {

using timeline::TimelinePhase;
using timeline::TimelineRecord;

enum class Group { kBase, kFixSentence, kPosition, kResetSuspect, kTimeline };

// What a reader makes of a text: read, left empty, or not a number.
enum class Read { kOk, kBad };

struct Column {
  std::string name;
  Group group;
  std::function<std::string(const RunRecord&)> write;
  // Called with a non-empty text only.
  std::function<Read(RunRecord&, const std::string&)> read;
};

std::string Format(const char* format, double value) {
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// A number column: `set` takes the value read.
template <class Set>
std::function<Read(RunRecord&, const std::string&)> NumberInto(Set set) {
  return [set](RunRecord& r, const std::string& text) {
    const std::optional<double> v = CsvNumber(text);
    if (!v)
      return Read::kBad;
    set(r, *v);
    return Read::kOk;
  };
}

std::function<Read(RunRecord&, const std::string&)> TextInto(std::string RunRecord::*member) {
  return [member](RunRecord& r, const std::string& text) {
    r.*member = text;
    return Read::kOk;
  };
}

// A moment of the timeline, in whole milliseconds.
using Moment = std::optional<std::int64_t>;
Column MomentColumn(std::string name, std::function<Moment(const TimelineRecord&)> get,
                    std::function<void(TimelineRecord&, std::int64_t)> set) {
  return {std::move(name), Group::kTimeline,
          [get](const RunRecord& r) {
            const Moment ms = get(r.timeline);
            return ms ? std::to_string(*ms) : std::string();
          },
          NumberInto([set](RunRecord& r, double v) {
            set(r.timeline, static_cast<std::int64_t>(std::llround(v)));
          })};
}

// The same for a member of the record.
Column MomentColumn(std::string name, Moment TimelineRecord::*member) {
  return MomentColumn(
      std::move(name), [member](const TimelineRecord& t) { return t.*member; },
      [member](TimelineRecord& t, std::int64_t ms) { t.*member = ms; });
}

GeoPosition& PositionOf(std::optional<GeoPosition>& p) {
  if (!p)
    p = GeoPosition{};
  return *p;
}

std::vector<Column> BaseColumns() {
  return {
      {"run", Group::kBase, [](const RunRecord& r) { return std::to_string(r.run); }, nullptr},
      {"result", Group::kBase, [](const RunRecord& r) { return r.success ? "SUCC" : "FAIL"; },
       nullptr},
      {"ttff_s", Group::kBase,
       [](const RunRecord& r) { return r.success ? Format("%.3f", r.ttff_s) : ""; },
       NumberInto([](RunRecord& r, double v) { r.ttff_s = v; })},
      {"ttff_precise_s", Group::kBase,
       [](const RunRecord& r) {
         return r.success && r.ttff_precise_s >= 0 ? Format("%.3f", r.ttff_precise_s) : "";
       },
       NumberInto([](RunRecord& r, double v) { r.ttff_precise_s = v; })},
      {"restart_type", Group::kBase,
       [](const RunRecord& r) { return std::string(RestartTypeName(r.restart_type)); },
       [](RunRecord& r, const std::string& text) {
         r.restart_type = RestartTypeOfName(text);
         return Read::kOk;
       }},
      {"xtra", Group::kBase, [](const RunRecord& r) { return r.xtra ? "1" : "0"; },
       [](RunRecord& r, const std::string& text) {
         r.xtra = text == "1";
         return Read::kOk;
       }},
      {"start_time", Group::kBase, [](const RunRecord& r) { return r.start_time; },
       TextInto(&RunRecord::start_time)},
      {"time_scale", Group::kBase, [](const RunRecord& r) { return Format("%g", r.time_scale); },
       NumberInto([](RunRecord& r, double v) { r.time_scale = v; })},
      {"reason", Group::kBase, [](const RunRecord& r) { return r.reason; },
       TextInto(&RunRecord::reason)},
  };
}

std::vector<Column> OptionalColumns() {
  auto coordinate = [](double GeoPosition::*member) {
    return NumberInto([member](RunRecord& r, double v) { PositionOf(r.fix_position).*member = v; });
  };
  auto fix = [](const RunRecord& r, const char* format, double GeoPosition::*member) {
    return r.fix_position ? Format(format, (*r.fix_position).*member) : std::string();
  };
  auto error = [](const std::optional<double>& e) {
    return e ? Format("%.2f", *e) : std::string();
  };
  return {
      {"fix_sentence", Group::kFixSentence, [](const RunRecord& r) { return r.fix_sentence; },
       TextInto(&RunRecord::fix_sentence)},
      {"fix_lat", Group::kPosition,
       [fix](const RunRecord& r) { return fix(r, "%.7f", &GeoPosition::lat_deg); },
       coordinate(&GeoPosition::lat_deg)},
      {"fix_lon", Group::kPosition,
       [fix](const RunRecord& r) { return fix(r, "%.7f", &GeoPosition::lon_deg); },
       coordinate(&GeoPosition::lon_deg)},
      {"fix_alt_m", Group::kPosition,
       [](const RunRecord& r) {
         return r.fix_position && r.fix_position->alt_m ? Format("%.1f", *r.fix_position->alt_m)
                                                        : "";
       },
       NumberInto([](RunRecord& r, double v) { PositionOf(r.fix_position).alt_m = v; })},
      {"error_m", Group::kPosition,
       [error](const RunRecord& r) { return r.fix_position ? error(r.error_m) : ""; },
       NumberInto([](RunRecord& r, double v) { r.error_m = v; })},
      {"error_3d_m", Group::kPosition,
       [error](const RunRecord& r) { return r.fix_position ? error(r.error_3d_m) : ""; },
       NumberInto([](RunRecord& r, double v) { r.error_3d_m = v; })},
      {"reset_suspect", Group::kResetSuspect, [](const RunRecord& r) { return r.reset_suspect; },
       TextInto(&RunRecord::reset_suspect)},
  };
}

std::vector<Column> MomentColumns() {
  std::vector<Column> columns = {MomentColumn("first_nmea_ms", &TimelineRecord::first_nmea_ms),
                                 MomentColumn("first_snr_ms", &TimelineRecord::first_snr_ms),
                                 MomentColumn("first_2d_ms", &TimelineRecord::first_2d_ms),
                                 MomentColumn("first_3d_ms", &TimelineRecord::first_3d_ms),
                                 MomentColumn("fix_ms", &TimelineRecord::fix_ms)};
  const std::size_t rules = fix_rules::KnownNames().size();
  for (std::size_t i = 0; i < rules; ++i)
    columns.push_back(MomentColumn(
        "fix_" + fix_rules::KnownNames()[i] + "_ms",
        [i](const TimelineRecord& t) {
          return i < t.rule_fix_ms.size() ? t.rule_fix_ms[i] : Moment();
        },
        [i, rules](TimelineRecord& t, std::int64_t ms) {
          t.rule_fix_ms.resize(std::max(t.rule_fix_ms.size(), rules));
          t.rule_fix_ms[i] = ms;
        }));
  return columns;
}

// What the timeline says of the fix epoch; empty without a fix.
std::vector<Column> AtFixColumns() {
  auto at_fix = [](const RunRecord& r, const char* format, double GeoPosition::*member) {
    const auto& p = r.timeline.position_at_fix;
    return r.timeline.fix_ms && p ? Format(format, (*p).*member) : std::string();
  };
  auto position = [](double GeoPosition::*member) {
    return NumberInto(
        [member](RunRecord& r, double v) { PositionOf(r.timeline.position_at_fix).*member = v; });
  };
  return {
      {"used_at_fix", Group::kTimeline,
       [](const RunRecord& r) {
         const auto& t = r.timeline;
         return t.fix_ms && t.used_at_fix ? std::to_string(*t.used_at_fix) : std::string();
       },
       NumberInto([](RunRecord& r, double v) { r.timeline.used_at_fix = static_cast<int>(v); })},
      {"snr_at_fix", Group::kTimeline,
       [](const RunRecord& r) {
         std::string snr;
         for (int v : r.timeline.snr_at_fix)
           snr += (snr.empty() ? "" : " ") + std::to_string(v);
         return r.timeline.fix_ms ? snr : std::string();
       },
       [](RunRecord& r, const std::string& text) {
         std::istringstream in(text);
         for (std::string word; in >> word;) {
           const std::optional<double> v = CsvNumber(word);
           if (!v)
             return Read::kBad;
           r.timeline.snr_at_fix.push_back(static_cast<int>(*v));
         }
         return Read::kOk;
       }},
      // Computed from snr_at_fix; read back from there.
      {"snr_top4_mean_at_fix", Group::kTimeline,
       [](const RunRecord& r) {
         const std::optional<double> mean = SnrTop4Mean(r.timeline);
         return r.timeline.fix_ms && mean ? Format("%.1f", *mean) : std::string();
       },
       nullptr},
      {"lat_at_fix", Group::kTimeline,
       [at_fix](const RunRecord& r) { return at_fix(r, "%.7f", &GeoPosition::lat_deg); },
       position(&GeoPosition::lat_deg)},
      {"lon_at_fix", Group::kTimeline,
       [at_fix](const RunRecord& r) { return at_fix(r, "%.7f", &GeoPosition::lon_deg); },
       position(&GeoPosition::lon_deg)},
      {"alt_m_at_fix", Group::kTimeline,
       [](const RunRecord& r) {
         const auto& p = r.timeline.position_at_fix;
         return r.timeline.fix_ms && p && p->alt_m ? Format("%.1f", *p->alt_m) : std::string();
       },
       NumberInto(
           [](RunRecord& r, double v) { PositionOf(r.timeline.position_at_fix).alt_m = v; })},
  };
}

const std::vector<Column>& Columns() {
  static const std::vector<Column> columns = [] {
    std::vector<Column> all;
    for (auto part : {BaseColumns(), OptionalColumns(), MomentColumns(), AtFixColumns()})
      for (Column& c : part)
        all.push_back(std::move(c));
    return all;
  }();
  return columns;
}

bool InLayout(Group group, const CsvLayout& layout) {
  switch (group) {
    case Group::kFixSentence:
      return layout.fix_sentence;
    case Group::kPosition:
      return layout.position;
    case Group::kResetSuspect:
      return layout.reset_suspect;
    default:
      return true;
  }
}

}  // namespace

std::string RunsCsvHeader(const CsvLayout& layout) {
  std::string header;
  for (const Column& c : Columns())
    if (InLayout(c.group, layout))
      header += (header.empty() ? "" : ",") + c.name;
  return header;
}

RunFields FieldsOf(const RunRecord& record, const CsvLayout& layout) {
  RunFields fields;
  for (const Column& c : Columns())
    if (InLayout(c.group, layout))
      fields.emplace_back(c.name, c.write(record));
  return fields;
}

std::string CsvLine(const RunFields& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i)
    line += (i == 0 ? "" : ",") + CsvField(fields[i].second);
  return line;
}

CsvLayout LayoutOfHeader(const std::vector<std::string>& names) {
  CsvLayout layout;
  for (const std::string& n : names) {
    layout.fix_sentence = layout.fix_sentence || n == "fix_sentence";
    layout.position = layout.position || n == "fix_lat";
    layout.reset_suspect = layout.reset_suspect || n == "reset_suspect";
  }
  return layout;
}

std::optional<RunRecord> RecordOf(const FieldByName& field, std::size_t& bad_numbers) {
  RunRecord r;
  const std::optional<double> run = CsvNumber(field("run").value_or(""));
  const std::string result = field("result").value_or("");
  if (!run || *run < 0 || *run > 1e9 || *run != std::floor(*run) ||
      (result != "SUCC" && result != "FAIL"))
    return std::nullopt;  // a truncated last line, or a foreign one
  r.run = static_cast<unsigned>(*run);
  r.success = result == "SUCC";
  bool ttff_known = false;
  for (const Column& c : Columns()) {
    if (!c.read)
      continue;
    const std::optional<std::string> text = field(c.name);
    if (!text || text->empty())
      continue;
    if (c.read(r, *text) == Read::kBad)
      ++bad_numbers;
    else if (c.name == "ttff_s")
      ttff_known = true;
  }
  if (r.success && !ttff_known)
    return std::nullopt;
  if (!r.success)
    r.ttff_s = 0.0;
  return r;
}

std::optional<RunRecord> RecordOf(const RunFields& fields, std::size_t& bad_numbers) {
  return RecordOf(
      [&fields](const std::string& name) -> std::optional<std::string> {
        for (const auto& [n, v] : fields)
          if (n == name)
            return v;
        return std::nullopt;
      },
      bad_numbers);
}

std::optional<double> SnrTop4Mean(const TimelineRecord& t) {
  if (t.snr_at_fix.empty())
    return std::nullopt;
  double sum = 0;
  for (int v : t.snr_at_fix)
    sum += v;
  return sum / static_cast<double>(t.snr_at_fix.size());
}
