// zuvek-cli history: the tests of the results store, newest first, with
// their summaries, as a table or as JSON; filtered by module, firmware,
// profile, restart type and start date.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/command.h"
#include "config/side_settings.h"
#include "engine/ttff_report.h"
#include "store/store_location.h"
#include "store/store_query.h"

namespace {

using namespace cli;

// The TTFF median and p95 of a test: its summary's, else from its runs.
std::pair<std::optional<double>, std::optional<double>> Ttff(store::StoreReader& reader,
                                                             const store::ListedTest& t,
                                                             const nlohmann::json& summary) {
  if (summary.is_object() && summary.contains("ttff_s") && summary["ttff_s"].is_object()) {
    const nlohmann::json& s = summary["ttff_s"];
    const auto at = [&](const char* key) {
      return s.contains(key) && s[key].is_number() ? std::optional<double>(s[key].get<double>())
                                                   : std::nullopt;
    };
    return {at("median"), at("p95")};
  }
  std::vector<double> ttff;
  for (const store::RunRow& r : reader.Runs(t.test.test_uuid))
    if (r.success && r.ttff_s)
      ttff.push_back(*r.ttff_s);
  if (ttff.empty())
    return {};
  const SeriesStatistics s = ComputeSeries(ttff);
  return {s.median, s.p95};
}

std::string Seconds(const std::optional<double>& v) {
  if (!v)
    return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", *v);
  return text;
}

// "hot" for "Hot Start".
std::string RestartWord(const std::string& type) {
  for (const char* word : {"hot", "warm", "cold"})
    if (store::RestartTypeOf(word) == type)
      return word;
  return type.empty() ? "-" : type;
}

nlohmann::json Parsed(const std::string& text) {
  nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
  return j.is_discarded() ? nlohmann::json() : j;
}

class HistoryCommand : public Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    CLI::App* sub = app.add_subcommand(
        "history", "list the tests of the results store, newest first, with their summaries");
    sub->add_option("--store", store_,
                    "a SQLite file or postgresql://... (default: the store key of zuvek.toml, "
                    "else results.sqlite in the per-user data folder)");
    sub->add_option("--module", filter_.module, "only the tests of this module (its bench name)");
    sub->add_option("--firmware", filter_.firmware,
                    "only the tests whose firmware reply contains this text (either case)");
    sub->add_option("--profile", filter_.profile, "only the tests with this profile");
    sub->add_option("--restart", filter_.restart, "only the tests of this restart type")
        ->check(CLI::IsMember({"hot", "warm", "cold"}));
    sub->add_option("--since", filter_.since, "only the tests started on this day or later")
        ->type_name("YYYY-MM-DD");
    sub->add_flag("--json", json_, "a JSON array of the tests with their summaries");
    sub->footer(
        "Exit codes: 0 listed (also when no test matches); 1 the store cannot be read; 2 bad "
        "command line.");
    return sub;
  }

  int Run() override {
    if (const std::string problem = store::FilterProblem(filter_); !problem.empty()) {
      std::cerr << "zuvek-cli history: " << problem << "\n";
      return kExitUsage;
    }
    for (const std::string& p : LoadSideSettings())
      std::cerr << "zuvek-cli: " << p << "\n";
    const std::string where = store::ChooseStoreLocation(store_, g_side_settings.store);
    try {
      const std::unique_ptr<store::StoreReader> reader = store::OpenReader(where);
      const std::vector<store::ListedTest> tests = reader->Tests(filter_);
      if (json_)
        PrintJson(*reader, tests);
      else
        PrintTable(*reader, tests);
    } catch (const std::exception& e) {
      std::cerr << "zuvek-cli history: " << e.what()
                << (store::IsServerLocation(where)
                        ? "; history reads the server itself (the local spool is no lab's "
                          "history): try again when it is reachable"
                        : "")
                << "\n";
      return kExitFailure;
    }
    return kExitOk;
  }

 private:
  void PrintJson(store::StoreReader& reader, const std::vector<store::ListedTest>& tests) {
    nlohmann::json list = nlohmann::json::array();
    for (const store::ListedTest& l : tests) {
      const store::TestRow& t = l.test;
      const nlohmann::json summary = Parsed(t.summary_json);
      const auto [median, p95] = Ttff(reader, l, summary);
      list.push_back({{"test_uuid", t.test_uuid},
                      {"module", t.module},
                      {"firmware", t.firmware},
                      {"identity", Parsed(t.identity_json)},
                      {"profile", t.profile},
                      {"fix_rule", t.fix_rule},
                      {"restart", RestartWord(t.restart_type)},
                      {"xtra", t.xtra},
                      {"host", t.host},
                      {"tool_version", t.tool_version},
                      {"started", t.started_at},
                      {"ended", t.ended_at},
                      {"end_reason", t.end_reason},
                      {"runs_planned", t.runs_planned},
                      {"runs", l.runs},
                      {"failures", l.failures},
                      {"ttff_median_s", median ? nlohmann::json(*median) : nlohmann::json()},
                      {"ttff_p95_s", p95 ? nlohmann::json(*p95) : nlohmann::json()},
                      {"source", t.source},
                      {"settings", Parsed(t.settings_json)},
                      {"summary", summary}});
    }
    std::cout << list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  }

  void PrintTable(store::StoreReader& reader, const std::vector<store::ListedTest>& tests) {
    if (tests.empty()) {
      std::cout << "no test in " << reader.Where() << " matches\n";
      return;
    }
    std::vector<std::vector<std::string>> rows = {{"started", "module", "firmware", "profile",
                                                   "restart", "runs", "failures", "TTFF median",
                                                   "p95", "test"}};
    for (const store::ListedTest& l : tests) {
      const store::TestRow& t = l.test;
      const auto [median, p95] = Ttff(reader, l, Parsed(t.summary_json));
      std::string firmware = t.firmware.substr(0, t.firmware.find('\n'));
      if (firmware.size() > 32)
        firmware = firmware.substr(0, 31) + "~";
      rows.push_back({t.started_at, t.module.empty() ? "-" : t.module,
                      firmware.empty() ? "-" : firmware, t.profile, RestartWord(t.restart_type),
                      std::to_string(l.runs), std::to_string(l.failures), Seconds(median),
                      Seconds(p95), t.test_uuid.substr(0, 8)});
    }
    std::vector<std::size_t> width(rows[0].size(), 0);
    for (const auto& row : rows)
      for (std::size_t i = 0; i < row.size(); ++i)
        width[i] = std::max(width[i], row[i].size());
    for (const auto& row : rows) {
      std::string line;
      for (std::size_t i = 0; i < row.size(); ++i)
        line += row[i] + (i + 1 < row.size() ? std::string(width[i] - row[i].size() + 2, ' ') : "");
      std::cout << line << "\n";
    }
    std::cout << tests.size() << " test" << (tests.size() == 1 ? "" : "s") << " in "
              << reader.Where() << "\n";
  }

  std::string store_;
  store::TestFilter filter_;
  bool json_ = false;
};

}  // namespace

ZUVEK_REGISTER_COMMAND(HistoryCommand);
