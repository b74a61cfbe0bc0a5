// A real Prometheus server (Debian's prometheus, started here on the
// loopback, its data in a temporary folder) scrapes `zuvek-cli bench
// --metrics` every second while simulated modules run; its PromQL answers
// hold each module's runs, fixes and failures as the module's runs CSV does.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "tests/metrics/quick_sim_test.h"
#include "tests/metrics/runs_csv_counts.h"
#include "tests/support/child_process.h"
#include "tests/support/cli_in_temp_dir.h"
#include "tests/support/http_get.h"

namespace {

// The prometheus program on PATH; "" when there is none.
std::string PrometheusProgram() {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= dirs.size();) {
    const std::size_t colon = std::min(dirs.find(':', start), dirs.size());
    const std::string candidate = dirs.substr(start, colon - start) + "/prometheus";
    if (access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = colon + 1;
  }
  return "";
}

std::string UrlEncoded(const std::string& text) {
  std::string out;
  for (const unsigned char c : text) {
    if (std::isalnum(c) || c == '_' || c == '-' || c == '.') {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

// The server's answer to an instant query, as {labels of `key`: value}.
std::map<std::string, double> Query(unsigned port, const std::string& promql,
                                    const std::string& key = "module") {
  const auto reply = testsupport::HttpGet(port, "/api/v1/query?query=" + UrlEncoded(promql));
  std::map<std::string, double> out;
  const auto json = nlohmann::json::parse(reply.body, nullptr, false);
  if (reply.status != 200 || json.is_discarded() || json.value("status", "") != "success") {
    ADD_FAILURE() << promql << ": " << reply.status << " " << reply.body;
    return out;
  }
  for (const auto& r : json["data"]["result"])
    out[r["metric"].value(key, "")] = std::stod(r["value"][1].get<std::string>());
  return out;
}

// Waits (at most 30 s) until the server answers that it is ready.
bool Ready(unsigned port) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    if (testsupport::HttpGet(port, "/-/ready").status == 200)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

TEST(PrometheusServer, ScrapesABenchAndItsCountsMatchTheCsvs) {
  const std::string prometheus = PrometheusProgram();
  ASSERT_FALSE(prometheus.empty())
      << "the prometheus program is not installed: run scripts/bootstrap (as root), which "
         "installs Debian's prometheus package that this test starts";
  testsupport::CliInTempDir cli;
  const unsigned web = testsupport::FreePort(), endpoint = testsupport::FreePort();
  std::ofstream(cli.dir.file("prometheus.yml"))
      << "global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
      << "scrape_configs:\n  - job_name: zuvek\n    static_configs:\n"
      << "      - targets: ['127.0.0.1:" << endpoint << "']\n";
  // Ended (SIGTERM, then waited for) on every way out of this test.
  testsupport::ChildProcess server(
      {prometheus, "--config.file=" + cli.dir.file("prometheus.yml"),
       "--storage.tsdb.path=" + cli.dir.file("tsdb"),
       "--web.listen-address=127.0.0.1:" + std::to_string(web), "--log.level=warn"},
      cli.dir.path().string());
  ASSERT_TRUE(Ready(web)) << server.Err();

  std::ofstream(cli.dir.file("faults")) << "run 2: no-fix\nrun 4: no-fix\n";
  const auto argv = testsupport::QuickSimTest(
      {cli.exe, "bench", "--sim", "3"}, 5, "sim2=" + cli.dir.file("faults"),
      {"--json", "--metrics", std::to_string(endpoint), "--metrics-hold", "3"});
  const testsupport::ProgramResult bench =
      testsupport::RunProgram(argv, cli.dir.path().string(),
                              {cli.StoreEnv(), "ZUVEK_SIM_DIR=" + cli.dir.file("sim-ports")});
  ASSERT_EQ(bench.code, 1) << bench.err;  // sim2's runs failed
  const auto summary = nlohmann::json::parse(bench.out);

  // The last value each series had, also after its target ended.
  const auto runs = Query(web, "last_over_time(zuvek_runs_total{restart=\"hot\"}[5m])");
  const auto fixes = Query(web, "last_over_time(zuvek_successes_total[5m])");
  const auto failures = Query(web, "sum by (module) (last_over_time(zuvek_failures_total[5m]))");
  const auto timeouts = Query(web, "last_over_time(zuvek_failures_total{reason=\"time-out\"}[5m])");
  ASSERT_EQ(summary["modules"].size(), 3u);
  for (const auto& m : summary["modules"]) {
    const std::string name = m["name"];
    testsupport::CsvCounts csv = testsupport::CountRunsCsv(m["csv"]);
    SCOPED_TRACE(name);
    EXPECT_EQ(csv.runs, 5u);
    EXPECT_EQ(runs.count(name) ? runs.at(name) : -1, csv.runs);
    EXPECT_EQ(fixes.count(name) ? fixes.at(name) : -1, csv.fixes);
    const unsigned failed = csv.runs - csv.fixes;
    EXPECT_EQ(failures.count(name) ? failures.at(name) : 0, failed);
    EXPECT_EQ(timeouts.count(name) ? timeouts.at(name) : 0, csv.failures["time-out"]);
  }
  EXPECT_EQ(failures.size(), 1u);  // sim2 alone failed
  EXPECT_EQ(Query(web, "last_over_time(zuvek_bench_modules[5m])", "job")["zuvek"], 3);
  EXPECT_EQ(Query(web, "min_over_time(zuvek_bench_modules_running[5m])", "job")["zuvek"], 0);
}

}  // namespace
