// The write statements both backends share ($1.. parameters).
#pragma once

namespace store {

inline constexpr const char* kPutTestSql =
    "INSERT INTO tests (test_uuid, module, identity, firmware, profile, fix_rule, restart_type, "
    "xtra, settings, host, tool_version, started_at, ended_at, end_reason, runs_planned, source, "
    "summary) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, $17) "
    "ON CONFLICT (test_uuid) DO UPDATE SET identity = excluded.identity, firmware = "
    "excluded.firmware, ended_at = excluded.ended_at, end_reason = excluded.end_reason, summary = "
    "excluded.summary";

inline constexpr const char* kPutRunSql =
    "INSERT INTO runs (test_uuid, run, success, ttff_s, ttff_precise_s, restart_type, xtra, "
    "start_time, time_scale, reason, fix_sentence, fix_lat, fix_lon, fix_alt_m, reset_suspect, "
    "details) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16) "
    "ON CONFLICT (test_uuid, run) DO NOTHING";

}  // namespace store
