#include "platform/working_folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/folders.h"
#include "tests/support/local_time.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::FakeClock;
using testsupport::TempDir;

using testsupport::LocalEpochMs;

// The folders of a program in exe_dir, made with XDG_DATA_HOME set to
// data_home for the call (and put back after it).
WorkingFolders FoldersWithDataHome(const std::string& exe_dir,
                                   const std::filesystem::path& data_home) {
  const char* old = std::getenv("XDG_DATA_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_DATA_HOME", data_home.c_str(), 1);
  FakeClock clock(0, LocalEpochMs(2024, 3, 1, 9, 5, 7));
  WorkingFolders folders;
  folders.InitIn(exe_dir, clock);
  if (old)
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_DATA_HOME");
  return folders;
}

TEST(WorkingFolders, CreatesDayAndNmeaFoldersBesideTheProgram) {
  TempDir tmp;
  FakeClock clock(0, LocalEpochMs(2024, 3, 1, 9, 5, 7));
  WorkingFolders folders;
  folders.InitIn(tmp.dir(), clock);
  EXPECT_EQ(folders.GetDayDir(), tmp.dir() + "2024-03-01");
  EXPECT_EQ(folders.GetNmeaLogDir(), tmp.dir() + "NMEA_LOG");
  EXPECT_TRUE(platform::DirectoryExists(folders.GetDayDir()));
  EXPECT_TRUE(platform::DirectoryExists(folders.GetNmeaLogDir()));
  EXPECT_FALSE(folders.UsesUserDataFolder());
  // Neither folder path ends in a separator.
  EXPECT_NE(folders.GetDayDir().back(), '/');
  EXPECT_NE(folders.GetNmeaLogDir().back(), '/');

  // A second start the same day creates nothing new and keeps what is there.
  testsupport::WriteFile(folders.GetDayDir() + "/keep.txt", "x");
  WorkingFolders again;
  again.InitIn(tmp.dir(), clock);
  EXPECT_EQ(testsupport::ReadFile(folders.GetDayDir() + "/keep.txt"), "x");
  size_t entries = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(tmp.path()))
    ++entries;
  EXPECT_EQ(entries, 2u);
}

TEST(WorkingFolders, DayFolderThatIsAFileDoesNotCrash) {
  TempDir tmp;
  FakeClock clock(0, LocalEpochMs(2024, 3, 1, 9, 5, 7));
  testsupport::WriteFile(tmp.file("2024-03-01"), "not a folder");
  WorkingFolders folders;
  folders.InitIn(tmp.dir(), clock);
  EXPECT_EQ(folders.GetDayDir(), tmp.dir() + "2024-03-01");
  EXPECT_FALSE(platform::DirectoryExists(folders.GetDayDir()));
  EXPECT_TRUE(platform::DirectoryExists(folders.GetNmeaLogDir()));
}

TEST(WorkingFolders, UnwritableProgramFolderMovesToTheUserDataFolder) {
  if (geteuid() == 0) {
    // Root writes anywhere; a read-only bind is not at hand, so use a folder
    // that even root cannot create entries in.
    TempDir home;
    const WorkingFolders folders = FoldersWithDataHome("/proc/", home.path() / "data");
    EXPECT_TRUE(folders.UsesUserDataFolder());
    EXPECT_EQ(folders.ExeDir(), "/proc/");
    EXPECT_EQ(folders.GetDayDir(), (home.path() / "data" / "zuvek" / "2024-03-01").string());
    EXPECT_TRUE(platform::DirectoryExists(folders.GetDayDir()));
    return;
  }
  TempDir tmp, home;
  chmod(tmp.path().c_str(), 0555);
  const WorkingFolders folders = FoldersWithDataHome(tmp.dir(), home.path() / "data");
  EXPECT_TRUE(folders.UsesUserDataFolder());
  EXPECT_TRUE(platform::DirectoryExists(folders.GetNmeaLogDir()));
}

TEST(WorkingFolders, AnInstalledProgramWritesIntoTheUserDataFolderEvenAsRoot) {
  TempDir home;
  const WorkingFolders folders = FoldersWithDataHome("/usr/bin/", home.path() / "data");
  EXPECT_TRUE(folders.UsesUserDataFolder());
  EXPECT_EQ(folders.GetDayDir(), (home.path() / "data" / "zuvek" / "2024-03-01").string());
  EXPECT_FALSE(platform::DirectoryExists("/usr/bin/2024-03-01"));
}

TEST(WorkingFolders, DayFolderNameFormat) {
  platform::LocalTime t;
  t.year = 2099;
  t.month = 1;
  t.day = 2;
  EXPECT_EQ(FormatDayFolderName(t), "2099-01-02");
}

TEST(WorkingFolders, AFolderThatCannotBeWrittenIsNamedWithTheReason) {
  TempDir tmp;
  FakeClock clock(0, LocalEpochMs(2024, 3, 1, 9, 5, 7));
  testsupport::WriteFile(tmp.file("2024-03-01"), "not a folder");
  WorkingFolders folders;
  folders.InitIn(tmp.dir(), clock);
  const std::vector<std::string> want = {"The day folder " + tmp.dir() +
                                         "2024-03-01 cannot be written: a file of that name is in "
                                         "the way. Move the file away."};
  EXPECT_EQ(folders.Problems(), want);

  // A folder removed after start: it does not exist any more.
  std::filesystem::remove(tmp.file("2024-03-01"));
  std::filesystem::remove_all(folders.GetNmeaLogDir());
  ASSERT_EQ(folders.Problems().size(), 2u);
  EXPECT_EQ(folders.Problems()[1], "The NMEA log folder " + tmp.dir() +
                                       "NMEA_LOG cannot be written: it does not exist and could "
                                       "not be made. Run the program from a folder you may write "
                                       "in.");
  WorkingFolders good;
  good.InitIn(tmp.dir(), clock);
  EXPECT_TRUE(good.Problems().empty());
}

}  // namespace
