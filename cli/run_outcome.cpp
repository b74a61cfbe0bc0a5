#include "cli/run_outcome.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/command.h"
#include "platform/file_writes.h"
#include "stats/statistics_output.h"

namespace cli {

namespace {

constexpr int kExitUndecided = 3;

// "; incomplete files: a, b" when a log or result file lost a write.
std::string IncompleteNote(const TestOutcome& out) {
  std::vector<std::string> files = out.incomplete_files;
  for (const auto& f : platform::WriteFailures()) {
    if (std::find(files.begin(), files.end(), f.path) == files.end())
      files.push_back(f.path);
  }
  std::string note;
  for (const auto& f : files)
    note += (note.empty() ? "; incomplete files: " : ", ") + f;
  return note;
}

// The result log's statistics lines and the summary's percentiles.
void PrintDurations(const TestOutcome& out, const std::string& summary_json) {
  std::cout << "runtimes = " << out.statistics.nRuntimes << "\nfail times = " << out.failures
            << "\n";
  if (out.durations.empty())
    return;
  char line[160];
  std::snprintf(line, sizeof line, "average = %.2f,max = %.2f,min = %.2f\n",
                static_cast<double>(out.statistics.fAverage),
                static_cast<double>(out.statistics.fMax), static_cast<double>(out.statistics.fMin));
  std::cout << line;
  try {
    const auto j = nlohmann::json::parse(summary_json);
    const auto& t = j.at("ttff_s");
    std::snprintf(line, sizeof line,
                  "median = %.2f, p67 = %.2f, p95 = %.2f, stddev = %.2f (seconds)\n",
                  t.at("median").get<double>(), t.at("p67").get<double>(),
                  t.at("p95").get<double>(), t.at("stddev").get<double>());
    std::cout << line;
  } catch (...) {
  }
}

// "port lost in run 2, 5" and "reset suspect in run 3 ...".
void PrintFlaggedRuns(const TestOutcome& out) {
  std::string lost, suspects;
  for (const RunRecord& r : out.records) {
    if (r.reason == "port lost")
      lost += (lost.empty() ? "" : ", ") + std::to_string(r.run);
    if (!r.reset_suspect.empty())
      suspects += (suspects.empty() ? "" : ", ") + std::to_string(r.run);
  }
  if (!lost.empty())
    std::cout << "port lost in run " << lost << "\n";
  if (!suspects.empty())
    std::cout << "reset suspect in run " << suspects << " (see the CSV's reset_suspect)\n";
}

}  // namespace

std::string ReadSummaryText(const TestOutcome& out) {
  std::string text;
  std::FILE* fp = std::fopen(out.summary_path.c_str(), "rb");
  if (!fp)
    return text;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0)
    text.append(buf, n);
  std::fclose(fp);
  return text;
}

void PrintOutcome(const TestOutcome& out, const std::string& summary_json) {
  PrintDurations(out, summary_json);
  if (!out.records.empty())
    for (const std::string& text : stats::StatisticsLines(out.ttff_statistics))
      std::cout << text << "\n";
  PrintFlaggedRuns(out);
  std::cout << "ended: " << out.end_reason << IncompleteNote(out) << "\n";
  std::cout << "logs: " << out.logs.result << "\n      " << out.logs.at << "\n      "
            << out.logs.nmea << "\n      " << out.csv_path << "\n      " << out.summary_path
            << "\n";
  if (!out.signal_path.empty())
    std::cout << "      " << out.signal_path << "\n";
}

int RunExitCode(const TestOutcome& out, bool interrupted, bool summary_missing) {
  if (interrupted)
    return kExitInterrupted;
  if (summary_missing)
    return kExitFailure;
  if (!platform::WriteFailures().empty())
    return kExitFailure;  // a log or result file is incomplete
  const stats::TtffStatistics& statistics = out.ttff_statistics;
  if (statistics.verdict && out.completed) {
    switch (statistics.verdict->Current()) {
      case stats::Verdict::kPass:
        return kExitOk;
      case stats::Verdict::kFail:
        return kExitFailure;
      case stats::Verdict::kUndecided:
        return kExitUndecided;
    }
  }
  return out.completed && out.failures == 0 ? kExitOk : kExitFailure;
}

}  // namespace cli
