#include "report/store_tests.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace report {

namespace {

std::string SourceStem(const std::string& source) {
  for (const std::string suffix : {"_runs.csv", "_result_log.txt"})
    if (source.size() > suffix.size() && source.ends_with(suffix))
      return source.substr(0, source.size() - suffix.size());
  return "";
}

std::string Short(const std::string& uuid) {
  return uuid.substr(0, 8);
}

// The conditions of pooled tests: a value they share as it is, else the
// sum of the planned runs, the longest time-out (the timed-out runs are
// taken at it), the span of the starts, or the different values listed.
nlohmann::json PooledConditions(const std::vector<TestData>& tests) {
  std::map<std::string, std::vector<nlohmann::json>> values;
  for (const TestData& t : tests)
    if (t.summary.is_object() && t.summary.contains("conditions") &&
        t.summary["conditions"].is_object())
      for (const auto& [key, value] : t.summary["conditions"].items())
        values[key].push_back(value);
  nlohmann::json c = nlohmann::json::object();
  for (auto& [key, list] : values) {
    const bool same =
        list.size() == tests.size() &&
        std::all_of(list.begin(), list.end(), [&](const auto& v) { return v == list.front(); });
    const bool numbers =
        std::all_of(list.begin(), list.end(), [](const auto& v) { return v.is_number(); });
    if (key == "runs_planned" && numbers) {
      double sum = 0;
      for (const auto& v : list)
        sum += v.template get<double>();
      c[key] = sum;
    } else if (same) {
      c[key] = list.front();
    } else if (key == "timeout_s" && numbers) {
      c[key] = *std::max_element(list.begin(), list.end());
    } else if (key == "started" &&
               std::all_of(list.begin(), list.end(), [](const auto& v) { return v.is_string(); })) {
      std::sort(list.begin(), list.end());
      c[key] = list.front().template get<std::string>() + " to " +
               list.back().template get<std::string>();
    } else if (key != "time_scale") {
      std::set<std::string> distinct;
      for (const auto& v : list)
        distinct.insert(v.is_string() ? v.get<std::string>() : v.dump());
      std::string text;
      for (const std::string& v : distinct)
        text += (text.empty() ? "" : ", ") + v;
      c[key] = text;
    }
  }
  return c;
}

}  // namespace

bool IsStoreSelector(const std::string& given) {
  return given.rfind(kStorePrefix, 0) == 0;
}

std::optional<store::TestFilter> ParseStoreSelector(const std::string& given,
                                                    std::string& problem) {
  const std::string selector = given.substr(std::string(kStorePrefix).size());
  store::TestFilter f;
  if (selector.find('=') == std::string::npos) {
    f.uuid = selector;
    if (selector.size() < 4)
      problem = "\"" + given +
                "\" names no test: give store: with a test's key (at least its first 4 "
                "characters, as zuvek-cli history shows it) or filters such as "
                "store:firmware=A,restart=cold";
  } else {
    std::stringstream parts(selector);
    std::string part;
    while (problem.empty() && std::getline(parts, part, ',')) {
      const auto eq = part.find('=');
      const std::string key = part.substr(0, eq),
                        value = eq == std::string::npos ? "" : part.substr(eq + 1);
      std::string* field = key == "module"     ? &f.module
                           : key == "firmware" ? &f.firmware
                           : key == "profile"  ? &f.profile
                           : key == "restart"  ? &f.restart
                           : key == "since"    ? &f.since
                           : key == "test"     ? &f.uuid
                                               : nullptr;
      if (!field)
        problem = "\"" + given + "\" has the unknown key \"" + key +
                  "\": the keys are module, firmware, profile, restart, since and test";
      else if (value.empty())
        problem = "\"" + given + "\" gives " + key + " no value: write " + key + "=VALUE";
      else
        *field = value;
    }
  }
  if (problem.empty())
    if (const std::string p = store::FilterProblem(f); !p.empty())
      problem = "\"" + given + "\": " + p;
  if (!problem.empty())
    return std::nullopt;
  return f;
}

TestData TestFromStore(const store::TestRow& test, const std::vector<store::StoredRun>& runs) {
  TestData d;
  d.files.label = "store:" + Short(test.test_uuid);
  std::size_t bad_numbers = 0, incomplete = 0;
  for (const store::StoredRun& r : runs) {
    if (std::optional<RunRecord> run = RecordOf(r.fields, bad_numbers))
      d.runs.push_back(std::move(*run));
    else
      ++incomplete;
  }
  if (incomplete + bad_numbers > 0)
    d.problems.push_back("The store holds " + std::to_string(incomplete) +
                         " run(s) that are no complete run and " + std::to_string(bad_numbers) +
                         " value(s) that are no numbers; the report leaves them out.");
  if (!test.summary_json.empty()) {
    d.summary = nlohmann::json::parse(test.summary_json, nullptr, false);
    if (d.summary.is_discarded() || !d.summary.is_object()) {
      d.summary = nullptr;
      d.problems.push_back(
          "The test's summary in the store is no JSON object; the report shows "
          "the runs without it.");
    }
  }
  // The signal and sky CSVs while the test's folder still holds them.
  const std::string stem = SourceStem(test.source);
  const auto read = [&stem, &d](const char* suffix, std::string& path) {
    std::error_code ec;
    if (stem.empty() || !std::filesystem::is_regular_file(stem + suffix, ec))
      return std::string();
    path = stem + suffix;
    return ReadWhole(path, d.problems).value_or(std::string());
  };
  if (const std::string text = read("_signal.csv", d.files.signal_csv); !text.empty())
    d.signal = ParseSignalCsv(text, d.problems);
  if (const std::string text = read("_sky.csv", d.files.sky_csv); !text.empty())
    d.sky = ParseSkyCsv(text, d.problems);
  d.files.stem = stem;
  return d;
}

TestData PoolTests(const std::vector<TestData>& tests, const std::string& label) {
  TestData pooled;
  if (tests.size() == 1) {
    pooled = tests.front();
    pooled.files.label = label;
    return pooled;
  }
  pooled.files.label = label;
  unsigned next = 0;
  for (const TestData& t : tests) {
    std::map<unsigned, unsigned> renumbered;
    const double timeout = TimeoutS(t);
    for (RunRecord r : t.runs) {
      renumbered[r.run] = ++next;
      r.run = next;
      // Each run is censored at its own test's time-out.
      r.timeout_s = r.timeout_s.value_or(timeout);
      pooled.runs.push_back(std::move(r));
    }
    for (SignalRow s : t.signal)
      if (const auto it = renumbered.find(s.run); it != renumbered.end()) {
        s.run = it->second;
        pooled.signal.push_back(s);
      }
    for (const auto& [run, sky] : t.sky)
      if (const auto it = renumbered.find(run); it != renumbered.end())
        pooled.sky[it->second] = sky;
    for (const std::string& p : t.problems)
      pooled.problems.push_back(t.files.label + ": " + p);
  }
  nlohmann::json summary = {{"conditions", PooledConditions(tests)}};
  // The identity when every test's is the same.
  const auto identity = [](const TestData& t) {
    return t.summary.is_object() ? t.summary.value("module", nlohmann::json()) : nlohmann::json();
  };
  const nlohmann::json module = identity(tests.front());
  if (module.is_object() && std::all_of(tests.begin(), tests.end(),
                                        [&](const TestData& t) { return identity(t) == module; }))
    summary["module"] = module;
  nlohmann::json list = nlohmann::json::array();
  for (const TestData& t : tests)
    list.push_back(t.files.label);
  summary["pooled"] = list;
  pooled.summary = summary;
  return pooled;
}

std::optional<TestData> ReadStoreSelector(store::StoreReader& reader, const std::string& given,
                                          std::string& problem) {
  const std::optional<store::TestFilter> filter = ParseStoreSelector(given, problem);
  if (!filter)
    return std::nullopt;
  std::vector<store::ListedTest> listed = reader.Tests(*filter);
  if (listed.empty()) {
    problem = "\"" + given + "\" selects no test in " + reader.Where() +
              "; zuvek-cli history lists the tests it holds";
    return std::nullopt;
  }
  const bool by_key = filter->uuid.size() == given.size() - std::string(kStorePrefix).size();
  if (by_key && listed.size() > 1) {
    problem = "\"" + given + "\" is the start of " + std::to_string(listed.size()) +
              " tests' keys; give more of the key";
    return std::nullopt;
  }
  // The oldest first, so that the runs are numbered in the order they ran.
  std::reverse(listed.begin(), listed.end());
  std::vector<TestData> tests;
  for (const store::ListedTest& t : listed) {
    tests.push_back(TestFromStore(t.test, reader.Runs(t.test.test_uuid)));
    tests.back().files.label += " (" + t.test.started_at + ")";
  }
  return PoolTests(tests, given);
}

}  // namespace report
