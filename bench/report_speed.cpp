// zuvek-cli report on 10 tests of 1000 runs each, with their signal files:
// writes the tests (the contract's formats: runs CSV with the timeline
// columns, summary with conditions and statistics, signal CSV with one row
// per second until the fix plus ten seconds), then times `zuvek-cli report`
// of all ten. Target: under 2 s.
//   report_speed ZUVEK_CLI [folder=a new temporary one] [rounds=3]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

constexpr int kTests = 10, kRuns = 1000;

void WriteTest(const std::filesystem::path& dir, int index, std::mt19937& rng) {
  char stem[32];
  std::snprintf(stem, sizeof stem, "10-%02d-00", index);
  const std::string base = (dir / stem).string();
  std::lognormal_distribution<double> ttff(std::log(28.0 + index), 0.25);
  std::ofstream runs(base + "_runs.csv"), signal(base + "_signal.csv");
  runs << "run,result,ttff_s,ttff_precise_s,restart_type,xtra,start_time,time_scale,reason,"
          "reset_suspect,first_nmea_ms,first_snr_ms,first_2d_ms,first_3d_ms,fix_ms,fix_gprmc_ms,"
          "fix_rmc_ms,fix_gga_ms,fix_gns_ms,fix_gsa3d_ms,used_at_fix,snr_at_fix,"
          "snr_top4_mean_at_fix,lat_at_fix,lon_at_fix,alt_m_at_fix\n";
  signal << "run,ms,tracked,used,snr1,snr2,snr3,snr4\n";
  int failures = 0;
  for (int r = 1; r <= kRuns; ++r) {
    const double t = ttff(rng);
    char row[512];
    if (t > 120) {
      ++failures;
      std::snprintf(row, sizeof row,
                    "%d,FAIL,,,Cold Start,0,2026-12-08 10:00:00,1,time-out,,400,"
                    "5000,,,,,,,,,,,,,,\n",
                    r);
    } else {
      const int ms = static_cast<int>(t * 1000);
      std::snprintf(row, sizeof row,
                    "%d,SUCC,%.3f,%.3f,Cold Start,0,2026-12-08 10:00:00,1,,,400,%d,%d,%d,%d,%d,%d,"
                    "%d,,%d,8,45 43 41 40,42.2,48.1173000,11.5166670,520.3\n",
                    r, t + 0.05, t, ms / 6, ms * 3 / 4, ms * 9 / 10, ms, ms, ms, ms - 200,
                    ms - 100);
    }
    runs << row;
    const int end = std::min(120, static_cast<int>(t) + 10);
    for (int s = 1; s <= end; ++s) {
      const double rise = std::min(1.0, s / t);
      std::snprintf(row, sizeof row, "%d,%d,%d,%d,%.0f,%.0f,%.0f,%.0f\n", r, s * 1000,
                    static_cast<int>(9 * rise), s >= t ? 8 : 0, 20 + 25 * rise, 18 + 25 * rise,
                    16 + 25 * rise, 15 + 25 * rise);
      signal << row;
    }
  }
  std::ofstream(base + "_summary.json")
      << "{\"conditions\": {\"restart_type\": \"cold\", \"xtra\": false, \"timeout_s\": 120, "
         "\"runs_planned\": 1000, \"fix_rule\": \"gprmc\", \"profile\": \"default\", "
         "\"time_scale\": 1, \"tool_version\": \"bench\", \"host\": \"bench\", "
         "\"started\": \"2026-12-08 10:00:00\"}, \"runs\": 1000, \"failures\": "
      << failures << "}\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: report_speed ZUVEK_CLI [folder] [rounds=3]\n");
    return 2;
  }
  const std::filesystem::path dir =
      argc > 2 ? std::filesystem::path(argv[2])
               : std::filesystem::temp_directory_path() / "zuvek-report-bench";
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
  std::filesystem::create_directories(dir / "2026-12-08");
  std::mt19937 rng(13);
  for (int i = 0; i < kTests; ++i)
    WriteTest(dir / "2026-12-08", i, rng);
  std::string command = std::string("'") + argv[1] + "' report";
  for (int i = 0; i < kTests; ++i) {
    char stem[48];
    std::snprintf(stem, sizeof stem, " '%s/2026-12-08/10-%02d-00'", dir.c_str(), i);
    command += stem;
  }
  command += " >/dev/null";
  double best = 1e9;
  for (int round = 0; round < rounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "report_speed: the report failed: %s\n", command.c_str());
      return 1;
    }
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  const auto size = std::filesystem::file_size(dir / "2026-12-08" / "10-00-00_report.html");
  std::printf(
      "report of %d tests x %d runs (signal files included): best of %d = %.3f s, "
      "%.1f MB of HTML; target < 2 s: %s\n",
      kTests, kRuns, rounds, best, size / 1e6, best < 2 ? "met" : "MISSED");
  return best < 2 ? 0 : 1;
}
