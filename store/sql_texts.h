// The write statements both backends share ($1.. parameters).
#pragma once

namespace store {

// A test recorded live: its row is brought up to date as the test goes on.
inline constexpr const char* kPutTestSql =
    "INSERT INTO tests (test_uuid, module, identity, firmware, profile, fix_rule, restart_type, "
    "xtra, settings, host, tool_version, started_at, ended_at, end_reason, runs_planned, source, "
    "summary) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, $17) "
    "ON CONFLICT (test_uuid) DO UPDATE SET identity = excluded.identity, firmware = "
    "excluded.firmware, ended_at = excluded.ended_at, end_reason = excluded.end_reason, summary = "
    "excluded.summary";

// A test read back from its files: a copy the store has already stays as it is.
inline constexpr const char* kPutImportedTestSql =
    "INSERT INTO tests (test_uuid, module, identity, firmware, profile, fix_rule, restart_type, "
    "xtra, settings, host, tool_version, started_at, ended_at, end_reason, runs_planned, source, "
    "summary) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, $17) "
    "ON CONFLICT (test_uuid) DO NOTHING";

#define ZUVEK_RUN_INSERT                                                                       \
  "INSERT INTO runs (test_uuid, run, success, ttff_s, ttff_precise_s, restart_type, xtra, "    \
  "start_time, time_scale, reason, fix_sentence, fix_lat, fix_lon, fix_alt_m, reset_suspect, " \
  "details) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16) "

// A run filed at its result: once.
inline constexpr const char* kPutRunSql =
    ZUVEK_RUN_INSERT "ON CONFLICT (test_uuid, run) DO NOTHING";

// A run amended after its capture, or sent on from a spool (its latest copy).
inline constexpr const char* kAmendRunSql = ZUVEK_RUN_INSERT
    "ON CONFLICT (test_uuid, run) DO UPDATE SET success = excluded.success, ttff_s = "
    "excluded.ttff_s, ttff_precise_s = excluded.ttff_precise_s, restart_type = "
    "excluded.restart_type, xtra = excluded.xtra, start_time = excluded.start_time, time_scale = "
    "excluded.time_scale, reason = excluded.reason, fix_sentence = excluded.fix_sentence, fix_lat "
    "= excluded.fix_lat, fix_lon = excluded.fix_lon, fix_alt_m = excluded.fix_alt_m, "
    "reset_suspect = excluded.reset_suspect, details = excluded.details";

#undef ZUVEK_RUN_INSERT

}  // namespace store
