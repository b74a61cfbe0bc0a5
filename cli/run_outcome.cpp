#include "cli/run_outcome.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>

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
void PrintDurations(const TestOutcome& out) {
  std::cout << "runtimes = " << out.statistics.nRuntimes << "\nfail times = " << out.failures
            << "\n";
  if (out.durations.empty())
    return;
  char line[160];
  std::snprintf(line, sizeof line, "average = %.2f,max = %.2f,min = %.2f\n",
                static_cast<double>(out.statistics.fAverage),
                static_cast<double>(out.statistics.fMax), static_cast<double>(out.statistics.fMin));
  std::cout << line;
}

// "port lost in run 2, 5", "reset refused in run 1" and "reset suspect in
// run 3 ...".
void PrintFlaggedRuns(const TestOutcome& out) {
  std::string lost, refused, suspects;
  for (const RunRecord& r : out.records) {
    if (r.reason == kReasonPortLost)
      lost += (lost.empty() ? "" : ", ") + std::to_string(r.run);
    if (r.reason == kReasonResetRefused)
      refused += (refused.empty() ? "" : ", ") + std::to_string(r.run);
    if (!r.reset_suspect.empty())
      suspects += (suspects.empty() ? "" : ", ") + std::to_string(r.run);
  }
  if (!lost.empty())
    std::cout << "port lost in run " << lost << "\n";
  if (!refused.empty())
    std::cout << "reset refused in run " << refused
              << " (the module answered its reset command with an error: see the AT log)\n";
  if (!suspects.empty())
    std::cout << "reset suspect in run " << suspects << " (see the CSV's reset_suspect)\n";
}

// " (not written: ...)" for a file that is not there, " (incomplete)" for
// one that lost a write; "" for a whole one.
std::string FileState(const std::string& path, const TestOutcome& out) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec))
    return " (not written: see the sentences above)";
  for (const std::string& f : out.incomplete_files)
    if (f == path)
      return " (incomplete: it lost a write)";
  for (const auto& f : platform::WriteFailures())
    if (f.path == path)
      return " (incomplete: it lost a write)";
  return "";
}

}  // namespace

void PrintOutcome(const TestOutcome& out) {
  PrintDurations(out);
  if (!out.records.empty())
    for (const std::string& text : stats::StatisticsLines(out.ttff_statistics))
      std::cout << text << "\n";
  PrintFlaggedRuns(out);
  std::cout << "ended: " << out.end_reason << IncompleteNote(out) << "\n";
  const char* lead = "logs: ";
  for (const std::string* path : {&out.logs.result, &out.logs.at, &out.logs.nmea, &out.csv_path,
                                  &out.summary_path, &out.signal_path}) {
    if (path->empty())
      continue;
    std::cout << lead << *path << FileState(*path, out) << "\n";
    lead = "      ";
  }
}

int RunExitCode(const TestOutcome& out, bool interrupted) {
  if (interrupted)
    return kExitInterrupted;
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
