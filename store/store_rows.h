// The rows of a results store: one per test, one per recorded run.
#pragma once

#include <optional>
#include <string>

namespace store {

// Whether an identity command's reply is the firmware: AT+CGMR, AT+GMR or
// ATI, as the profile writes it or without its "AT+".
inline bool IsFirmwareCommand(std::string command) {
  if (command.rfind("AT+", 0) == 0)
    command = command.substr(3);
  return command == "CGMR" || command == "GMR" || command == "ATI";
}

struct TestRow {
  std::string test_uuid;      // the key; runs hang on it
  std::string module;         // the module's name on the bench
  std::string identity_json;  // the identity replies, {"CGMM": "...", ...}
  std::string firmware;       // the firmware reply, when the profile asks for it
  std::string profile, fix_rule, restart_type;
  bool xtra = false;
  std::string settings_json;  // the settings of the test as JSON
  std::string host, tool_version;
  std::string started_at, ended_at, end_reason;  // local times; empty while running
  unsigned runs_planned = 0;
  std::string source;        // the test's CSV path (unique): a later import finds the test
  std::string summary_json;  // the summary at the end; empty before
};

struct RunRow {
  std::string test_uuid;
  unsigned run = 0;
  bool success = false;
  std::optional<double> ttff_s, ttff_precise_s;
  std::string restart_type;
  bool xtra = false;
  std::string start_time;
  double time_scale = 1.0;
  std::string reason, fix_sentence;
  std::optional<double> fix_lat, fix_lon, fix_alt_m;
  std::string reset_suspect;
  // The whole run record as JSON, with its CSV row by column name, so that
  // fields added to the record later are kept without a schema change.
  std::string details_json;
};

}  // namespace store
