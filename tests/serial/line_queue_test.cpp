// ExtractLines and LineQueue: the line cutting that the engine relies on.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "serial/extract_lines.h"
#include "serial/line_queue.h"

namespace {

std::vector<char> Bytes(const std::string& s) {
  return std::vector<char>(s.begin(), s.end());
}

TEST(ExtractLines, Vectors) {
  const struct {
    const char* legend;
    std::string source;
    std::vector<std::string> lines;
    std::string rest;
  } cases[] = {
      {"one line", "OK\r\n", {"OK\r\n"}, ""},
      {"two lines and a tail", "+WGPS: 0\r\nOK\r\nAT", {"+WGPS: 0\r\n", "OK\r\n"}, "AT"},
      {"CRLF alone is a line", "\r\n", {"\r\n"}, ""},
      {"lone CR and LF end nothing", "a\rb\nc", {}, "a\rb\nc"},
      {"CR CR LF ends at the second CR", "a\r\r\nb", {"a\r\r\n"}, "b"},
      {"LF CR is no separator", "a\n\r", {}, "a\n\r"},
      {"NUL cuts the text, the line leaves whole", std::string("ab\0cd\r\nx", 8), {"ab"}, "x"},
      {"NUL at the front gives an empty line", std::string("\0z\r\n", 4), {""}, ""},
  };
  for (const auto& c : cases) {
    auto src = Bytes(c.source);
    std::vector<std::string> lines = {"stale"};
    EXPECT_EQ(ExtractLines(src, lines, "\r\n"), 0u) << c.legend;
    EXPECT_EQ(lines, c.lines) << c.legend;
    EXPECT_EQ(std::string(src.begin(), src.end()), c.rest) << c.legend;
  }
}

TEST(ExtractLines, EmptySourceLeavesTheListUntouched) {
  std::vector<char> src;
  std::vector<std::string> lines = {"kept"};
  ExtractLines(src, lines, "\r\n");
  EXPECT_EQ(lines, std::vector<std::string>{"kept"});
}

TEST(ExtractLines, OverlongLineKeepsItsHeadAndSeparatorAndCountsTheRest) {
  std::string huge(kMaxLineBytes + 100, 'x');
  auto src = Bytes(huge + "\r\nnext\r\n");
  std::vector<std::string> lines;
  EXPECT_EQ(ExtractLines(src, lines, "\r\n"), 102u);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), kMaxLineBytes);
  EXPECT_EQ(lines[0].substr(kMaxLineBytes - 2), "\r\n");
  EXPECT_EQ(lines[1], "next\r\n") << "the following line is intact";
  // A line of 1024 bytes and more, up to the bound, comes through whole.
  std::string long_line(2000, 'y');
  src = Bytes(long_line + "\r\n");
  ExtractLines(src, lines, "\r\n");
  EXPECT_EQ(lines, std::vector<std::string>{long_line + "\r\n"});
}

TEST(ExtractLines, ManySmallLinesComeOutInOrder) {
  std::string all;
  std::vector<std::string> want;
  for (int i = 0; i < 100000; ++i) {
    want.push_back("$L" + std::to_string(i) + "\r\n");
    all += want.back();
  }
  auto src = Bytes(all + "tail");
  std::vector<std::string> lines;
  ExtractLines(src, lines, "\r\n");
  EXPECT_EQ(lines, want);
  EXPECT_EQ(std::string(src.begin(), src.end()), "tail");
}

TEST(LineQueue, LinesCarryTheStampOfTheReadThatCompletedThem) {
  LineQueue q;
  q.Append("$GPG", 4, 100);
  q.Append("GA\r\n$GPR", 8, 200);
  q.Append("MC\r\nOK\r\n", 8, 300);
  std::vector<std::string> lines;
  std::vector<std::int64_t> stamps;
  q.Extract(lines, &stamps);
  EXPECT_EQ(lines, (std::vector<std::string>{"$GPGGA\r\n", "$GPRMC\r\n", "OK\r\n"}));
  EXPECT_EQ(stamps, (std::vector<std::int64_t>{200, 300, 300}));
  q.Append("X\r", 2, 400);
  q.Append("\n", 1, 500);
  q.Extract(lines, &stamps);
  EXPECT_EQ(stamps, std::vector<std::int64_t>{500});
}

TEST(LineQueue, ClearAndEmptyExtract) {
  LineQueue q;
  q.Append("abc", 3, 1);
  std::vector<std::string> lines = {"old"};
  q.Extract(lines);
  EXPECT_TRUE(lines.empty()) << "no separator: the list is cleared";
  EXPECT_EQ(q.Size(), 3u);
  q.Clear();
  EXPECT_EQ(q.Size(), 0u);
  lines = {"old"};
  q.Extract(lines);
  EXPECT_EQ(lines, std::vector<std::string>{"old"}) << "empty queue: list untouched";
}

TEST(LineQueue, CapacityDropsOldLinesWholeAndGarbageByBytes) {
  LineQueue q(64);
  for (int i = 0; i < 10; ++i)
    q.Append("$GPGGA,1234\r\n", 13, i);
  EXPECT_LE(q.Size(), 64u);
  EXPECT_GT(q.DroppedBytes(), 0u);
  std::vector<std::string> lines;
  q.Extract(lines);
  for (const auto& l : lines)
    EXPECT_EQ(l, "$GPGGA,1234\r\n") << "no line was cut";
  LineQueue g(64);
  std::string junk(500, '\x55');
  g.Append(junk.data(), junk.size(), 1);
  EXPECT_LE(g.Size(), 64u);
  EXPECT_EQ(g.DroppedBytes() + g.Size(), 500u) << "every byte is either kept or counted";
}

TEST(LineQueue, ConcurrentAppendAndExtractLoseNothing) {
  LineQueue q;
  constexpr int kLines = 20000;
  std::thread producer([&] {
    for (int i = 0; i < kLines; ++i) {
      std::string line = "$N" + std::to_string(i) + "\r\n";
      // Split each line over two appends.
      q.Append(line.data(), 2, i);
      q.Append(line.data() + 2, line.size() - 2, i);
    }
  });
  std::vector<std::string> got, lines;
  while (got.size() < static_cast<std::size_t>(kLines)) {
    q.Extract(lines);
    got.insert(got.end(), lines.begin(), lines.end());
    lines.clear();
    std::this_thread::yield();
  }
  producer.join();
  for (int i = 0; i < kLines; ++i)
    ASSERT_EQ(got[i], "$N" + std::to_string(i) + "\r\n");
}

}  // namespace
