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

inline constexpr const char* kSignalHeader = "run,ms,tracked,used,snr1,snr2,snr3,snr4";
// "3,1200,9,5,44,42,41,39" (the S/N fields empty when fewer are tracked).
std::string SignalRow(unsigned run, std::int64_t ms, const timeline::SkySample& sky);

// Per phase ("first_nmea", ..., "fix", "fix_<rule>"): {"count", "median_ms",
// "p95_ms"} over the runs that reached it (null values when none did).
nlohmann::json TimelineSummaryJson(const std::vector<timeline::TimelineRecord>& runs);
