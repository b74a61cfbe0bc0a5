#include "store/day_folder_import.h"

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

#include "engine/runs_csv.h"
#include "engine/ttff_key.h"
#include "platform/file_reads.h"
#include "profiles/module_commands.h"

namespace store {

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kMaxFile = 512ull * 1024 * 1024;

// The files of a folder, or none with a sentence: a folder that cannot be
// read, an entry behind a link loop, is left out and the rest goes on.
std::vector<fs::directory_entry> Entries(const fs::path& dir, const ProblemSink& problem) {
  std::vector<fs::directory_entry> entries;
  std::error_code ec;
  fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec))
    entries.push_back(*it);
  if (ec)
    problem("cannot read the folder " + dir.string() + " (" + ec.message() + "); it is left out");
  return entries;
}

std::optional<std::string> ReadFile(const fs::path& path, const ProblemSink& problem) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size > kMaxFile) {
    problem("cannot read " + path.string() + " (" + (ec ? ec.message() : "over 512 MB") +
            "); it is left out");
    return std::nullopt;
  }
  std::optional<std::string> text = platform::ReadWholeFile(path.string());
  if (!text)
    problem("cannot read " + path.string() + "; it is left out");
  return text;
}

// The runs of a result log's lines "N\t\t\tSUCC\t\t\tD"; other lines are
// the statistics or are told as skipped.
std::vector<RunsCsvRow> ResultLogRuns(const std::string& text, std::size_t& skipped) {
  std::vector<RunsCsvRow> rows;
  std::set<unsigned> seen;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    std::vector<std::string> words;
    std::istringstream fields(line);
    for (std::string w; fields >> w;)
      words.push_back(w);
    if (words.size() != 3 || (words[1] != "SUCC" && words[1] != "FAIL")) {
      skipped +=
          !line.empty() && line.rfind("Times", 0) != 0 && line.find(" = ") == std::string::npos;
      continue;
    }
    std::size_t bad = 0;
    const RunFields given = {
        {"run", words[0]}, {"result", words[1]}, {"ttff_s", words[1] == "SUCC" ? words[2] : ""}};
    std::optional<RunRecord> r = RecordOf(given, bad);
    if (!r || bad > 0 || !seen.insert(r->run).second) {
      ++skipped;
      continue;
    }
    rows.push_back({*r, FieldsOf(*r, CsvLayout{})});
  }
  return rows;
}

}  // namespace

TestRow ImportedTestRow(const std::string& key, const ImportedTest& t) {
  TestRow row;
  row.test_uuid = key;
  row.imported = true;
  row.module = t.module;
  row.identity_json = "{}";
  row.profile = "default";
  row.fix_rule = "gprmc";
  row.restart_type = t.restart_type;
  row.settings_json = "{}";
  row.started_at = t.started_at;
  row.end_reason = "imported";
  row.runs_planned = t.runs_planned;
  row.source = t.source;
  if (!t.summary.is_object())
    return row;
  const nlohmann::json& j = t.summary;
  row.summary_json = j.dump(2) + "\n";
  row.profile = j.value("profile", row.profile);
  row.fix_rule = j.value("fix_rule", row.fix_rule);
  if (j.contains("conditions") && j["conditions"].is_object()) {
    const nlohmann::json& c = j["conditions"];
    row.host = c.value("host", "");
    row.tool_version = c.value("tool_version", "");
    row.xtra = c.value("xtra", false);
  }
  if (j.contains("module") && j["module"].is_object()) {
    row.identity_json = j["module"].dump();
    for (const auto& [command, reply] : j["module"].items())
      if (IsFirmwareCommand(command) && reply.is_string())
        row.firmware = reply.get<std::string>();
  }
  return row;
}

std::optional<ImportedTest> ReadImportedTest(const fs::path& day, const std::string& module,
                                             const std::string& stem, const ProblemSink& problem) {
  const fs::path dir = module.empty() ? day : day / module;
  ImportedTest t;
  t.module = module;
  t.stem_path = (dir / stem).string();
  std::string time = stem.substr(0, 8);
  for (char& c : time)
    c = c == '-' ? ':' : c;
  t.started_at = day.filename().string() + " " + time;
  const fs::path csv = dir / (stem + "_runs.csv"), log = dir / (stem + "_result_log.txt");
  std::error_code ec;
  std::size_t log_runs = 0, log_skipped = 0;
  if (fs::is_regular_file(log, ec))
    if (const auto text = ReadFile(log, [](const std::string&) {}))
      log_runs = ResultLogRuns(*text, log_skipped).size();
  if (fs::is_regular_file(csv, ec)) {
    const auto text = ReadFile(csv, problem);
    if (!text)
      return std::nullopt;
    RunsCsv read = ReadRunsCsv(*text, csv.string());
    for (const std::string& p : read.problems)
      problem(p);
    t.rows = std::move(read.rows);
    t.source = csv.string();
  } else {
    const auto text = ReadFile(log, problem);
    if (!text)
      return std::nullopt;
    t.rows = ResultLogRuns(*text, log_skipped);
    if (log_skipped > 0)
      problem(log.string() + " has " + std::to_string(log_skipped) +
              " line(s) that are no run; they are skipped");
    t.source = log.string();
  }
  if (t.rows.size() < log_runs)
    problem(t.source + " holds " + std::to_string(t.rows.size()) + " run(s), fewer than the " +
            std::to_string(log_runs) +
            " its result log names; the others are lost from the "
            "files (their results store, if any, may hold them)");
  const fs::path summary = dir / (stem + "_summary.json");
  if (fs::is_regular_file(summary, ec))
    if (const auto text = ReadFile(summary, problem))
      t.summary = nlohmann::json::parse(*text, nullptr, false);
  if (t.summary.is_discarded())
    t.summary = nullptr;
  t.restart_type = t.rows.empty() ? "" : RestartTypeName(t.rows.front().record.restart_type);
  t.runs_planned = static_cast<unsigned>(t.rows.size());
  if (t.summary.is_object() && t.summary.contains("conditions") &&
      t.summary["conditions"].is_object())
    t.runs_planned = t.summary["conditions"].value("runs_planned", t.runs_planned);
  t.host = t.summary.is_object() && t.summary.contains("conditions") &&
                   t.summary["conditions"].is_object()
               ? t.summary["conditions"].value("host", "")
               : "";
  return t;
}

ImportCount ImportDayFolder(ResultsStore& store, const std::string& folder,
                            const ProblemSink& problem) {
  ImportCount count;
  std::error_code ec;
  const fs::path day = fs::absolute(folder, ec);
  if (!fs::is_directory(day, ec)) {
    problem(folder + " is no folder; give day folders such as logs/2026-12-08");
    return count;
  }
  // The day folder and its module folders (a bench's DAY/NAME/).
  std::vector<std::string> modules = {""};
  for (const auto& entry : Entries(day, problem))
    if (entry.is_directory(ec) && !ec)
      modules.push_back(entry.path().filename().string());
  for (const std::string& module : modules) {
    for (const auto& entry : Entries(module.empty() ? day : day / module, problem)) {
      const std::string name = entry.path().filename().string();
      const bool csv = name.size() > 9 && name.ends_with("_runs.csv");
      const bool result = name.size() > 15 && name.ends_with("_result_log.txt");
      const std::string stem = name.substr(0, name.size() - (csv ? 9 : result ? 15 : 0));
      if (!csv && !(result && !fs::exists(entry.path().parent_path() / (stem + "_runs.csv"), ec)))
        continue;
      const std::optional<ImportedTest> test = ReadImportedTest(day, module, stem, problem);
      if (!test)
        continue;
      count += PutImportedTest(store, *test);
    }
  }
  return count;
}

ImportCount PutImportedTest(ResultsStore& store, const ImportedTest& t) {
  ImportCount count;
  // A test an older tool recorded live has a key of chance: found by its
  // CSV's path. Every other test's key comes from the test itself.
  std::error_code ec;
  const std::string canonical = fs::weakly_canonical(t.source, ec).string();
  std::optional<std::string> known = store.TestBySource(t.source);
  if (!known && !ec && canonical != t.source)
    known = store.TestBySource(canonical);
  const std::string key = known ? *known : TestKeyOf(t.host, t.stem_path);
  store.PutTest(ImportedTestRow(key, t));
  ++count.tests;
  for (const RunsCsvRow& row : t.rows) {
    store.PutRun({key, row.fields, t.source});
    ++count.runs;
  }
  return count;
}

}  // namespace store
