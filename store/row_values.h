// The rows as the parameter lists of the write statements ($1..), each
// value text or null, and back from such lists.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "store/store_rows.h"

namespace store {

using Values = std::vector<std::optional<std::string>>;

Values TestValues(const TestRow& t);
// The run's typed columns come from its fields (as the CSV reads back), and
// its details hold the fields themselves: {"csv": {name: text, ...}}.
Values RunValues(const StoredRun& r);
TestRow TestFromValues(const Values& v);
// A run read back: its fields from its details, or, from a row whose
// details hold none, from the typed columns.
StoredRun RunFromValues(const Values& v);

// The column lists in the order of the values (for reading rows back).
inline constexpr const char* kTestColumns =
    "test_uuid, module, identity, firmware, profile, fix_rule, restart_type, xtra, settings, host, "
    "tool_version, started_at, ended_at, end_reason, runs_planned, source, summary";
inline constexpr const char* kRunColumns =
    "test_uuid, run, success, ttff_s, ttff_precise_s, restart_type, xtra, start_time, time_scale, "
    "reason, fix_sentence, fix_lat, fix_lon, fix_alt_m, reset_suspect, details";

}  // namespace store
