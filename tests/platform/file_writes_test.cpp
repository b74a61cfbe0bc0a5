// Checked writes: a refused write is noted and told once per file, a file
// rewritten whole keeps its good copy, and the user's sentence says what to do.
#include "platform/file_writes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "platform/free_space.h"
#include "tests/support/temp_dir.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;

// Fails every write to one path with an errno once `budget` bytes of it went
// through, as a file system that fills up would; undone on scope exit.
class FullAfter {
 public:
  FullAfter(std::string path, std::size_t budget, int error = ENOSPC) {
    previous_ =
        platform::SetWriteFault([path = std::move(path), budget, error, used = std::size_t{0}](
                                    const std::string& p, std::size_t size) mutable -> int {
          if (p != path)
            return 0;
          if (used + size > budget)
            return error;
          used += size;
          return 0;
        });
  }
  ~FullAfter() { platform::SetWriteFault(std::move(previous_)); }

 private:
  platform::WriteFault previous_;
};

class FileWrites : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetWriteFailures();
    previous_ = platform::SetWriteFailureListener(
        [this](const platform::WriteFailure& f) { told.push_back(f); });
  }
  void TearDown() override {
    platform::SetWriteFailureListener(std::move(previous_));
    platform::ResetWriteFailures();
  }
  TempDir tmp;
  std::vector<platform::WriteFailure> told;

 private:
  platform::WriteFailureListener previous_;
};

TEST_F(FileWrites, BytesGoOutExactlyAsGivenWhenNothingFails) {
  const std::string path = tmp.file("log.txt");
  std::FILE* fp = std::fopen(path.c_str(), "w");
  platform::TrackFile(fp, path);
  const std::string bytes("$GPRMC,,V*hh\r\nline two\n\0binary", 31);
  EXPECT_TRUE(platform::CheckedWrite(fp, bytes.data(), bytes.size()));
  EXPECT_EQ(ReadFile(path), bytes);  // flushed at once
  EXPECT_TRUE(platform::CloseTrackedFile(fp));
  EXPECT_TRUE(told.empty());
  EXPECT_TRUE(platform::WriteFailures().empty());
}

TEST_F(FileWrites, FirstFailureOfEachFileIsToldOnceAndTheFileGoesOn) {
  const std::string a = tmp.file("a_nmea_log.txt"), b = tmp.file("b_at_log.txt");
  std::FILE* fa = std::fopen(a.c_str(), "w");
  std::FILE* fb = std::fopen(b.c_str(), "w");
  platform::TrackFile(fa, a);
  platform::TrackFile(fb, b);
  FullAfter full(a, 10);
  EXPECT_TRUE(platform::CheckedWrite(fa, "0123456789", 10));
  for (int i = 0; i < 5; ++i)
    EXPECT_FALSE(platform::CheckedWrite(fa, "more", 4));
  EXPECT_TRUE(platform::CheckedWrite(fb, "fine", 4));  // another file is untouched
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].path, a);
  EXPECT_EQ(told[0].error, ENOSPC);
  EXPECT_EQ(ReadFile(a), "0123456789");  // what was written stays
  EXPECT_EQ(platform::IncompleteOpenFiles(), std::vector<std::string>{a});
  // A closed file is no longer an open incomplete one, but stays failed.
  EXPECT_TRUE(platform::CloseTrackedFile(fa));
  EXPECT_TRUE(platform::IncompleteOpenFiles().empty());
  ASSERT_EQ(platform::WriteFailures().size(), 1u);
  EXPECT_TRUE(platform::CloseTrackedFile(fb));
}

TEST_F(FileWrites, ReplaceFileKeepsTheGoodCopyWhenTheNewOneCannotBeWritten) {
  const std::string path = tmp.file("summary.json");
  ASSERT_EQ(platform::ReplaceFile(path, "{\"runs\": 1}\n"), 0);
  EXPECT_EQ(ReadFile(path), "{\"runs\": 1}\n");
  {
    FullAfter full(path, 0);
    EXPECT_EQ(platform::ReplaceFile(path, "{\"runs\": 2}\n"), ENOSPC);
  }
  EXPECT_EQ(ReadFile(path), "{\"runs\": 1}\n");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
  ASSERT_EQ(told.size(), 1u);
  EXPECT_TRUE(told[0].whole_file);
  ASSERT_EQ(platform::ReplaceFile(path, "{\"runs\": 3}\n"), 0);  // room again
  EXPECT_EQ(ReadFile(path), "{\"runs\": 3}\n");
}

TEST_F(FileWrites, ReplaceFileOnARealFullDeviceKeepsTheGoodCopy) {
  // /dev/full refuses every write with ENOSPC: the temporary file is a link
  // to it, as a full file system would refuse the new copy.
  const std::string path = tmp.file("summary.json");
  ASSERT_EQ(platform::ReplaceFile(path, "good\n"), 0);
  std::filesystem::create_symlink("/dev/full", path + ".tmp");
  EXPECT_EQ(platform::ReplaceFile(path, std::string(10000, 'x')), ENOSPC);
  EXPECT_EQ(ReadFile(path), "good\n");
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].path, path);
}

TEST_F(FileWrites, ARealFullDeviceIsNoticedOnTheFlush) {
  std::FILE* fp = std::fopen("/dev/full", "w");
  ASSERT_NE(fp, nullptr);
  platform::TrackFile(fp, "/dev/full");
  EXPECT_FALSE(platform::CheckedWrite(fp, "x\n", 2));  // buffered, refused by the flush
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].error, ENOSPC);
  platform::CloseTrackedFile(fp);
}

TEST_F(FileWrites, TheSentenceNamesTheFileTheReasonAndWhatToDo) {
  const std::string folder = tmp.path().string();
  const std::string mount = platform::MountPointOf(folder);
  const std::string where =
      mount == folder ? mount : mount + " (the file system of " + folder + ")";
  struct {
    int error;
    bool whole;
    const char* advice;
    const char* legend;
  } cases[] = {
      {ENOSPC, false, "Free space on ", "full disk: free space or move"},
      {EDQUOT, false, "Free space on ", "quota: the same way out"},
      {EROFS, false, " became read-only: check the disk", "remounted read-only"},
      {EFBIG, false, "The file is larger than ", "file size limit"},
      {EIO, false, "Check the disk that holds ", "I/O error"},
      {ENOSPC, true, "Free space on ", "a summary keeps its old copy"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    const std::string s =
        platform::WriteFailureSentence({tmp.file("x_runs.csv"), c.error, c.whole});
    EXPECT_EQ(s.rfind("Cannot write " + tmp.file("x_runs.csv") + ": " + std::strerror(c.error), 0),
              0u)
        << s;
    EXPECT_NE(s.find(c.advice), std::string::npos) << s;
    EXPECT_NE(s.find(where), std::string::npos) << s;
    EXPECT_NE(s.find("choose another folder"), std::string::npos) << s;
    EXPECT_NE(s.find(c.whole ? "keeps its last complete copy" : "stays incomplete"),
              std::string::npos)
        << s;
  }
}

TEST(FreeSpace, FolderOfAFileThatDoesNotExistYetIsMeasured) {
  TempDir tmp;
  EXPECT_GT(platform::FreeBytes(tmp.file("not/yet/there.txt")), 0);
  EXPECT_EQ(platform::MountPointOf("/"), "/");
  EXPECT_TRUE(platform::SameFileSystem(tmp.path().string(), tmp.file("later")));
  EXPECT_FALSE(platform::SameFileSystem(tmp.path().string(), "/proc"));
}

}  // namespace
