// A finished (or running) test's files, found from any one of them or from
// its stem "DAY/hh-mm-ss", and read for the report: the runs CSV by header
// name (engine/runs_csv.h), the summary JSON and the
// per-epoch signal CSV and the sky CSV. Every part is optional; a file that cannot be read
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

#include "engine/run_record.h"
#include "nmea/sky_epoch.h"

namespace report {

struct TestFiles {
  std::string stem;   // path without the suffix: ".../2026-12-08/09-52-35"
  std::string label;  // "2026-12-08/09-52-35"
  std::string runs_csv, summary_json, result_log, signal_csv;  // empty when missing
  std::string sky_csv;                                         // empty when missing
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
  std::vector<RunRecord> runs;
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

// The parts, for tests: the runs and signal CSVs' texts read by header name.
std::vector<RunRecord> ParseRunsCsv(const std::string& text, std::vector<std::string>& problems);
// A test's file, whole; nullopt, with a sentence in problems, when it cannot
// be read or is over 512 MB.
std::optional<std::string> ReadWhole(const std::string& path, std::vector<std::string>& problems);

std::vector<SignalRow> ParseSignalCsv(const std::string& text, std::vector<std::string>& problems);
std::map<unsigned, std::vector<SkySatellite>> ParseSkyCsv(const std::string& text,
                                                          std::vector<std::string>& problems);

}  // namespace report
