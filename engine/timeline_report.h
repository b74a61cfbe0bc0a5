// The timeline's part of a test's files beside its runs CSV's last columns
// (engine/run_columns.h): the rows of "<stem>_signal.csv" and the summary's
// "timeline" object. Every moment is in integer milliseconds from the
// arrival of the start's "OK"; an unknown one is an empty field.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "timeline/signal_sampler.h"
#include "timeline/timeline_record.h"

inline constexpr const char* kSignalHeader = "run,ms,tracked,used,snr1,snr2,snr3,snr4,signal";
// The rows of one epoch, each ending in "\n": every signal together first,
// then one row per signal the receiver named, each counting the satellites
// tracked on that signal and those of them in use:
//   "3,1200,9,5,44,42,41,39,all"          (S/N fields empty when fewer are tracked)
//   "3,1200,8,5,44,42,41,39,GPS L1 C/A"
//   "3,1200,3,2,40,38,31,,GPS L5 Q"
std::string SignalRows(unsigned run, std::int64_t ms, const timeline::SkySample& sky);
inline constexpr const char* kAllSignals = "all";

// Per phase ("first_nmea", ..., "fix", "fix_<rule>"): {"count", "median_ms",
// "p95_ms"} over the runs that reached it (null values when none did).
nlohmann::json TimelineSummaryJson(const std::vector<timeline::TimelineRecord>& runs);
