// zuvek-cli decode on real recordings against reviewed expected output in
// tests/nmea/golden/<log>.jsonl. Review every change to those files against
// the log itself, as you would review code.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include "tests/support/run_shell.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string RunDecode(const fs::path& log, int* code) {
  const std::string cmd = std::string(ZUVEK_CLI_PATH) + " decode '" + log.string() + "'";
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p)
    return out;
  std::array<char, 4096> buf{};
  std::size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
    out.append(buf.data(), n);
  const int status = pclose(p);
  *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

void ExpectGolden(const std::string& name) {
  const fs::path log = fs::path(ZUVEK_DATA_DIR) / "nmea" / (name + ".log");
  if (!fs::exists(log))
    GTEST_SKIP() << "no recording " << log;
  const fs::path golden = fs::path(ZUVEK_SOURCE_DIR) / "tests/nmea/golden" / (name + ".jsonl");
  std::ifstream in(golden, std::ios::binary);
  ASSERT_TRUE(in) << golden;
  const std::string want{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  int code = -1;
  const std::string got = RunDecode(log, &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(got, want) << "decode of " << name << " differs from " << golden;
}

// GP, GL and GA talkers with NMEA 4.10 system IDs, GSA for GPS and GLONASS,
// Quectel's own $PQGSV/$PQGSA that the tool does not decode.
TEST(DecodeGolden, QuectelEg25G2) {
  ExpectGolden("quectel-eg25-g-2");
}

// SiRF III, GP talker only, a cut-off GGA run together with a GLL.
TEST(DecodeGolden, Triton400) {
  ExpectGolden("triton400");
}

TEST(DecodeGolden, MissingFileFails) {
  int code = -1;
  RunDecode("/nonexistent/capture.log", &code);
  EXPECT_EQ(code, 1);
}

TEST(DecodeGolden, StandardInputAndCommentsAndLfLineEnds) {
  const std::string cmd =
      "printf '# header, with, commas\\n"
      "$GPGSV,1,1,01,07,10,100,41*00\\n"
      "$GNRMC,,V,,,,,,,,,,N*53\\r\\n' | " +
      std::string(ZUVEK_CLI_PATH) + " decode -";
  const auto result = testsupport::RunShell(cmd);
  const std::string& out = result.out;
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(out,
            "{\"bars\":[{\"letter\":\"G\",\"prn\":7,\"snr\":41,\"system\":1,\"used\":false}],"
            "\"epoch\":0,\"line\":3,\"live\":{\"altitude\":\"\",\"fix_mode\":\"\",\"hdop\":\"\","
            "\"lat\":\"\",\"lon\":\"\",\"speed\":\"\",\"utc_date\":\"\",\"utc_time\":\"\"}}\n");
}

TEST(DecodeGolden, BytesThatAreNoUtf8AreReplacedNotFatal) {
  // A valid set whose latitude field holds the bytes FF FE.
  const std::string cmd =
      "printf '$GPRMC,1,A,\\377\\376,N,2,E,0,0,010101,,*00\\n"
      "$GPGSA,A,3*00\\n$GPVTG,1,T,1,M,1,N,5,K*00\\n"
      "$GPRMC,1,A,\\377\\376,N,2,E,0,0,010101,,*00\\n' | " +
      std::string(ZUVEK_CLI_PATH) + " decode";
  const auto result = testsupport::RunShell(cmd);
  const std::string& out = result.out;
  EXPECT_EQ(result.code, 0);
  // Two epochs; the second shows the latitude with U+FFFD for each bad byte.
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
  EXPECT_NE(out.find("\"lat\":\"\xEF\xBF\xBD\xEF\xBF\xBDN\""), std::string::npos) << out;
}

}  // namespace
