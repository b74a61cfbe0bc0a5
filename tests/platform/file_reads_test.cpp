// Whole-file reads: every byte back as written, and "cannot be read" kept
// apart from "empty".
#include "platform/file_reads.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_dir.h"

namespace {

TEST(ReadWholeFile, GivesTheBytesOrSaysItCannot) {
  const testsupport::TempDir dir;
  const std::string empty = (dir.path() / "empty.toml").string();
  const std::string big = (dir.path() / "big.csv").string();
  std::ofstream(empty, std::ios::binary).flush();
  // Past one read block, with NUL, CR LF and bytes above 127.
  std::string bytes;
  for (int i = 0; i < 200000; ++i)
    bytes += static_cast<char>(i % 251);
  bytes += "\r\nend";
  std::ofstream(big, std::ios::binary) << bytes;

  EXPECT_EQ(platform::ReadWholeFile(empty), std::optional<std::string>(""));
  EXPECT_EQ(platform::ReadWholeFile(big), std::optional<std::string>(bytes));
  EXPECT_EQ(platform::ReadWholeFile((dir.path() / "missing").string()), std::nullopt);
  EXPECT_EQ(platform::ReadWholeFile(dir.path().string()), std::nullopt) << "a folder";
}

}  // namespace
