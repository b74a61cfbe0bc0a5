// zuvek-cli decode on real recordings (tests/data/nmea) against reviewed
// expected output in tests/nmea/golden/<log>.jsonl. Review every change to
// those files against the log itself, as you would review code.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include "tests/support/run_shell.h"
#include "tests/support/test_paths.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string RunDecode(const fs::path& log, int* code, const std::string& options = "") {
  const std::string cmd =
      std::string(testsupport::kCliPath) + " decode " + options + "'" + log.string() + "'";
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

// With --any-talker the expected output is golden/<log>.any-talker.jsonl.
void ExpectGolden(const std::string& name, bool any_talker = false) {
  const fs::path log = fs::path(testsupport::kNmeaDataDir) / (name + ".log");
  ASSERT_TRUE(fs::is_regular_file(log)) << "missing recording " << log;
  const fs::path golden = fs::path(testsupport::kSourceDir) / "tests/nmea/golden" /
                          (name + (any_talker ? ".any-talker.jsonl" : ".jsonl"));
  std::ifstream in(golden, std::ios::binary);
  ASSERT_TRUE(in) << golden;
  const std::string want{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  int code = -1;
  const std::string got = RunDecode(log, &code, any_talker ? "--any-talker " : "");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(got, want) << "decode of " << name << " differs from " << golden;
}

// Garmin Foretrex 201, GP talker, CRLF: an acquisition from no fix, sampled
// twice (a cut-off line joins the samples). Status A from the fifth $GPRMC,
// and a 2D fix. The receiver sends no VTG, so the six position labels never
// fill; altitude and HDOP follow GGA once an RMC is valid. Its GSA leaves
// gaps between the used satellites: only those before the first gap count as
// used. Garmin's $PGRME/$PGRMZ, $GPRMB, $GPRTE and $GPBOD are not decoded.
TEST(DecodeGolden, Foretrex201) {
  ExpectGolden("foretrex-201");
}

// SkyTraq Venus 6 (BN-9015), CRLF under LF comments: four V epochs with the
// position already sent, then A. The labels fill one epoch after the first
// valid RMC, once a valid GSA and VTG have come; the speed is VTG's km/h.
TEST(DecodeGolden, Bn9015) {
  ExpectGolden("bn-9015");
}

// SiRF III, GP talker only, a cut-off GGA run together with a GLL.
TEST(DecodeGolden, Triton400) {
  ExpectGolden("triton400");
}

// --any-talker, CH-4711 (GPS/GLONASS): fixes in $GNRMC, one in $GLRMC, then
// V in $GPRMC. Its GSV come every few epochs: the epochs between show the
// last epoch's satellites with their own GSA's used flags. Its $GNGSA carry no system ID (the first
// digit of the VDOP "00.9" would read as 0): split by PRN, 19 and 27 are used GPS, 67 75 83 84 used
// GLONASS, 28 is in view only; after the fix is lost the empty $GPGSA leaves GLONASS 75 and 84
// unused. No VTG, so the six labels stay empty while altitude and HDOP follow each GGA as long as
// the last RMC was valid (the $GPGGA with an empty HDOP that precedes the first V blanks HDOP).
TEST(DecodeGolden, Ch4711AnyTalker) {
  ExpectGolden("ch-4711", true);
}

// --any-talker, SkyTraq PX1172RH_DS: $GNRMC only, NMEA 4.11 GSA with system
// IDs. The labels fill from the second epoch with the $GNRMC fields as sent
// (seven decimals), Fix Mode "3D" from $GNGSA; Galileo 10 is in view but in
// no GSA. Without --any-talker every label stays empty (no valid $GPRMC).
// A dual-band receiver sending GSV every third epoch (after its GSA, before
// its RMC): GPS L1 C/A and L2 CL (G5 47 and 48), GLONASS G1 C/A, Galileo E1
// and E5b (E36 42 and 51), BeiDou B1I; one bar per satellite and signal,
// GPS, GLONASS, Galileo, BeiDou, each satellite's L1 band first; B20, B29,
// B30, B32 and B35 used as $GNGSA 4 says, B26 in view without S/N.
TEST(DecodeGolden, SkytraqPx1172rhAnyTalker) {
  ExpectGolden("skytraq-PX1172RH_DS", true);
}

// --any-talker, u-blox ZED-F9P (NMEA 4.10 with signal IDs): GPS L1 C/A (13
// satellites, SBAS 44 46 51 among them) and L2 CL (6), GLONASS G1 C/A (8)
// and G2 C/A (4) in the first epoch, checked line by line: G1 31 and 37,
// R69 19 and 19, R87 (elevation 2) tracked at 9 and not in $GNGSA 2, G24
// not in $GNGSA 1; its $GNGSA 4 names BeiDou satellites it sends no GSV of.
// The capture's second epoch is cut short after $GLGSV 2,1 of G1 C/A: four
// GLONASS satellites and no G2 bars.
TEST(DecodeGolden, UbloxF9pAnyTalker) {
  ExpectGolden("ublox-f9p-hpnmea", true);
}

// Telit PLS83-W: $GPRMC and $GARMC each end an epoch (the second hands the
// same sky again); GPS L1 C/A, GLONASS G1 C/A, Galileo E1 with signal IDs;
// its $BDGSV ends with BeiDou's system ID 4, so B8, B11, B13, B21 show with
// no signal named, used as $GNGSA 4 lists them by 208, 211, 213; B21 and
// G14 have no elevation or azimuth (null). No $GPGSA: the six position
// labels stay empty, altitude and HDOP follow $GPGGA.
TEST(DecodeGolden, TelitPls83w) {
  ExpectGolden("telit-pls83-w");
}

TEST(DecodeGolden, MissingFileFails) {
  int code = -1;
  RunDecode("/nonexistent/capture.log", &code);
  EXPECT_EQ(code, 1);
}

// A folder is refused with a sentence; a line far longer than any sentence
// is skipped and said, and the input is read as a stream (the lines after
// it are decoded as ever).
TEST(DecodeGolden, AFolderIsRefusedAndAnOverlongLineIsSkipped) {
  const auto folder =
      testsupport::RunShell(std::string(testsupport::kCliPath) + " decode /tmp 2>&1");
  EXPECT_EQ(folder.code, 1);
  EXPECT_NE(folder.out.find("/tmp is a folder; give a file of recorded NMEA lines"),
            std::string::npos)
      << folder.out;
  const auto r = testsupport::RunShell(
      "(head -c 300000 /dev/zero | tr '\\0' x; printf '\\n$GPGSV,1,1,01,07,10,100,41*00\\n"
      "$GNRMC,,V,,,,,,,,,,N*53\\n') | " +
      std::string(testsupport::kCliPath) + " decode - 2>&1");
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_NE(r.out.find("1 line(s) longer than 64 KiB are no NMEA sentence"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("{\"bars\":[{\"letter\":\"G\",\"prn\":7,\"snr\":41"), std::string::npos)
      << r.out;
}

TEST(DecodeGolden, StandardInputAndCommentsAndLfLineEnds) {
  const std::string cmd =
      "printf '# header, with, commas\\n"
      "$GPGSV,1,1,01,07,10,100,41*00\\n"
      "$GNRMC,,V,,,,,,,,,,N*53\\r\\n' | " +
      std::string(testsupport::kCliPath) + " decode -";
  const auto result = testsupport::RunShell(cmd);
  const std::string& out = result.out;
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(out,
            "{\"bars\":[{\"letter\":\"G\",\"prn\":7,\"snr\":41,\"system\":1,\"used\":false}],"
            "\"epoch\":0,\"line\":3,\"live\":{\"altitude\":\"\",\"fix_mode\":\"\",\"hdop\":\"\","
            "\"lat\":\"\",\"lon\":\"\",\"speed\":\"\",\"utc_date\":\"\",\"utc_time\":\"\"},"
            "\"satellites\":[{\"azimuth\":100,\"elevation\":10,\"letter\":\"G\",\"prn\":7,"
            "\"signals\":[{\"snr\":41}],\"system\":\"GPS\",\"used\":false}]}\n");
}

TEST(DecodeGolden, BytesThatAreNoUtf8AreReplacedNotFatal) {
  // A valid set whose latitude field holds the bytes FF FE.
  const std::string cmd =
      "printf '$GPRMC,1,A,\\377\\376,N,2,E,0,0,010101,,*00\\n"
      "$GPGSA,A,3*00\\n$GPVTG,1,T,1,M,1,N,5,K*00\\n"
      "$GPRMC,1,A,\\377\\376,N,2,E,0,0,010101,,*00\\n' | " +
      std::string(testsupport::kCliPath) + " decode";
  const auto result = testsupport::RunShell(cmd);
  const std::string& out = result.out;
  EXPECT_EQ(result.code, 0);
  // Two epochs; the second shows the latitude with U+FFFD for each bad byte.
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);
  EXPECT_NE(out.find("\"lat\":\"\xEF\xBF\xBD\xEF\xBF\xBDN\""), std::string::npos) << out;
}

}  // namespace
