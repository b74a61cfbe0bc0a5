// zuvek-cli history: the tests of the results store, newest first, with
// their summaries, as a table or as JSON; filtered by module, firmware,
// profile, restart type and start date.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/command.h"
#include "config/side_settings.h"
#include "engine/run_columns.h"
#include "engine/run_record.h"
#include "profiles/module_commands.h"
#include "stats/kaplan_meier.h"
#include "stats/ttff_statistics.h"
#include "store/store_location.h"
#include "store/store_query.h"

namespace {

using namespace cli;

// The Kaplan-Meier TTFF median and p95 of a test's stored runs, every
// timed-out run censored at the test's time-out (its summary's; 200 s
// without one), as `run` gives them: a percentile the time-outs hide is
// none. Also the time-out.
struct Percentiles {
  std::optional<double> median, p95;
  double timeout_s = 200;
};

Percentiles Ttff(store::StoreReader& reader, const store::ListedTest& t,
                 const nlohmann::json& summary) {
  Percentiles out;
  if (summary.is_object() && summary.contains("conditions") && summary["conditions"].is_object())
    out.timeout_s = summary["conditions"].value("timeout_s", out.timeout_s);
  std::vector<stats::RunOutcome> runs;
  std::size_t bad = 0;
  for (const store::StoredRun& stored : reader.Runs(t.test.test_uuid)) {
    const std::optional<RunRecord> r = RecordOf(stored.fields, bad);
    if (!r)
      continue;
    using Kind = stats::RunOutcome::Kind;
    runs.push_back({r->run,
                    r->success                   ? Kind::kFixed
                    : EndedByTheBench(r->reason) ? Kind::kInvalid
                                                 : Kind::kTimedOut,
                    r->success ? r->ttff_s : 0.0});
  }
  if (runs.empty())
    return out;
  const stats::TtffStatistics s = stats::ComputeTtffStatistics(runs, {out.timeout_s, 0.95, {}});
  out.median = s.percentiles[0].estimate;
  out.p95 = s.percentiles[2].estimate;
  return out;
}

// "44.04", or ">200" where the time-outs hide the percentile, "-" without runs.
std::string Seconds(const std::optional<double>& v, const store::ListedTest& t, double timeout_s) {
  if (!v && t.runs > 0) {
    char text[32];
    std::snprintf(text, sizeof text, ">%g", timeout_s);
    return text;
  }
  if (!v)
    return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", *v);
  return text;
}

// "hot" for "Hot Start".
std::string RestartWord(const std::string& type) {
  const int restart = RestartTypeOfName(type);
  if (restart < 0 || restart == RESTART_PLAIN)
    return type.empty() ? "-" : type;
  return RestartTypeWord(restart);
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
        ->check(CLI::IsMember(AskableRestartWords()));
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
    const std::string where = store::ChooseStoreToRead(store_, g_side_settings.store);
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
      const Percentiles ttff = Ttff(reader, l, summary);
      const auto value = [&](const std::optional<double>& v) {
        return v ? nlohmann::json(*v) : nlohmann::json();
      };
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
                      {"ttff_median_s", value(ttff.median)},
                      {"ttff_p95_s", value(ttff.p95)},
                      {"ttff_percentiles", stats::kPercentileMethod},
                      {"ttff_above_timeout",
                       {{"median", l.runs > 0 && !ttff.median}, {"p95", l.runs > 0 && !ttff.p95}}},
                      {"timeout_s", ttff.timeout_s},
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
                                                   "restart", "runs", "failures", "TTFF p50", "p95",
                                                   "test"}};
    bool hidden = false;
    for (const store::ListedTest& l : tests) {
      const store::TestRow& t = l.test;
      const Percentiles ttff = Ttff(reader, l, Parsed(t.summary_json));
      hidden = hidden || (l.runs > 0 && (!ttff.median || !ttff.p95));
      std::string firmware = t.firmware.substr(0, t.firmware.find('\n'));
      if (firmware.size() > 32)
        firmware = firmware.substr(0, 31) + "~";
      rows.push_back({t.started_at, t.module.empty() ? "-" : t.module,
                      firmware.empty() ? "-" : firmware, t.profile, RestartWord(t.restart_type),
                      std::to_string(l.runs), std::to_string(l.failures),
                      Seconds(ttff.median, l, ttff.timeout_s), Seconds(ttff.p95, l, ttff.timeout_s),
                      t.test_uuid.substr(0, 8)});
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
              << reader.Where()
              << "; TTFF percentiles by Kaplan-Meier over every attempt, timed-out runs censored"
              << (hidden ? " (>T: above the time-out T s, which hides it)" : "") << "\n";
  }

  std::string store_;
  store::TestFilter filter_;
  bool json_ = false;
};

}  // namespace

ZUVEK_REGISTER_COMMAND(HistoryCommand);
