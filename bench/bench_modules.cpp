// Many modules at once: the bench command's accuracy and cost per module.
//
//   bench_modules [modules=16] [runs=5] [zuvek-cli=beside this program]
//
// Runs `zuvek-cli bench --sim 1` (one module alone) and then `--sim N` (N
// simulated modules at 10 epochs a second, hot starts drawn between 2 and
// 9 s, at real speed), and compares every run's TTFFs in each module's runs
// CSV with its own simulator's truth log. Prints, for the single module and
// for the bench, the p95 of the precise TTFF's error and of the 100-ms
// method's error, and the CPU each module's process used (the simulators
// live in the bench process and are counted apart). Exits 1 when a target
// is missed: precise p95 <= 2 ms, 100-ms p95 <= 0.15 s, CPU per module <= 1%
// of a core on average, and no module's precise p95 more than 1 ms worse
// than the single module's.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "engine/csv_fields.h"
#include "engine/ttff_report.h"

namespace {

struct ModuleFigures {
  std::string name;
  std::vector<double> precise_err_s, poll_err_s;
  double cpu_percent = 0;
  int exit_code = -1;
};

struct BenchFigures {
  std::vector<ModuleFigures> modules;
  double supervisor_cpu_s = 0, wall_s = 0;
  bool ok = false;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The truth's TTFF of every run in seconds: the last start of the run that
// reached a fix (a run may start the receiver more than once).
std::map<unsigned, double> TruthTtff(const std::string& path) {
  std::map<unsigned, double> ttff;
  std::istringstream lines(ReadAll(path));
  for (std::string line; std::getline(lines, line);) {
    const auto j = nlohmann::json::parse(line, nullptr, false);
    if (j.is_discarded() || !j.contains("ttff_us") || j["ttff_us"].is_null())
      continue;
    ttff[j["run"].get<unsigned>()] = j["ttff_us"].get<double>() / 1e6;
  }
  return ttff;
}

// Each successful run's errors against the truth, from the CSV by header name.
void CompareCsv(const std::string& csv, const std::map<unsigned, double>& truth,
                ModuleFigures& figures) {
  std::istringstream lines(ReadAll(csv));
  std::string line;
  if (!std::getline(lines, line))
    return;
  const std::vector<std::string> header = SplitCsvFields(line);
  const auto column = [&header](const char* name) {
    return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
  };
  const std::size_t run_col = column("run"), result_col = column("result"),
                    ttff_col = column("ttff_s"), precise_col = column("ttff_precise_s");
  while (std::getline(lines, line)) {
    const std::vector<std::string> f = SplitCsvFields(line);
    if (f.size() <= std::max({run_col, result_col, ttff_col, precise_col}) ||
        f[result_col] != "SUCC")
      continue;
    const auto t = truth.find(static_cast<unsigned>(std::atoi(f[run_col].c_str())));
    if (t == truth.end())
      continue;
    figures.poll_err_s.push_back(std::fabs(std::atof(f[ttff_col].c_str()) - t->second));
    figures.precise_err_s.push_back(std::fabs(std::atof(f[precise_col].c_str()) - t->second));
  }
}

BenchFigures RunBench(const std::string& cli, unsigned modules, unsigned runs,
                      const std::string& store) {
  BenchFigures out;
  const std::string command = "'" + cli + "' bench --sim " + std::to_string(modules) +
                              " --restart hot --runs " + std::to_string(runs) +
                              " --sim-ttff 2:9 --sim-rate 10 --store '" + store +
                              "' --json 2>/dev/null";
  std::printf("%s\n", command.c_str());
  std::fflush(stdout);
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe)
    return out;
  std::string text;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
    text.append(buf, n);
  const int status = pclose(pipe);
  const auto j = nlohmann::json::parse(text, nullptr, false);
  if (j.is_discarded() || !j.contains("modules")) {
    std::fprintf(stderr, "no bench summary on standard output (status %d)\n", status);
    return out;
  }
  out.supervisor_cpu_s = j["bench"].value("supervisor_cpu_s", 0.0);
  out.wall_s = j["bench"].value("wall_s", 0.0);
  for (const auto& m : j["modules"]) {
    ModuleFigures figures;
    figures.name = m.value("name", "");
    figures.exit_code = m.value("exit_code", -1);
    const double wall = m.value("wall_s", 0.0);
    figures.cpu_percent = wall > 0 ? 100.0 * m.value("cpu_s", 0.0) / wall : 0;
    CompareCsv(m.value("csv", ""), TruthTtff(m.value("truth", "")), figures);
    out.modules.push_back(std::move(figures));
  }
  out.ok = true;
  return out;
}

struct Pooled {
  SeriesStatistics precise, poll;
  double cpu_mean = 0, cpu_max = 0;
  std::size_t runs = 0;
};

Pooled Pool(const BenchFigures& bench) {
  std::vector<double> precise, poll;
  Pooled p;
  for (const ModuleFigures& m : bench.modules) {
    precise.insert(precise.end(), m.precise_err_s.begin(), m.precise_err_s.end());
    poll.insert(poll.end(), m.poll_err_s.begin(), m.poll_err_s.end());
    p.cpu_mean += m.cpu_percent / static_cast<double>(bench.modules.size());
    p.cpu_max = std::max(p.cpu_max, m.cpu_percent);
  }
  p.runs = precise.size();
  p.precise = ComputeSeries(precise);
  p.poll = ComputeSeries(poll);
  return p;
}

void Print(const char* what, const BenchFigures& bench, const Pooled& p) {
  std::printf(
      "%s: %zu modules, %zu runs compared; precise error p95 %.2f ms (max %.2f); 100-ms "
      "method p95 %.3f s (max %.3f); CPU per module %.2f %% mean, %.2f %% max; bench process "
      "(simulators) %.1f s CPU in %.0f s\n",
      what, bench.modules.size(), p.runs, p.precise.p95 * 1e3, p.precise.max * 1e3, p.poll.p95,
      p.poll.max, p.cpu_mean, p.cpu_max, bench.supervisor_cpu_s, bench.wall_s);
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned modules = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 16;
  const unsigned runs = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 5;
  std::string cli;
  if (argc > 3) {
    cli = argv[3];
  } else {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
      return 2;
    std::string path(self, static_cast<std::size_t>(n));
    cli = path.substr(0, path.rfind('/')) + "/../cli/zuvek-cli";
  }
  char dir_template[] = "/tmp/zuvek-bench-modules-XXXXXX";
  const char* dir = mkdtemp(dir_template);
  if (!dir)
    return 2;
  const std::string store = std::string(dir) + "/results.sqlite";

  const BenchFigures single = RunBench(cli, 1, runs, store);
  const BenchFigures many = RunBench(cli, modules, runs, store);
  if (!single.ok || !many.ok)
    return 2;
  const Pooled one = Pool(single), all = Pool(many);
  Print("alone", single, one);
  Print("bench", many, all);

  bool ok = one.runs == runs && all.runs == static_cast<std::size_t>(modules) * runs;
  if (!ok)
    std::printf("not every run was compared (a failed run or a missing file)\n");
  double worst_vs_single_ms = 0;
  for (const ModuleFigures& m : many.modules) {
    const SeriesStatistics s = ComputeSeries(m.precise_err_s);
    const double worse_ms = (s.p95 - one.precise.p95) * 1e3;
    worst_vs_single_ms = std::max(worst_vs_single_ms, worse_ms);
    std::printf("  %-6s precise p95 %.2f ms, 100-ms p95 %.3f s, CPU %.2f %%, exit %d\n",
                m.name.c_str(), s.p95 * 1e3, ComputeSeries(m.poll_err_s).p95, m.cpu_percent,
                m.exit_code);
  }
  std::printf("worst module's precise p95 against the single module's: %+.2f ms\n",
              worst_vs_single_ms);
  ok = ok && all.precise.p95 <= 0.002 && all.poll.p95 <= 0.15 && all.cpu_mean <= 1.0 &&
       worst_vs_single_ms <= 1.0;
  std::printf("%s\n", ok ? "PASS" : "FAIL");
  return ok ? 0 : 1;
}
