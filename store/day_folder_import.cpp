#include "store/day_folder_import.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <vector>

#include "engine/csv_fields.h"

namespace store {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> fields;
  std::string field;
  std::stringstream in(line);
  while (std::getline(in, field, sep))
    fields.push_back(field);
  if (!line.empty() && line.back() == sep)
    fields.emplace_back();
  return fields;
}

// A key that names the same test on every import: a UUID-shaped hash of its path.
std::string ImportKey(const std::string& source) {
  std::uint64_t a = 1469598103934665603ull, b = 1099511628211ull * 7;
  for (unsigned char c : source) {
    a = (a ^ c) * 1099511628211ull;
    b = (b ^ c) * 1181783497276652981ull + 11;
  }
  char text[40];
  std::snprintf(text, sizeof text, "%08x-%04x-%04x-%04x-%012llx", static_cast<unsigned>(a >> 32),
                static_cast<unsigned>((a >> 16) & 0xffff),
                static_cast<unsigned>(a & 0xfff) | 0x8000, static_cast<unsigned>(b >> 48),
                static_cast<unsigned long long>(b & 0xffffffffffffull));
  return text;
}

std::optional<double> Number(const std::string& text) {
  if (text.empty())
    return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  return end && *end == '\0' ? std::optional<double>(v) : std::nullopt;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The test's row from its files: the start from the day folder's name and
// the stem, the rest from the summary when there is one.
TestRow TestFromFiles(const std::string& key, const fs::path& day, const std::string& stem,
                      const std::string& module, const std::string& source,
                      const std::string& restart_type, std::size_t runs) {
  TestRow t;
  t.test_uuid = key;
  t.module = module;
  t.identity_json = "{}";
  t.profile = "default";
  t.fix_rule = "gprmc";
  t.restart_type = restart_type;
  t.settings_json = "{}";
  std::string time = stem;
  for (char& c : time)
    c = c == '-' ? ':' : c;
  t.started_at = day.filename().string() + " " + time;
  t.end_reason = "imported";
  t.runs_planned = static_cast<unsigned>(runs);
  t.source = source;
  const fs::path summary = day / module / (stem + "_summary.json");
  const std::string text = fs::exists(summary) ? ReadAll(summary) : "";
  if (nlohmann::json::accept(text)) {
    const auto j = nlohmann::json::parse(text);
    t.summary_json = text;
    t.profile = j.value("profile", t.profile);
    t.fix_rule = j.value("fix_rule", t.fix_rule);
    if (j.contains("module") && j["module"].is_object()) {
      t.identity_json = j["module"].dump();
      for (const auto& [command, reply] : j["module"].items())
        if (IsFirmwareCommand(command) && reply.is_string())
          t.firmware = reply.get<std::string>();
    }
  }
  return t;
}

}  // namespace

ImportCount ImportDayFolder(ResultsStore& store, const std::string& folder,
                            const std::function<void(const std::string&)>& problem) {
  ImportCount count;
  std::error_code ec;
  const fs::path day = fs::absolute(folder, ec);
  if (!fs::is_directory(day, ec)) {
    problem(folder + " is no folder; give day folders such as logs/2026-12-08");
    return count;
  }
  // The day folder and its module folders (a bench's DAY/NAME/).
  std::vector<std::string> modules = {""};
  for (const auto& entry : fs::directory_iterator(day, ec))
    if (entry.is_directory())
      modules.push_back(entry.path().filename().string());
  for (const std::string& module : modules) {
    const fs::path dir = module.empty() ? day : day / module;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
      const std::string name = entry.path().filename().string();
      const bool csv = name.size() > 9 && name.ends_with("_runs.csv");
      const bool result = name.size() > 15 && name.ends_with("_result_log.txt");
      const std::string stem = name.substr(0, name.size() - (csv ? 9 : result ? 15 : 0));
      if (!csv && !(result && !fs::exists(dir / (stem + "_runs.csv"))))
        continue;
      std::ifstream in(entry.path());
      std::string header;
      if (!std::getline(in, header)) {
        problem("cannot read " + entry.path().string() + "; it is left out");
        continue;
      }
      // The rows as column name -> text.
      std::vector<std::map<std::string, std::string>> rows;
      if (csv) {
        const std::vector<std::string> names = SplitCsvFields(header);
        std::string line;
        while (std::getline(in, line)) {
          if (in.eof() && !line.empty())
            break;  // a row without its newline was cut short when written
          const std::vector<std::string> values = SplitCsvFields(line);
          std::map<std::string, std::string> row;
          for (std::size_t i = 0; i < names.size() && i < values.size(); ++i)
            row[names[i]] = values[i];
          if (!row["run"].empty())
            rows.push_back(row);
        }
      } else {
        std::string line;
        while (std::getline(in, line)) {
          const std::vector<std::string> f = Split(line, '\t');
          std::vector<std::string> words;
          for (const std::string& w : f)
            if (!w.empty())
              words.push_back(w);
          if (words.size() >= 3 && (words[1] == "SUCC" || words[1] == "FAIL") && Number(words[0]))
            rows.push_back(
                {{"run", words[0]},
                 {"result", words[1]},
                 {"ttff_s", words[1] == "SUCC" ? words[2].substr(0, words[2].find('\r')) : ""}});
        }
      }
      const std::string source = entry.path().string();
      const std::string restart = rows.empty() ? "" : rows[0]["restart_type"];
      const std::optional<std::string> known = store.TestBySource(source);
      const std::string key = known ? *known : ImportKey(source);
      if (!known)
        store.PutTest(TestFromFiles(key, day, stem, module, source, restart, rows.size()));
      ++count.tests;
      for (auto& row : rows) {
        RunRow r;
        r.test_uuid = key;
        r.run = static_cast<unsigned>(Number(row["run"]).value_or(0));
        r.success = row["result"] == "SUCC";
        r.ttff_s = r.success ? Number(row["ttff_s"]) : std::nullopt;
        r.ttff_precise_s = r.success ? Number(row["ttff_precise_s"]) : std::nullopt;
        r.restart_type = row["restart_type"];
        r.xtra = row["xtra"] == "1";
        r.start_time = row["start_time"];
        r.time_scale = Number(row["time_scale"]).value_or(1.0);
        r.reason = row["reason"];
        r.fix_sentence = row["fix_sentence"];
        r.fix_lat = Number(row["fix_lat"]);
        r.fix_lon = Number(row["fix_lon"]);
        r.fix_alt_m = Number(row["fix_alt_m"]);
        r.reset_suspect = row["reset_suspect"];
        nlohmann::json d = {{"csv", row}, {"imported_from", source}};
        r.details_json = d.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        store.PutRun(r);
        ++count.runs;
      }
    }
  }
  return count;
}

}  // namespace store
