// The per-test logs (NMEA, AT, result), their names and separators, and the
// debug-log entries of the engine.
//
// Streams write exactly the bytes they are given: no line-end translation.
#pragma once

#include <cstdio>
#include <string>

#include "platform/clock.h"
#include "platform/debug_log.h"  // LOG_DEBUG, for the engine's files

// "%02d-%02d-%02d" with hour, minute and second of the local time: the stem
// of the per-test logs and of the all-NMEA log.
std::string FormatTimeOfDay(const platform::Clock& clock);
std::string FormatTimeOfDay();

// Writes the bytes and flushes; does nothing without a stream.
// Returns false when the stream refused them; the first refusal of a tracked
// log is told to the user (platform/file_writes.h).
bool WriteLog(std::FILE* fp, const char* data, std::size_t size);
bool WriteLog(std::FILE* fp, const std::string& text);

// "-------------times : %d-------------\n" to the NMEA log, then the AT log.
void WriteRunSeparator(std::FILE* nmea_log, std::FILE* at_log, unsigned run);

// The three per-test log paths in the day folder for a stem.
struct TestLogPaths {
  std::string nmea;
  std::string at;
  std::string result;
};
// The stem itself, or, when a test of that stem is already in the day
// folder (two tests started within one second), "hh-mm-ss-2", "-3", ...:
// a later test never writes over an earlier one's logs.
std::string UniqueTestStem(const std::string& day_dir, const std::string& stem);
TestLogPaths MakeTestLogPaths(const std::string& day_dir, const std::string& stem);

// The header line of a result log.
inline constexpr const char* kResultLogHeader = "Times\t\t\tResult\t\t\tDuration\r\n";
