#include <gtest/gtest.h>

#include <cerrno>

#include "platform/folders.h"
#include "platform/win_errors.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ErrnoMapping, CommonFailuresGiveTheWin32Codes) {
  struct {
    int err;
    DWORD code;
    const char* legend;
  } cases[] = {
      {0, 0, "success stays success"},
      {ENOENT, 2, "missing device: file not found"},
      {EACCES, 5, "no permission: access denied"},
      {EBUSY, 5, "device held exclusively: access denied"},
      {EBADF, 6, "closed descriptor: invalid handle"},
      {EINVAL, 87, "bad argument: invalid parameter"},
      {ETIMEDOUT, 1460, "time-out"},
      {ENAMETOOLONG, 206, "name too long"},
      {EIO, 1167, "device gone"},
      {12345, 31, "unknown errno: general failure, never success"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(win::FromErrno(c.err), c.code) << c.legend;
}

TEST(Folders, ProgramFolderEndsWithSeparatorAndExists) {
  const std::string dir = platform::GetProgramFolder();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(platform::DirectoryExists(dir));
}

TEST(Folders, DirectoryTestAndCreation) {
  testsupport::TempDir tmp;
  const std::string sub = tmp.file("a");
  EXPECT_FALSE(platform::DirectoryExists(sub));
  EXPECT_TRUE(platform::CreateDirectory(sub));
  EXPECT_TRUE(platform::DirectoryExists(sub));
  EXPECT_FALSE(platform::CreateDirectory(sub));  // exists already
  // A file of that name is not a directory, and blocks creation.
  testsupport::WriteFile(tmp.file("f"), "x");
  EXPECT_FALSE(platform::DirectoryExists(tmp.file("f")));
  EXPECT_FALSE(platform::CreateDirectory(tmp.file("f")));
  EXPECT_FALSE(platform::DirectoryExists(""));
}

TEST(Folders, UserDataFolderFollowsXdgDataHome) {
  testsupport::TempDir tmp;
  const char* old = std::getenv("XDG_DATA_HOME");
  std::string saved = old ? old : "";
  setenv("XDG_DATA_HOME", (tmp.path() / "share").c_str(), 1);
  const std::string folder = platform::UserDataFolder();
  if (old)
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(folder, (tmp.path() / "share" / "zuvek").string() + "/");
  EXPECT_TRUE(platform::DirectoryExists(folder));
}

}  // namespace
