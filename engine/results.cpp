#include "engine/results.h"

#include "engine/run_logs.h"

ResultRow FormatResultRow(const TestResult& r) {
  ResultRow row;
  row.times = std::to_string(static_cast<int>(r.nTimes));
  if (r.bSucc) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", r.dDuration);
    row.duration = buf;
    row.result = "SUCC";
  } else {
    row.duration = "N/A";
    row.result = "FAIL";
  }
  return row;
}

std::string FormatResultLine(int succ, int run, double duration) {
  char buf[128];
  if (succ) {
    std::snprintf(buf, sizeof buf, "%d\t\t\t%s\t\t\t%f\r\n", run, "SUCC", duration);
  } else {
    std::snprintf(buf, sizeof buf, "%d\t\t\t%s\t\t\t%s\r\n", run, "FAIL", "N/A");
  }
  return buf;
}

void WriteResultLine(int succ, int run, double duration, std::FILE* result_log) {
  WriteLog(result_log, FormatResultLine(succ, run, duration));
}

std::string FormatStatistics(const TestStatistics& s) {
  char buf[1024];
  std::snprintf(buf, sizeof buf,
                "runtimes = %d\nfail times = %d\naverage = %.2f,max = %.2f,min = %.2f\n",
                s.nRuntimes, s.nFailTimes, static_cast<double>(s.fAverage),
                static_cast<double>(s.fMax), static_cast<double>(s.fMin));
  return buf;
}

void WriteStatistics(const TestStatistics& s, std::FILE* result_log) {
  WriteLog(result_log, FormatStatistics(s));
}

float ComputeAverage(const std::vector<float>& durations) {
  if (durations.empty())
    return 0.0f;
  float sum = 0.0f;
  for (float d : durations)
    sum += d;
  return sum / static_cast<float>(durations.size());
}

void FillDurationStatistics(const std::vector<float>& durations, TestStatistics& s) {
  if (durations.empty())
    return;
  float mx = durations.front();
  float mn = durations.front();
  for (float d : durations) {
    if (d > mx)
      mx = d;
    if (d < mn)
      mn = d;
  }
  s.fMax = mx;
  s.fMin = mn;
  s.fAverage = ComputeAverage(durations);
}
