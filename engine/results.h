// The result of each run, its list row and result-log line, and the
// statistics that close a test's result log.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct TestResult {
  bool bSucc = false;
  double dDuration = 0.0;  // seconds; meaningful only when bSucc
  std::uint32_t nTimes = 0;
  // Why the run looks as if its reset did not take (engine/reset_check.h);
  // empty when it does not.
  std::string reset_suspect;
  // Why a run without a fix failed, as its record says ("time-out", ...).
  std::string reason;
};

struct TestStatistics {
  int nRuntimes = 0;
  int nFailTimes = 0;
  float fAverage = 0.0f;
  float fMax = 0.0f;
  float fMin = 0.0f;
};

// The three texts of a result-list row: run number, duration, result.
struct ResultRow {
  std::string times;
  std::string duration;
  std::string result;
};
ResultRow FormatResultRow(const TestResult& r);

// "%d\t\t\tSUCC\t\t\t%f\r\n" or "%d\t\t\tFAIL\t\t\tN/A\r\n".
std::string FormatResultLine(int succ, int run, double duration);
void WriteResultLine(int succ, int run, double duration, std::FILE* result_log);

// "runtimes = %d\nfail times = %d\naverage = %.2f,max = %.2f,min = %.2f\n".
std::string FormatStatistics(const TestStatistics& s);
void WriteStatistics(const TestStatistics& s, std::FILE* result_log);

// Single-precision sum in list order, divided by the count.
float ComputeAverage(const std::vector<float>& durations);

// Fills fMax, fMin and fAverage from a non-empty durations list.
void FillDurationStatistics(const std::vector<float>& durations, TestStatistics& s);
