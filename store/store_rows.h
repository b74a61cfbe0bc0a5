// The rows of a results store: one per test, one per recorded run.
#pragma once

#include <optional>
#include <string>

#include "engine/run_columns.h"

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
  // Read back from a day folder: a test the store has already (recorded
  // live, or imported before) is never written over.
  bool imported = false;
};

// A run as a results store keeps it: its test's key and its fields by
// column name, those of its CSV row (engine/run_columns.h). The runs
// table's typed columns are read from these fields through the one column
// table, so that what the CSV holds, the store has.
struct StoredRun {
  std::string test_uuid;
  RunFields fields;
  std::string imported_from;  // the CSV an imported run came from; empty for one recorded live
  unsigned Run() const;       // the "run" field's number (0 without one)
};

}  // namespace store
