#include "platform/debug_log.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "engine/run_logs.h"
#include "platform/file_writes.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::FakeClock;
using testsupport::TempDir;

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> out;
  for (auto& e : fs::directory_iterator(dir))
    out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(DebugLog, NameMatchRule) {
  struct {
    const char* name;
    bool old;
  } cases[] = {
      {"ZUVEK_2024-03-01_09_05_07.txt", true},
      {"copy of ZUVEK_2024-03-01_09_05_07.txt", true},  // anywhere in the name
      {"zuvek_2024-03-01_09_05_07.txt", false},         // case-sensitive
      {"ZUVEK_1999-03-01_09_05_07.txt", false},
      {"ZUVEK_2024-03-01_09_05_07.log", false},  // not a .txt file
      {"ZUVEK_20.txt", true},
      {".txt", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsOldDebugLogName(c.name), c.old) << c.name;
}

TEST(DebugLog, HousekeepingDeletesOnlyOldLogFilesInTheProgramFolder) {
  TempDir program, cwd;
  for (const char* name : {"ZUVEK_2023-01-01_00_00_00.txt", "x ZUVEK_2024.txt", "zuvek_2024.txt",
                           "ZUVEK_19.txt", "ZUVEK_2024.dat", "notes.txt"}) {
    testsupport::WriteFile(program.file(name), "old");
  }
  fs::create_directory(program.path() / "ZUVEK_2024-dir.txt");  // a folder is never deleted
  testsupport::ScopedCwd in(cwd.path());
  FakeClock clock;
  const std::string name = PrepareDebugLogIn(program.dir(), clock);
  ASSERT_FALSE(name.empty());
  EXPECT_EQ(name, DebugLogName(clock.Now()));
  EXPECT_EQ(Names(program.path()),
            (std::vector<std::string>{"ZUVEK_19.txt", "ZUVEK_2024-dir.txt", "ZUVEK_2024.dat",
                                      "notes.txt", "zuvek_2024.txt"}));
  // The new log lands in the working directory, open and empty.
  EXPECT_EQ(Names(cwd.path()), std::vector<std::string>{name});
  EXPECT_NE(g_fp_debug_log, nullptr);
  CloseDebugLog();
  EXPECT_EQ(g_fp_debug_log, nullptr);
  EXPECT_EQ(testsupport::ReadFile(cwd.file(name)), "");
}

TEST(DebugLog, TwoStartsInTheProgramFolderLeaveOneLog) {
  TempDir program;
  testsupport::ScopedCwd in(program.path());
  FakeClock clock;
  PrepareDebugLogIn(program.dir(), clock);
  LOG_DEBUG("first start\n");
  CloseDebugLog();
  clock.Advance(3'000'000);
  const std::string second = PrepareDebugLogIn(program.dir(), clock);
  CloseDebugLog();
  EXPECT_EQ(Names(program.path()), std::vector<std::string>{second});
}

TEST(DebugLog, NamePattern) {
  platform::LocalTime t{2024, 3, 1, 9, 5, 7, 0};
  EXPECT_EQ(DebugLogName(t), "ZUVEK_2024-03-01_09_05_07.txt");
}

TEST(DebugLog, EntriesAreWrittenWholeAndOnlyWhenOpen) {
  TempDir tmp;
  auto fake = std::make_shared<FakeClock>(0);
  auto previous = platform::SetProcessClock(fake);
  LOG_DEBUG("nobody listens\n");  // no log open: nothing happens
  std::FILE* fp = std::fopen(tmp.file("d.txt").c_str(), "w");
  SetDebugLogStream(fp);
  LogDebug("AT+WGPS? timeout...try again\n", 321);
  const std::string huge(5000, 'q');
  LogDebug((huge + "\n").c_str(), 9);
  CloseDebugLog();
  platform::SetProcessClock(previous);
  const std::string stamp = FormatTimestamp(fake->Now());
  const std::string expected = "[" + stamp + "] line:321\t\tAT+WGPS? timeout...try again\n" + "[" +
                               stamp + "] line:9\t\t" + huge + "\n";
  EXPECT_EQ(testsupport::ReadFile(tmp.file("d.txt")), expected);
}

TEST(DebugLog, AFullDiskIsToldOnceByItsFullNameAndATellerMayWriteToTheLog) {
  TempDir program;
  testsupport::ScopedCwd in(program.path());
  FakeClock clock;
  platform::ResetWriteFailures();
  const std::string name = PrepareDebugLogIn(program.dir(), clock);
  ASSERT_FALSE(name.empty());
  const std::string full = fs::current_path().string() + "/" + name;
  auto fault = platform::SetWriteFault(
      [&full](const std::string& path, std::size_t) { return path == full ? ENOSPC : 0; });
  std::vector<platform::WriteFailure> told;
  // The window's host notes what it told in the debug log: no deadlock, and
  // the log's own failure is told only once.
  auto listener = platform::SetWriteFailureListener([&told](const platform::WriteFailure& f) {
    told.push_back(f);
    LOG_DEBUG("told the user\n");
  });
  LOG_DEBUG("first entry on a full disk\n");
  LOG_DEBUG("second entry\n");
  platform::SetWriteFailureListener(std::move(listener));
  platform::SetWriteFault(std::move(fault));
  EXPECT_EQ(platform::IncompleteOpenFiles(), std::vector<std::string>{full});
  CloseDebugLog();
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].path, full);
  EXPECT_EQ(told[0].error, ENOSPC);
  platform::ResetWriteFailures();
}

}  // namespace
