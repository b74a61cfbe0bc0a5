// zuvek-cli run when the day folder's file system fills up during a test,
// and when its terminal goes away (SIGHUP).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/store/store_db.h"
#include "tests/support/child_process.h"
#include "tests/support/local_time.h"
#include "tests/support/run_shell.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"
#include "tests/support/timeline_columns.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;

using Result = testsupport::ProgramResult;

// Runs argv[0] in cwd with extra environment entries; sends `sig` after
// `signal_ms` when that is not negative.
Result Spawn(const std::vector<std::string>& argv, const fs::path& cwd,
             const std::vector<std::string>& env = {}, int sig = 0, int signal_ms = -1) {
  return testsupport::RunProgram(argv, cwd.string(), env, sig, signal_ms);
}

std::string Today() {
  return testsupport::TodayFolderName();
}

std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// The logs of the test, whichever way the disk filled, by the suffix of
// their names.
std::string FindFile(const fs::path& dir, const std::string& suffix) {
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      return e.path().string();
  }
  return {};
}

const std::vector<std::string> kRun = {"run", "--restart",    "hot", "--runs",
                                       "8",   "--time-scale", "50",  "-q"};

// A finished `run` whose day folder filled up: what it said and the
// content of the day folder afterwards.
struct FullDiskRun {
  TempDir dir;
  std::string day = dir.file(Today());
  TempDir kept;
  // The results store, outside the full day folder.
  std::string store = dir.file("results.sqlite");
  Result r;
  FullDiskRun() { fs::create_directory(day); }
  std::vector<std::string> Args() const {
    std::vector<std::string> args = kRun;
    args.insert(args.end(), {"--store", store});
    return args;
  }

  // A real file system that fills up: a 64 KiB tmpfs on the day folder, in
  // a mount namespace of its own so that nothing leaks. False when no tmpfs
  // can be mounted here.
  bool OnTmpfs() {
    const auto probe = testsupport::RunShell("unshare -m sh -c " +
                                             Quote("mount -t tmpfs -o size=64k tmpfs " + day));
    if (probe.code != 0) {
      std::cout << "[ note     ] cannot mount a tmpfs here (" << probe.out
                << "): the full disk comes from the ENOSPC write seam instead\n";
      return false;
    }
    std::cout << "[ note     ] the day folder is a 64 KiB tmpfs\n";
    fs::copy_file(testsupport::kCliPath, dir.file("zuvek-cli"));
    std::string cmd =
        "mount -t tmpfs -o size=64k tmpfs " + day + " && cd " + dir.dir() + " && ./zuvek-cli";
    for (const auto& a : Args())
      cmd += " " + a;
    cmd += " >" + kept.file("out") + " 2>" + kept.file("err") + "; echo $? >" + kept.file("rc") +
           "; cp -a " + day + "/. " + kept.dir();
    const auto shell = testsupport::RunShell("unshare -m sh -c " + Quote(cmd));
    EXPECT_EQ(shell.code, 0) << shell.out;
    r.code = std::stoi("0" + ReadFile(kept.file("rc")));
    r.out = ReadFile(kept.file("out"));
    r.err = ReadFile(kept.file("err"));
    for (const char* f : {"out", "err", "rc"})
      fs::remove(kept.file(f));
    return true;
  }

  // The same through the write seam: a day folder that refuses writes with
  // ENOSPC after 48 KiB.
  void ThroughTheSeam() {
    const std::string exe = dir.file("zuvek-cli-full-disk");
    fs::copy_file(testsupport::kCliFullDiskPath, exe);
    std::vector<std::string> argv{exe};
    const auto args = Args();
    argv.insert(argv.end(), args.begin(), args.end());
    r = Spawn(argv, dir.path(), {"ZUVEK_TEST_FULL_DIR=" + day, "ZUVEK_TEST_FULL_BYTES=49152"});
    for (const auto& e : fs::directory_iterator(day))
      fs::copy(e.path(), kept.path() / e.path().filename());
  }

  void Check() const;
  void CheckListingAndStore(std::size_t csv_runs) const;
};

TEST(CliFullDisk, OnASmallTmpfsTheUserIsToldExitIsOneAndEveryCompleteRecordStays) {
  FullDiskRun run;
  if (!run.OnTmpfs())
    run.ThroughTheSeam();
  run.Check();
}

TEST(CliFullDisk, ThroughTheEnospcSeamTheUserIsToldExitIsOneAndEveryCompleteRecordStays) {
  FullDiskRun run;
  run.ThroughTheSeam();
  run.Check();
}

void FullDiskRun::Check() const {
  // Told at once, on standard error: the file, the reason, what to do.
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("The day folder " + day + " has "), std::string::npos) << r.err;
  const std::regex told("Cannot write " + day +
                        "/[0-9-]+_nmea_log\\.txt: No space left on device\\. "
                        "Free space on .+ or choose another folder\\.");
  EXPECT_TRUE(std::regex_search(r.err, told)) << r.err;
  // No "ended: completed" without the note.
  EXPECT_EQ(r.out.find("ended: completed\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("; incomplete files: "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("_nmea_log.txt"), std::string::npos) << r.out;

  // Every CSV row written is whole and in order.
  const auto csv = Lines(ReadFile(FindFile(kept.path(), "_runs.csv")));
  ASSERT_GE(csv.size(), 2u) << "no run recorded before the disk filled";
  EXPECT_EQ(csv[0],
            "run,result,ttff_s,ttff_precise_s,restart_type,xtra,start_time,time_scale,reason" +
                std::string(testsupport::kTimelineHeader));
  for (std::size_t i = 1; i < csv.size(); ++i) {
    EXPECT_EQ(csv[i].rfind(std::to_string(i) + ",SUCC,", 0), 0u) << csv[i];
    EXPECT_EQ(std::count(csv[i].begin(), csv[i].end(), ','), 8 + testsupport::kTimelineColumns)
        << csv[i];
  }
  // The summary is the last good copy: whole JSON, never empty.
  const std::string summary_path = FindFile(kept.path(), "_summary.json");
  ASSERT_FALSE(summary_path.empty());
  const std::string summary = ReadFile(summary_path);
  ASSERT_FALSE(summary.empty());
  const auto j = nlohmann::json::parse(summary);  // throws on a broken copy
  EXPECT_GE(j.at("runs").get<int>(), 1);
  EXPECT_LE(j.at("runs").get<std::size_t>(), csv.size() - 1);
  EXPECT_TRUE(FindFile(kept.path(), ".tmp").empty()) << "a temporary copy was left";
  // The result log keeps its header and its lines.
  const std::string result = ReadFile(FindFile(kept.path(), "_result_log.txt"));
  EXPECT_EQ(result.rfind("Times\t\t\tResult\t\t\tDuration\r\n1\t\t\tSUCC\t\t\t", 0), 0u) << result;
  CheckListingAndStore(csv.size() - 1);
}

// What the terminal lists and counts against the folder and the store: a
// file that lost a write is listed as such, the figures are those of every
// run (from memory, not from the files the disk cut short), and the store,
// which is not on the full disk, keeps every run with the CSV's results.
void FullDiskRun::CheckListingAndStore(std::size_t csv_runs) const {
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.out, m, std::regex("logs: ([\\s\\S]*)$"))) << r.out;
  for (const std::string& line : Lines(m[1].str())) {
    std::smatch f;
    ASSERT_TRUE(std::regex_search(
        line, f,
        std::regex(
            "(/\\S+)( \\((incomplete: it lost a write|not written: see the sentences above)\\))?")))
        << line;
    const bool there = fs::exists(kept.path() / fs::path(f[1].str()).filename());
    if (!f[2].matched || f[3] == "incomplete: it lost a write") {
      EXPECT_TRUE(there) << line << " is listed as written but is not there";
    } else {
      EXPECT_FALSE(there) << line;
    }
  }
  EXPECT_NE(r.out.find("(incomplete: it lost a write)"), std::string::npos) << r.out;
  ASSERT_TRUE(std::regex_search(r.out, m, std::regex("runtimes = (\\d+)"))) << r.out;
  const std::size_t runs = std::stoul(m[1].str());
  EXPECT_EQ(runs, 8u) << "the end of the test counts the runs in memory";
  EXPECT_NE(r.out.find("success " + std::to_string(runs) + " of " + std::to_string(runs)),
            std::string::npos)
      << r.out;
  const auto stored = testsupport::Rows(store, "SELECT run, success FROM runs ORDER BY run");
  ASSERT_EQ(stored.size(), runs) << "the store lost runs the text logs could not take";
  for (std::size_t i = 0; i < stored.size(); ++i)
    EXPECT_EQ(stored[i], (std::vector<std::string>{std::to_string(i + 1), "1"}));
  EXPECT_LT(csv_runs, runs) << "the disk filled too late to test anything";
}

TEST(CliFullDisk, AHangUpEndsTheTestAndKeepsItsStatistics) {
  TempDir dir;
  const std::string exe = dir.file("zuvek-cli");
  fs::copy_file(testsupport::kCliPath, exe);
  // At a time scale of 20 a run lasts about 1.5 s: two are recorded.
  const Result r = Spawn({exe, "run", "--restart", "hot", "--runs", "50", "--time-scale", "20"},
                         dir.path(), {}, SIGHUP, 3500);
  ASSERT_EQ(r.code, 130) << "killed by the hang-up instead of ending cleanly\n" << r.err;
  EXPECT_NE(r.err.find("interrupted; writing what the test has"), std::string::npos) << r.err;
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.out, m, std::regex("logs: (\\S+_result_log\\.txt)"))) << r.out;
  const std::string result = ReadFile(m[1].str());
  EXPECT_NE(result.find("runtimes = "), std::string::npos) << result;
  EXPECT_NE(result.find("\nfail times = 0\naverage = "), std::string::npos) << result;
  ASSERT_TRUE(std::regex_search(r.out, m, std::regex("(\\S+_summary\\.json)"))) << r.out;
  const auto j = nlohmann::json::parse(ReadFile(m[1].str()));
  EXPECT_GE(j.at("runs").get<int>(), 1);
  EXPECT_FALSE(j.at("finished").get<bool>());
}

}  // namespace
