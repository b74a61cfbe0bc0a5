#include "report/ttff_files.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "engine/csv_table.h"
#include "engine/runs_csv.h"
#include "nmea/signal_ids.h"
#include "platform/file_reads.h"

namespace report {

namespace {

namespace fs = std::filesystem;

constexpr const char* kSuffixes[] = {"_runs.csv",    "_summary.json", "_result_log.txt",
                                     "_signal.csv",  "_at_log.txt",   "_nmea_log.txt",
                                     "_report.html", "_sky.csv"};
constexpr std::uintmax_t kMaxFile = 512ull * 1024 * 1024;

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Existing(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) ? path : std::string();
}

}  // namespace

std::optional<std::string> ReadWhole(const std::string& path, std::vector<std::string>& problems) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size > kMaxFile) {
    problems.push_back(path + " cannot be read (" + (ec ? ec.message() : "larger than 512 MB") +
                       "); the report leaves it out.");
    return std::nullopt;
  }
  std::optional<std::string> text = platform::ReadWholeFile(path);
  if (!text)
    problems.push_back(path + " cannot be read; the report leaves it out.");
  return text;
}

std::vector<RunRecord> ParseRunsCsv(const std::string& text, std::vector<std::string>& problems) {
  RunsCsv csv = ReadRunsCsv(text);
  problems.insert(problems.end(), csv.problems.begin(), csv.problems.end());
  std::vector<RunRecord> runs;
  for (RunsCsvRow& row : csv.rows)
    runs.push_back(std::move(row.record));
  return runs;
}

std::vector<SignalRow> ParseSignalCsv(const std::string& text, std::vector<std::string>& problems) {
  std::vector<SignalRow> rows;
  rows.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
  CsvTable csv(text, "The signal CSV", problems);
  if (!csv.Has("run") || !csv.Has("ms")) {
    problems.push_back(
        "The signal CSV has no \"run\" and \"ms\" columns; the report shows no "
        "S/N from it.");
    return rows;
  }
  std::size_t skipped = 0;
  static const char* const kSnr[] = {"snr1", "snr2", "snr3", "snr4"};
  while (csv.Next()) {
    const std::optional<double> run = csv.Value("run"), ms = csv.Value("ms");
    if (!run || !ms || *run < 0 || *run > 1e9) {
      ++skipped;
      continue;
    }
    SignalRow r;
    r.run = static_cast<unsigned>(*run);
    r.ms = *ms;
    r.tracked = static_cast<int>(csv.Value("tracked").value_or(0));
    r.used = static_cast<int>(csv.Value("used").value_or(0));
    for (int i = 0; i < 4; ++i)
      r.snr[static_cast<std::size_t>(i)] = csv.Value(kSnr[i]);
    if (const std::string signal = csv.Text("signal"); !signal.empty())
      r.signal = signal;
    rows.push_back(std::move(r));
  }
  if (skipped > 0)
    problems.push_back("The signal CSV has " + std::to_string(skipped) +
                       " line(s) without a run and a time; the report skips them.");
  csv.Finish();
  return rows;
}

std::map<unsigned, std::vector<SkySatellite>> ParseSkyCsv(const std::string& text,
                                                          std::vector<std::string>& problems) {
  std::map<unsigned, std::vector<SkySatellite>> sky;
  CsvTable csv(text, "The sky CSV", problems);
  std::size_t skipped = 0;
  while (csv.Next()) {
    const std::optional<double> run = csv.Value("run"), prn = csv.Value("prn");
    const int system = SystemFromName(csv.Text("system"));
    const int signal = SignalFromName(system, csv.Text("signal"));
    if (!run || !prn || *run < 0 || *run > 1e9 || system < 0 || signal < kNoSignal) {
      ++skipped;
      continue;
    }
    std::vector<SkySatellite>& sats = sky[static_cast<unsigned>(*run)];
    if (sats.empty() || sats.back().system != system || sats.back().prn != *prn) {
      SkySatellite& s = sats.emplace_back();
      s.system = system;
      s.prn = static_cast<int>(*prn);
      s.elevation = static_cast<int>(csv.Value("elevation").value_or(-1));
      s.azimuth = static_cast<int>(csv.Value("azimuth").value_or(-1));
      s.used = csv.Text("used") == "1";
    }
    sats.back().SetSignal(signal, static_cast<int>(csv.Value("snr").value_or(0)));
  }
  if (skipped > 0)
    problems.push_back("The sky CSV has " + std::to_string(skipped) +
                       " line(s) that name no satellite; the report skips them.");
  csv.Finish();
  return sky;
}

std::optional<TestFiles> FindTestFiles(const std::string& given,
                                       const std::vector<std::string>& search_dirs,
                                       std::string& problem) {
  std::string stem = given;
  for (const char* suffix : kSuffixes) {
    if (EndsWith(stem, suffix)) {
      stem.resize(stem.size() - std::string(suffix).size());
      break;
    }
  }
  std::vector<std::string> candidates = {stem};
  if (!fs::path(stem).is_absolute())
    for (const std::string& dir : search_dirs)
      candidates.push_back(dir + stem);
  for (const std::string& base : candidates) {
    TestFiles f;
    f.stem = base;
    f.runs_csv = Existing(base + "_runs.csv");
    f.summary_json = Existing(base + "_summary.json");
    if (f.runs_csv.empty() && f.summary_json.empty())
      continue;
    f.result_log = Existing(base + "_result_log.txt");
    f.signal_csv = Existing(base + "_signal.csv");
    f.sky_csv = Existing(base + "_sky.csv");
    const fs::path p(base);
    f.label = p.parent_path().filename().empty()
                  ? p.filename().string()
                  : (p.parent_path().filename() / p.filename()).string();
    return f;
  }
  problem = "No test found for \"" + given +
            "\": give the path of one of its files or its stem "
            "DAY/hh-mm-ss (such as 2026-12-08/09-52-35), from the folder that holds the day "
            "folders.";
  return std::nullopt;
}

TestData ReadTest(const TestFiles& files) {
  TestData d;
  d.files = files;
  if (!files.runs_csv.empty())
    if (const auto text = ReadWhole(files.runs_csv, d.problems))
      d.runs = ParseRunsCsv(*text, d.problems);
  if (!files.summary_json.empty()) {
    if (const auto text = ReadWhole(files.summary_json, d.problems)) {
      d.summary = nlohmann::json::parse(*text, nullptr, false);
      if (d.summary.is_discarded() || !d.summary.is_object()) {
        d.summary = nullptr;
        d.problems.push_back(files.summary_json +
                             " is no complete JSON summary (cut off?); the report shows the "
                             "runs without it.");
      }
    }
  }
  if (!files.signal_csv.empty())
    if (const auto text = ReadWhole(files.signal_csv, d.problems))
      d.signal = ParseSignalCsv(*text, d.problems);
  if (!files.sky_csv.empty())
    if (const auto text = ReadWhole(files.sky_csv, d.problems))
      d.sky = ParseSkyCsv(*text, d.problems);
  return d;
}

}  // namespace report
