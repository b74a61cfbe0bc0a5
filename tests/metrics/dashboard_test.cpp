// The Grafana dashboard in docs/ is valid JSON, every metric its queries
// name is one the endpoint serves, and every metric the endpoint serves has
// a panel: a check against drift between the two.
#include <gtest/gtest.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "metrics/event_feed.h"
#include "metrics/ttff_metrics.h"
#include "tests/metrics/exposition_text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"

namespace {

// Every string of the dashboard under the keys `keys`, at any depth.
void Strings(const nlohmann::json& j, const std::set<std::string>& keys,
             std::vector<std::string>& out) {
  if (j.is_object()) {
    for (const auto& [key, value] : j.items()) {
      if (keys.count(key) && value.is_string())
        out.push_back(value.get<std::string>());
      Strings(value, keys, out);
    }
  } else if (j.is_array()) {
    for (const auto& value : j)
      Strings(value, keys, out);
  }
}

// The sample names the endpoint serves once every kind of event came.
std::set<std::string> ServedNames() {
  metrics::TtffMetrics m;
  const char* events[] = {
      R"({"event":"start","restart":"cold","runs":3,"timeout_s":60})",
      R"({"event":"phase","run":1,"phase":"fix wait"})",
      R"({"event":"result","run":1,"ok":true,"ttff_s":31.5})",
      R"({"event":"result","run":2,"ok":false,"reason":"time-out"})",
      R"({"event":"port","up":false})",
      R"({"event":"port","up":true,"reconnected":true})",
      R"({"event":"verdict","run":2,"verdict":"UNDECIDED"})",
      R"({"event":"end","exit":1})",
  };
  for (const char* e : events)
    metrics::ApplyEventLine(m, "sim1", e);
  m.BenchModules(2, 1);
  std::set<std::string> names;
  const std::string text = prometheus::TextSerializer().Serialize(m.Registry()->Collect());
  for (const auto& s : testsupport::ParseExposition(text))
    names.insert(s.name);
  return names;
}

TEST(GrafanaDashboard, ItsQueriesNameTheServedMetricsAndEachHasAPanel) {
  std::ifstream in(std::string(testsupport::kSourceDir) + "/docs/grafana/zuvek-dashboard.json");
  ASSERT_TRUE(in) << "docs/grafana/zuvek-dashboard.json is missing";
  const nlohmann::json dashboard = nlohmann::json::parse(in, nullptr, false);
  ASSERT_FALSE(dashboard.is_discarded()) << "the dashboard is not valid JSON";
  ASSERT_TRUE(dashboard.contains("panels"));

  std::vector<std::string> queries;
  Strings(dashboard, {"expr", "definition"}, queries);
  const std::set<std::string> served = ServedNames();
  const std::regex metric_name("zuvek_[a-z0-9_]+");
  std::set<std::string> used;
  for (const std::string& q : queries) {
    for (std::sregex_iterator it(q.begin(), q.end(), metric_name), end; it != end; ++it) {
      used.insert(it->str());
      EXPECT_TRUE(served.count(it->str())) << it->str() << " is not served, in: " << q;
    }
  }
  // Each metric (a histogram by its buckets) has a panel.
  for (const std::string& name : served) {
    if (name.rfind("zuvek_", 0) != 0 || name.ends_with("_sum") || name.ends_with("_count"))
      continue;
    EXPECT_TRUE(used.count(name)) << name << " is served but no panel shows it";
  }
  EXPECT_GE(used.size(), 10u);

  // The history panels query the results store's tables.
  std::vector<std::string> sql;
  Strings(dashboard, {"rawSql"}, sql);
  ASSERT_GE(sql.size(), 2u);
  for (const std::string& q : sql)
    EXPECT_TRUE(std::regex_search(q, std::regex("FROM (tests|runs) "))) << q;
}

}  // namespace
