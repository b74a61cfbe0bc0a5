#include "store/store_sink.h"

#include <nlohmann/json.hpp>

#include "engine/csv_fields.h"
#include "engine/module_commands.h"
#include "platform/host_name.h"

namespace store {

RunRow MakeRunRow(const std::string& test_uuid, const RunRecord& r, double time_scale,
                  const std::string& csv_header, const std::string& csv_row) {
  RunRow row;
  row.test_uuid = test_uuid;
  row.run = r.run;
  row.success = r.success;
  if (r.success) {
    row.ttff_s = r.ttff_s;
    if (r.ttff_precise_s >= 0)
      row.ttff_precise_s = r.ttff_precise_s;
  }
  row.restart_type = RestartTypeName(r.restart_type);
  row.xtra = r.xtra;
  row.start_time = r.start_time;
  row.time_scale = time_scale;
  row.reason = r.reason;
  row.fix_sentence = r.fix_sentence;
  if (r.fix_position) {
    row.fix_lat = r.fix_position->lat_deg;
    row.fix_lon = r.fix_position->lon_deg;
    if (r.fix_position->alt_m)
      row.fix_alt_m = *r.fix_position->alt_m;
  }
  row.reset_suspect = r.reset_suspect;
  nlohmann::json d = {{"run", r.run},
                      {"success", r.success},
                      {"ttff_s", r.ttff_s},
                      {"ttff_precise_s", r.ttff_precise_s},
                      {"restart_type", row.restart_type},
                      {"xtra", r.xtra},
                      {"start_time", r.start_time},
                      {"reason", r.reason},
                      {"fix_sentence", r.fix_sentence},
                      {"reset_suspect", r.reset_suspect}};
  nlohmann::json csv = nlohmann::json::object();
  const std::vector<std::string> names = SplitCsvFields(csv_header),
                                 values = SplitCsvFields(csv_row);
  for (std::size_t i = 0; i < names.size() && i < values.size(); ++i)
    csv[names[i]] = values[i];
  d["csv"] = csv;
  row.details_json = d.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  return row;
}

StoreSink::StoreSink(std::unique_ptr<ResultsStore> store, std::string module,
                     std::function<void(const std::string&)> tell)
    : store_(std::move(store)), tell_(std::move(tell)) {
  test_.module = std::move(module);
}

template <typename Write>
void StoreSink::Guarded(Write write) {
  try {
    write();
  } catch (const std::exception& e) {
    if (!failed_ && tell_)
      tell_(std::string("zuvek-cli: ") + e.what() +
            "; the test goes on, its text logs hold every run (zuvek-cli store import DAYFOLDER "
            "adds them later)");
    failed_ = true;
  }
}

void StoreSink::OnTestStarted(const TestStartInfo& info) {
  test_.test_uuid = platform::RandomUuid();
  nlohmann::json identity = nlohmann::json::object();
  for (const auto& [command, reply] : info.identity) {
    identity[command] = reply;
    if (IsFirmwareCommand(command))
      test_.firmware = reply;
  }
  test_.identity_json = identity.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  const TestConditions& c = info.conditions;
  test_.profile = c.profile;
  test_.fix_rule = c.fix_rule;
  test_.restart_type = RestartTypeName(info.restart_type);
  test_.xtra = c.xtra;
  test_.settings_json = info.settings_json;
  test_.host = c.host;
  test_.tool_version = c.tool_version;
  test_.started_at = c.started;
  test_.runs_planned = c.runs_planned;
  test_.source = info.csv_path;
  time_scale_ = c.time_scale;
  Guarded([&] { store_->PutTest(test_); });
}

void StoreSink::OnRunRecorded(const RunRecord& record, const std::string& csv_header,
                              const std::string& csv_row) {
  Guarded([&] {
    store_->PutRun(MakeRunRow(test_.test_uuid, record, time_scale_, csv_header, csv_row));
  });
}

void StoreSink::OnTestEnded(const std::string& ended_at, const std::string& end_reason,
                            const std::string& summary_json) {
  test_.ended_at = ended_at;
  test_.end_reason = end_reason;
  test_.summary_json = summary_json;
  Guarded([&] { store_->PutTest(test_); });
}

}  // namespace store
