#include "store/store_sink.h"

#include <nlohmann/json.hpp>

#include "engine/csv_fields.h"
#include "platform/host_name.h"
#include "profiles/module_commands.h"

namespace store {

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
  test_.test_uuid = info.test_key.empty() ? platform::RandomUuid() : info.test_key;
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
  Guarded([&] { store_->PutTest(test_); });
}

void StoreSink::OnRunRecorded(const RunRecord&, const RunFields& fields) {
  Guarded([&] { store_->PutRun({test_.test_uuid, fields, ""}); });
}

void StoreSink::OnRunAmended(const RunRecord&, const RunFields& fields) {
  Guarded([&] { store_->AmendRun({test_.test_uuid, fields, ""}); });
}

void StoreSink::OnTestEnded(const std::string& ended_at, const std::string& end_reason,
                            const std::string& summary_json) {
  test_.ended_at = ended_at;
  test_.end_reason = end_reason;
  test_.summary_json = summary_json;
  Guarded([&] { store_->PutTest(test_); });
}

}  // namespace store
