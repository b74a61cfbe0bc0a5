#include "report/test_files.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/csv_fields.h"
#include "nmea/signal_ids.h"

namespace report {

namespace {

namespace fs = std::filesystem;

constexpr const char* kSuffixes[] = {"_runs.csv",    "_summary.json", "_result_log.txt",
                                     "_signal.csv",  "_at_log.txt",   "_nmea_log.txt",
                                     "_report.html", "_sky.csv"};
// Longer lines are no line of ours (a broken or foreign file).
constexpr std::size_t kMaxLine = 64 * 1024;
constexpr std::uintmax_t kMaxFile = 512ull * 1024 * 1024;

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string Existing(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) ? path : std::string();
}

std::optional<std::string> ReadWhole(const std::string& path, std::vector<std::string>& problems) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size > kMaxFile) {
    problems.push_back(path + " cannot be read (" + (ec ? ec.message() : "larger than 512 MB") +
                       "); the report leaves it out.");
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in && !in.eof()) {
    problems.push_back(path + " cannot be read; the report leaves it out.");
    return std::nullopt;
  }
  return text.str();
}

std::optional<double> Number(const std::string& s) {
  if (s.empty())
    return std::nullopt;
  double v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
    return std::nullopt;
  return v;
}

// A CSV read line by line, its columns by name.
class CsvTable {
 public:
  CsvTable(const std::string& text, const char* what, std::vector<std::string>& problems)
      : text_(text), what_(what), problems_(problems) {
    std::string header;
    if (!NextLine(header)) {
      problems_.push_back(std::string("The ") + what_ + " is empty.");
      return;
    }
    const std::vector<std::string> names = SplitCsvFields(header);
    for (std::size_t i = 0; i < names.size(); ++i)
      columns_[names[i]] = i;
  }
  bool Has(const std::string& name) const { return columns_.count(name) > 0; }
  bool Next() {
    while (NextLine(line_)) {
      if (line_.empty() || line_ == "\r")
        continue;
      fields_ = SplitCsvFields(line_);
      return true;
    }
    return false;
  }
  std::string Text(const std::string& name) const {
    const auto it = columns_.find(name);
    return it != columns_.end() && it->second < fields_.size() ? fields_[it->second] : "";
  }
  std::optional<double> Value(const std::string& name) {
    const std::string text = Text(name);
    const std::optional<double> v = Number(text);
    if (!v && !text.empty())
      ++bad_numbers_;
    return v;
  }
  std::size_t LineNumber() const { return line_number_; }
  void AddBadNumbers(std::size_t n) { bad_numbers_ += n; }
  void Finish() {
    if (bad_numbers_ > 0)
      problems_.push_back("The " + std::string(what_) + " has " + std::to_string(bad_numbers_) +
                          " value(s) that are no numbers; the report leaves them empty.");
    if (long_lines_ > 0)
      problems_.push_back("The " + std::string(what_) + " has " + std::to_string(long_lines_) +
                          " overlong line(s); the report skips them.");
  }

 private:
  bool NextLine(std::string& line) {
    while (at_ < text_.size()) {
      std::size_t end = text_.find('\n', at_);
      if (end == std::string::npos)
        end = text_.size();
      const std::size_t start = at_;
      at_ = end + 1;
      ++line_number_;
      if (end - start <= kMaxLine) {
        line.assign(text_, start, end - start);
        return true;
      }
      ++long_lines_;
    }
    return false;
  }
  const std::string& text_;
  std::size_t at_ = 0;
  const char* what_;
  std::vector<std::string>& problems_;
  std::map<std::string, std::size_t> columns_;
  std::string line_;
  std::vector<std::string> fields_;
  std::size_t line_number_ = 0, bad_numbers_ = 0, long_lines_ = 0;
};

}  // namespace

std::optional<RunRow> RunFromFields(const FieldByName& field, std::size_t& bad_numbers) {
  const auto text = [&](const char* name) { return field(name).value_or(""); };
  const auto value = [&](const char* name) {
    const std::string t = text(name);
    const std::optional<double> v = Number(t);
    if (!v && !t.empty())
      ++bad_numbers;
    return v;
  };
  RunRow r;
  const std::optional<double> run = value("run");
  const std::string result = text("result");
  if (!run || *run < 0 || *run > 1e9 || (result != "SUCC" && result != "FAIL"))
    return std::nullopt;  // a truncated last line, or a foreign one
  r.run = static_cast<unsigned>(*run);
  r.success = result == "SUCC";
  r.ttff_s = value("ttff_s");
  r.ttff_precise_s = value("ttff_precise_s");
  r.restart_type = text("restart_type");
  if (const auto xtra = field("xtra"))
    r.xtra = *xtra == "1";
  r.start_time = text("start_time");
  r.time_scale = value("time_scale");
  r.reason = text("reason");
  r.fix_sentence = text("fix_sentence");
  r.reset_suspect = text("reset_suspect");
  r.error_m = value("error_m");
  r.error_3d_m = value("error_3d_m");
  r.first_nmea_ms = value("first_nmea_ms");
  r.first_snr_ms = value("first_snr_ms");
  r.first_2d_ms = value("first_2d_ms");
  r.first_3d_ms = value("first_3d_ms");
  r.fix_ms = value("fix_ms");
  r.used_at_fix = value("used_at_fix");
  r.snr_at_fix = text("snr_at_fix");
  r.snr_top4_mean_at_fix = value("snr_top4_mean_at_fix");
  if (r.success && !r.ttff_s)
    return std::nullopt;
  return r;
}

std::vector<RunRow> ParseRunsCsv(const std::string& text, std::vector<std::string>& problems) {
  std::vector<RunRow> rows;
  CsvTable csv(text, "runs CSV", problems);
  if (!csv.Has("run") || !csv.Has("result")) {
    problems.push_back(
        "The runs CSV has no \"run\" and \"result\" columns; it is no runs file "
        "of this program, and the report shows no runs from it.");
    return rows;
  }
  std::size_t skipped = 0, bad_numbers = 0;
  const FieldByName field = [&](const std::string& name) -> std::optional<std::string> {
    return csv.Has(name) ? std::optional<std::string>(csv.Text(name)) : std::nullopt;
  };
  while (csv.Next()) {
    if (std::optional<RunRow> r = RunFromFields(field, bad_numbers))
      rows.push_back(std::move(*r));
    else
      ++skipped;
  }
  if (skipped > 0)
    problems.push_back("The runs CSV has " + std::to_string(skipped) +
                       " line(s) that are no complete run (a cut-off file?); the report skips "
                       "them.");
  csv.AddBadNumbers(bad_numbers);
  csv.Finish();
  return rows;
}

std::vector<SignalRow> ParseSignalCsv(const std::string& text, std::vector<std::string>& problems) {
  std::vector<SignalRow> rows;
  rows.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
  CsvTable csv(text, "signal CSV", problems);
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
  CsvTable csv(text, "sky CSV", problems);
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
