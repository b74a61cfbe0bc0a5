// A finished (or running) test's files, found from any one of them or from
// its stem "DAY/hh-mm-ss", and read for the report: the runs CSV by header
// name (columns come and go between versions), the summary JSON and the
// per-epoch signal CSV. Every part is optional; a file that cannot be read
// whole leaves a sentence in `problems`, never a crash.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "nmea/sky_epoch.h"

namespace report {

struct TestFiles {
  std::string stem;   // path without the suffix: ".../2026-12-08/09-52-35"
  std::string label;  // "2026-12-08/09-52-35"
  std::string runs_csv, summary_json, result_log, signal_csv;  // empty when missing
  std::string sky_csv;                                         // empty when missing
};

struct RunRow {
  unsigned run = 0;
  bool success = false;
  std::optional<double> ttff_s, ttff_precise_s;
  std::string restart_type, start_time, reason, fix_sentence, reset_suspect;
  std::optional<bool> xtra;
  std::optional<double> time_scale, error_m, error_3d_m;
  // The timeline, in ms from the start's "OK" (absent in older files).
  std::optional<double> first_nmea_ms, first_snr_ms, first_2d_ms, first_3d_ms, fix_ms;
  std::optional<double> used_at_fix, snr_top4_mean_at_fix;
  std::string snr_at_fix;
};

struct SignalRow {
  unsigned run = 0;
  double ms = 0;
  int tracked = 0, used = 0;
  std::array<std::optional<double>, 4> snr;
  // "all" (every signal; so are the rows of files without the column), or
  // the one signal the row counts: "GPS L5 Q".
  std::string signal = "all";
};

struct TestData {
  TestFiles files;
  std::vector<RunRow> runs;
  std::vector<SignalRow> signal;
  std::map<unsigned, std::vector<SkySatellite>> sky;  // each run's sky at its fix
  nlohmann::json summary;                             // null without a readable summary
  std::vector<std::string> problems;
};

// The files of the test that `given` names: a path of any of its files, or
// its stem, as given or inside one of `search_dirs` (each with its trailing
// separator). Without a runs CSV or a summary: an empty optional and the
// sentence in `problem`.
std::optional<TestFiles> FindTestFiles(const std::string& given,
                                       const std::vector<std::string>& search_dirs,
                                       std::string& problem);

TestData ReadTest(const TestFiles& files);

// A run from its fields by column name (the runs CSV's names), wherever
// the row comes from: a line of the runs CSV, or the results store's copy
// of it. `field` gives a column's text, none when the row lacks the column;
// `bad_numbers` counts the texts that should be numbers and are none. None
// when the row is no complete run (no run number or result, a success
// without its TTFF).
using FieldByName = std::function<std::optional<std::string>(const std::string&)>;
std::optional<RunRow> RunFromFields(const FieldByName& field, std::size_t& bad_numbers);

// The parts, for tests: rows of a CSV text read by header name.
std::vector<RunRow> ParseRunsCsv(const std::string& text, std::vector<std::string>& problems);
std::vector<SignalRow> ParseSignalCsv(const std::string& text, std::vector<std::string>& problems);
std::map<unsigned, std::vector<SkySatellite>> ParseSkyCsv(const std::string& text,
                                                          std::vector<std::string>& problems);

}  // namespace report
