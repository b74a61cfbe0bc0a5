// `zuvek-cli run --metrics`: the endpoint scraped over HTTP after a test
// against the built-in simulator holds what the runs CSV holds; a port in
// use or an address that is none is refused before anything starts.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "tests/metrics/exposition_text.h"
#include "tests/metrics/quick_sim_test.h"
#include "tests/metrics/runs_csv_counts.h"
#include "tests/support/child_process.h"
#include "tests/support/cli_in_temp_dir.h"
#include "tests/support/http_get.h"

namespace {

using testsupport::Sample;
using testsupport::Select;

// The end event of a test that writes --events, once it came (at most 60 s).
nlohmann::json WaitForEnd(const testsupport::ChildProcess& child) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline) {
    std::istringstream out(child.Out());
    for (std::string line; std::getline(out, line);) {
      const auto event = nlohmann::json::parse(line, nullptr, false);
      if (event.is_object() && event.value("event", "") == "end")
        return event;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return nlohmann::json();
}

double Value(const std::vector<Sample>& samples, const std::string& name,
             const std::map<std::string, std::string>& labels) {
  const auto found = Select(samples, name, labels);
  EXPECT_EQ(found.size(), 1u) << name;
  return found.empty() ? -1 : found.front().value;
}

TEST(MetricsEndpoint, AfterARunTheCountersMatchItsCsv) {
  testsupport::CliInTempDir cli;
  const std::string logs = cli.dir.file("logs"), faults = cli.dir.file("faults");
  std::ofstream(faults) << "run 2: no-fix\nrun 5: no-fix\n";
  const unsigned port = testsupport::FreePort();
  const auto argv = testsupport::QuickSimTest(
      {cli.exe, "run"}, 6, faults,
      {"--limit-ttff", "30", "--yield", "0.5", "--log-dir", logs, "--events", "--metrics",
       std::to_string(port), "--metrics-hold", "120"});
  testsupport::ChildProcess child(argv, cli.dir.path().string(), {cli.StoreEnv()});
  const nlohmann::json end = WaitForEnd(child);
  ASSERT_TRUE(end.is_object()) << child.Err();
  // After the end, while the endpoint is held.
  const testsupport::HttpReply reply = testsupport::HttpGet(port, "/metrics");
  ASSERT_EQ(reply.status, 200) << child.Err();
  const auto samples = testsupport::ParseExposition(reply.body);
  testsupport::CsvCounts csv = testsupport::CountRunsCsv(end["csv"]);
  ASSERT_EQ(csv.runs, 6u);
  ASSERT_EQ(csv.failures["time-out"], 2u);

  const std::map<std::string, std::string> run{{"module", "simulator"}, {"restart", "hot"}};
  EXPECT_EQ(Value(samples, "zuvek_runs_total", run), csv.runs);
  EXPECT_EQ(Value(samples, "zuvek_runs_planned", run), 6);
  EXPECT_EQ(Value(samples, "zuvek_successes_total", run), csv.fixes);
  for (const auto& [reason, n] : csv.failures) {
    auto labels = run;
    labels["reason"] = reason;
    EXPECT_EQ(Value(samples, "zuvek_failures_total", labels), n) << reason;
  }
  EXPECT_EQ(Select(samples, "zuvek_failures_total").size(), csv.failures.size());
  EXPECT_DOUBLE_EQ(Value(samples, "zuvek_last_ttff_seconds", run), csv.ttffs.back());

  // The histogram: cumulative, each bucket the CSV's fixes up to its bound,
  // its count the fixes, its sum their TTFFs.
  auto buckets = Select(samples, "zuvek_ttff_seconds_bucket", run);
  ASSERT_GE(buckets.size(), 4u);
  std::sort(buckets.begin(), buckets.end(), [](const Sample& a, const Sample& b) {
    return std::stod(a.labels.at("le")) < std::stod(b.labels.at("le"));
  });
  EXPECT_EQ(buckets.back().labels.at("le"), "+Inf");
  EXPECT_EQ(std::stod(buckets[buckets.size() - 2].labels.at("le")), 10);  // the time-out
  double previous = 0, sum = 0;
  for (const Sample& b : buckets) {
    const double le = std::stod(b.labels.at("le"));
    const auto within =
        std::count_if(csv.ttffs.begin(), csv.ttffs.end(), [le](double t) { return t <= le; });
    EXPECT_GE(b.value, previous) << "le " << le;
    EXPECT_EQ(b.value, within) << "le " << le;
    previous = b.value;
  }
  for (const double t : csv.ttffs)
    sum += t;
  EXPECT_EQ(Value(samples, "zuvek_ttff_seconds_count", run), csv.fixes);
  EXPECT_NEAR(Value(samples, "zuvek_ttff_seconds_sum", run), sum, 1e-9);

  // The state of the test's end, and its verdict as its summary has it.
  const nlohmann::json summary = nlohmann::json::parse(testsupport::ReadFile(end["summary"]));
  const std::string verdict = summary["verdict"]["verdict"];
  for (const Sample& s : Select(samples, "zuvek_verdict", {{"module", "simulator"}}))
    EXPECT_EQ(s.value, s.labels.at("verdict") == verdict ? 1 : 0) << s.labels.at("verdict");
  EXPECT_EQ(Value(samples, "zuvek_verdict", {{"verdict", verdict}}), 1);
  EXPECT_EQ(Value(samples, "zuvek_phase", {{"phase", "ended"}}), 1);
  EXPECT_EQ(Value(samples, "zuvek_port_up", {{"module", "simulator"}}), 1);
  EXPECT_EQ(Value(samples, "zuvek_reconnects_total", {{"module", "simulator"}}), 0);

  // Ctrl-C ends the hold at once; the exit code stays the test's.
  child.Signal(SIGINT);
  EXPECT_EQ(child.Wait(), end["exit"].get<int>());
  EXPECT_LT(child.Seconds(), 100);
}

// The pid of the bench's child that tests module `name` (0 while none).
pid_t ChildTesting(pid_t bench, const std::string& name) {
  std::ifstream children("/proc/" + std::to_string(bench) + "/task/" + std::to_string(bench) +
                         "/children");
  for (pid_t pid = 0; children >> pid;) {
    std::string cmdline = testsupport::ReadFile("/proc/" + std::to_string(pid) + "/cmdline");
    std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
    if (cmdline.find(" --module-name " + name + " ") != std::string::npos)
      return pid;
  }
  return 0;
}

// A module's test killed outright writes no end event: once the bench saw
// it gone, its phase is "ended" and no other, as for the module that ended.
TEST(MetricsEndpoint, AModuleWhoseTestDiedShowsEnded) {
  testsupport::CliInTempDir cli;
  const std::string faults = cli.dir.file("faults");
  std::ofstream(faults) << "";
  const unsigned port = testsupport::FreePort();
  testsupport::ChildProcess bench(
      testsupport::QuickSimTest({cli.exe, "bench", "--sim", "2"}, 3, faults,
                                {"--metrics", std::to_string(port), "--metrics-hold", "120"}),
      cli.dir.path().string(), {cli.StoreEnv()});
  pid_t sim2 = 0;
  for (int i = 0; i < 200 && sim2 == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    sim2 = ChildTesting(bench.Pid(), "sim2");
  }
  ASSERT_NE(sim2, 0) << bench.Err();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // into its first run
  kill(sim2, SIGKILL);

  std::vector<Sample> samples;
  for (int i = 0; i < 600; ++i) {  // until no module runs (60 s at most)
    const testsupport::HttpReply reply = testsupport::HttpGet(port, "/metrics");
    samples = testsupport::ParseExposition(reply.body);
    const auto running = Select(samples, "zuvek_bench_modules_running");
    if (reply.status == 200 && running.size() == 1 && running.front().value == 0)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_EQ(Value(samples, "zuvek_bench_modules_running", {}), 0) << bench.Err();
  for (const std::string module : {"sim1", "sim2"}) {
    const auto phases = Select(samples, "zuvek_phase", {{"module", module}});
    ASSERT_FALSE(phases.empty()) << module;
    for (const Sample& s : phases)
      EXPECT_EQ(s.value, s.labels.at("phase") == "ended" ? 1 : 0)
          << module << " " << s.labels.at("phase");
  }
  bench.Signal(SIGINT);
  bench.Wait();
}

TEST(MetricsEndpoint, APortInUseOrNoAddressIsRefusedBeforeTheTest) {
  testsupport::CliInTempDir cli;
  testsupport::Listener taken;
  ASSERT_GT(taken.port, 0u);
  const struct {
    const char* legend;
    std::vector<std::string> args;
    std::string said;
  } cases[] = {
      {"run, port in use", {"run", "--metrics", std::to_string(taken.port)}, "in use"},
      {"bench, port in use",
       {"bench", "--sim", "2", "--metrics", "127.0.0.1:" + std::to_string(taken.port)},
       "in use"},
      {"no IPv4 address", {"run", "--metrics", "999.1.1.1:9464"}, "\"999.1.1.1\" is no address"},
      {"a name", {"run", "--metrics", "labserver:9464"}, "\"labserver\" is no address"},
      {"no port", {"run", "--metrics", "127.0.0.1:70000"}, "\"70000\" is no port"},
      {"no number", {"bench", "--sim", "1", "--metrics", "x"}, "\"x\" is no port"},
  };
  for (const auto& c : cases) {
    const testsupport::ProgramResult r = cli.Run({}, c.args);
    EXPECT_EQ(r.code, 2) << c.legend << "\n" << r.err;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << c.legend << "\n" << r.err;
    EXPECT_NE(r.err.find("nothing was started"), std::string::npos) << c.legend;
  }
  // Nothing started: no test wrote a runs CSV.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(cli.dir.path()))
    EXPECT_EQ(entry.path().string().find("_runs.csv"), std::string::npos) << entry.path();
}

}  // namespace
