// The fix rules against real lines of the recordings in tests/data/nmea: every
// line asked of every rule, and the tool's own rule equal to the old matcher
// on every line of every recording.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/fix_detection.h"
#include "fix_rules/registry.h"
#include "fix_rules/sentence_fields.h"
#include "nmea/split_fields.h"
#include "platform/debug_log.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"

namespace {

// What each rule says of a line: gprmc, rmc, gga, gns, gsa3d.
struct Vector {
  const char* file;  // the recording the line is from; "" for a line made here
  int line;          // its 1-based line number there (a made line: the one it was made from)
  const char* text;
  bool gprmc, rmc, gga, gns, gsa3d;
  const char* sentence;  // what the record says made the fix (for any rule that took it)
};

// Legend: real lines copied from the recordings named; made lines (file "")
// change one field of the real line named in their comment, checksum redone.
const Vector kVectors[] = {
    // rx210.log: a $GNRMC-only receiver. V before the fix, then A with mode A.
    {"rx210.log", 8, "$GNRMC,184040.00,V,,,,,,,030416,,,N*6A", 0, 0, 0, 0, 0, ""},
    {"rx210.log", 66, "$GNRMC,184102.00,A,5000.14318,N,00838.63715,E,0.419,,030416,,,A*63", 0, 1, 0,
     0, 0, "GNRMC"},
    {"rx210.log", 10, "$GNGGA,184041.00,,,,,0,04,28.92,,,,,,*75", 0, 0, 0, 0, 0, ""},
    {"rx210.log", 67, "$GNGGA,184102.00,5000.14318,N,00838.63715,E,1,05,3.62,159.6,M,47.6,M,,*4F",
     0, 0, 1, 0, 0, "GNGGA"},
    // Made from rx210.log:67: quality 5 (float RTK) is a fix, 6, 7, 8 are not.
    {"", 67, "$GNGGA,184102.00,5000.14318,N,00838.63715,E,5,05,3.62,159.6,M,47.6,M,,*4B", 0, 0, 1,
     0, 0, "GNGGA"},
    {"", 67, "$GNGGA,184102.00,5000.14318,N,00838.63715,E,6,05,3.62,159.6,M,47.6,M,,*48", 0, 0, 0,
     0, 0, ""},
    {"", 67, "$GNGGA,184102.00,5000.14318,N,00838.63715,E,7,05,3.62,159.6,M,47.6,M,,*49", 0, 0, 0,
     0, 0, ""},
    {"", 67, "$GNGGA,184102.00,5000.14318,N,00838.63715,E,8,05,3.62,159.6,M,47.6,M,,*46", 0, 0, 0,
     0, 0, ""},
    // Made from rx210.log:66: status A but mode N (not valid); no mode field (NMEA 2.2).
    {"", 66, "$GNRMC,184102.00,A,5000.14318,N,00838.63715,E,0.419,,030416,,,N*6C", 0, 0, 0, 0, 0,
     ""},
    {"", 66, "$GNRMC,184102.00,A,5000.14318,N,00838.63715,E,0.419,,030416,,*0E", 0, 1, 0, 0, 0,
     "GNRMC"},
    // Made from rx210.log:66: a talker not in the list.
    {"", 66, "$GXRMC,184102.00,A,5000.14318,N,00838.63715,E,0.419,,030416,,,A*75", 0, 0, 0, 0, 0,
     ""},
    // skytraq-PX1172RH_DS.log: NMEA 4.1, mode F (float RTK) then navigational status V.
    {"skytraq-PX1172RH_DS.log", 18,
     "$GNRMC,003832.000,A,4404.1271062,N,12118.8438377,W,000.0,171.0,290322,,,F,V*10", 0, 1, 0, 0,
     0, "GNRMC"},
    // Made from skytraq-PX1172RH_DS.log:18: mode N before the status field.
    {"", 18, "$GNRMC,003832.000,A,4404.1271062,N,12118.8438377,W,000.0,171.0,290322,,,N,V*18", 0, 0,
     0, 0, 0, ""},
    // Other talkers: GLONASS (ch-4711.log), Galileo (telit-pls83-w.log).
    {"ch-4711.log", 35, "$GLRMC,135654.997,A,5543.0328,N,03724.7197,E,00.00,129.5,051209,,,A*71", 0,
     1, 0, 0, 0, "GLRMC"},
    {"telit-pls83-w.log", 16,
     "$GARMC,043539.00,A,4333.190206,N,00127.618380,E,0.0,,040925,1.7,W,A,V*6D", 0, 1, 0, 0, 0,
     "GARMC"},
    // bn-9015.log: the tool's own sentence, V then A.
    {"bn-9015.log", 19, "$GPRMC,170958.972,V,5200.8499,N,00421.7860,E,000.0,000.0,120610,,,N*79", 0,
     0, 0, 0, 0, ""},
    {"bn-9015.log", 47, "$GPRMC,171002.972,A,5200.8519,N,00421.7812,E,000.0,000.0,120610,,,A*6A", 1,
     1, 0, 0, 0, "GPRMC"},
    // foretrex-201.log: GGA quality 2 (differential).
    {"foretrex-201.log", 69, "$GPGGA,200004,5504.4343,N,01025.5386,E,2,03,2.5,-9.1,M,43.9,M,,*62",
     0, 0, 1, 0, 0, "GPGGA"},
    // ericsson-gru04-02-70sec.log: its fixes are only in GNS ("AANN"); its GSA says 3D.
    {"ericsson-gru04-02-70sec.log", 23,
     "$GNGNS,213712.000,4111.59903,N,11156.54809,W,AANN,13,0.93,01482.5,-016.5,,*52", 0, 0, 0, 1, 0,
     "GNGNS"},
    {"ericsson-gru04-02-70sec.log", 72, "$GPGSA,A,3,24,19,11,17,12,22,06,,,,,,1.75,0.93,1.48*0B", 0,
     0, 0, 0, 1, "GPGSA"},
    // beidou-bd.log: GNS without a fix in any system, then BeiDou only ("ANNA").
    {"beidou-bd.log", 18, "$GNGNS,074150.799,,,,,NNNN,00,,,0.0,,0000*63", 0, 0, 0, 0, 0, ""},
    {"beidou-bd.log", 58,
     "$GNGNS,074155.799,3114.8770,N,12135.2463,E,ANNA,05,1.3,156.9,8.3,,0000*52", 0, 0, 0, 1, 0,
     "GNGNS"},
    // GSA fix type 2 (ch-4711.log), 3 (ublox-8.log), 1 (beidou-gb.log).
    {"ch-4711.log", 16, "$GNGSA,A,2,19,27,,,,,,,,,,,02.1,01.8,00.9*13", 0, 0, 0, 0, 0, ""},
    {"ublox-8.log", 14, "$GNGSA,A,3,23,09,16,07,26,03,27,22,,,,,1.71,1.01,1.38*1B", 0, 0, 0, 0, 1,
     "GNGSA"},
    {"beidou-gb.log", 13, "$GNGSA,A,1,,,,,,,,,,,,,,,*00", 0, 0, 0, 0, 0, ""},
    // Malformed lines of the recordings: a cut-off RMC (still status A, as ever),
    // a GSV cut off by a GGA, a GGA cut off by a GLL.
    // (its checksum does not match: only the tool's own rule, which never
    // looked at checksums, still takes it)
    {"gp-320fw-2019-04-07-coldboot.log", 27, "$GPRMC,000344.03,A,4808.9992,N,4,02.3*05", 1, 0, 0, 0,
     0, "GPRMC"},
    {"gp-320fw-2019-04-07-coldboot.log", 67,
     "$GPGSV,3,3,12,06,08,270,,16,01,090,,02,16,270,$GPGGA,000410.00,0000.0000,N,00000.0000,E,0,00,"
     "0.0,,M,,M,,*58",
     0, 0, 0, 0, 0, ""},
    {"triton400.log", 19, "$GPGGA,030130$GPGLL,2638.1728,N,08011.3893,W,030131.000,A,A*41", 0, 0, 0,
     0, 0, ""},
    // Made from the real lines named: one byte damaged on the wire (the
    // checksum kept, so it no longer matches), or the checksum itself damaged.
    // No rule but the tool's own takes such a line.
    {"", 66, "$GNRMC,784102.00,A,5000.14318,N,00838.63715,E,0.419,,030416,,,A*63", 0, 0, 0, 0, 0,
     ""},
    {"", 66, "$GNRMC,184102.00,A,5000.14318,N,00838.63715,E,0.419,,030416,,,A*00", 0, 0, 0, 0, 0,
     ""},
    {"", 67, "$GNGGA,784102.00,5000.14318,N,00838.63715,E,1,05,3.62,159.6,M,47.6,M,,*4F", 0, 0, 0,
     0, 0, ""},
    {"", 67, "$GNGGA,184102.00,5000.14318,N,00838.63715,E,1,05,3.62,159.6,M,47.6,M,,*00", 0, 0, 0,
     0, 0, ""},
    {"", 23, "$GNGNS,213712.000,4111.59903,N,71156.54809,W,AANN,13,0.93,01482.5,-016.5,,*52", 0, 0,
     0, 0, 0, ""},
    {"", 23, "$GNGNS,213712.000,4111.59903,N,11156.54809,W,AANN,13,0.93,01482.5,-016.5,,*00", 0, 0,
     0, 0, 0, ""},
    {"", 14, "$GNGSA,A,3,23,09,76,07,26,03,27,22,,,,,1.71,1.01,1.38*1B", 0, 0, 0, 0, 0, ""},
    {"", 14, "$GNGSA,A,3,23,09,16,07,26,03,27,22,,,,,1.71,1.01,1.38*00", 0, 0, 0, 0, 0, ""},
    {"", 47, "$GPRMC,771002.972,A,5200.8519,N,00421.7812,E,000.0,000.0,120610,,,A*6A", 1, 0, 0, 0,
     0, "GPRMC"},
    {"", 47, "$GPRMC,171002.972,A,5200.8519,N,00421.7812,E,000.0,000.0,120610,,,A*00", 1, 0, 0, 0,
     0, "GPRMC"},
    {"", 66, "$GNRMC,184102.00,A,5000.14318,N,00838.63715,E,0.419,,030416,,,A*G3", 0, 0, 0, 0, 0,
     ""},
    // Short lines: never read past the fields there are.
    {"", 0, "", 0, 0, 0, 0, 0, ""},
    {"", 0, "$GNRMC", 0, 0, 0, 0, 0, ""},
    {"", 0, "$GNRMC,184102.00,A", 0, 1, 0, 0, 0, "GNRMC"},
    {"", 0, "$GPRMC,1,A", 1, 1, 0, 0, 0, "GPRMC"},
    {"", 0, "$GPRMC,1,A*3B\r\n", 0, 1, 0, 0, 0, "GPRMC"},  // the old rule wants "A" exactly
    {"", 0, "$GNGGA,1,2,3,4,5", 0, 0, 0, 0, 0, ""},
    {"", 0, "$GNGGA,1,2,3,4,5,1*48\r\n", 0, 0, 1, 0, 0, "GNGGA"},
    {"", 0, "$GNGNS,1,2,3,4,5", 0, 0, 0, 0, 0, ""},
    {"", 0, "$GNGNS,1,2,3,4,5,A*23\r\n", 0, 0, 0, 1, 0, "GNGNS"},
    {"", 0, "$GNGSA,A", 0, 0, 0, 0, 0, ""},
    {"", 0, "$GNGSA,A,3*2E\r\n", 0, 0, 0, 0, 1, "GNGSA"},
    {"", 0, ",,,,,,,,,,,,,,", 0, 0, 0, 0, 0, ""},
    {"", 0, "$,A,A,A,A,A,A,A,A,A,A,A,A", 0, 0, 0, 0, 0, ""},
};

std::string DataPath(const std::string& file) {
  return std::string(testsupport::kNmeaDataDir) + "/" + file;
}

// Line n (1-based) of a recording, without its line end.
std::string RecordingLine(const std::string& file, int n) {
  std::ifstream in(DataPath(file), std::ios::binary);
  std::string line;
  for (int i = 0; i < n && std::getline(in, line); ++i) {
  }
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
    line.pop_back();
  return line;
}

TEST(FixRules, RealAndMadeLinesAgainstEveryRule) {
  const char* names[] = {"gprmc", "rmc", "gga", "gns", "gsa3d"};
  for (const Vector& v : kVectors) {
    if (*v.file) {
      // A real line is the recording's own, byte for byte (binary junk
      // before a sentence aside, which the table does not copy).
      const std::string real = RecordingLine(v.file, v.line);
      EXPECT_EQ(real, v.text) << v.file << ":" << v.line;
    }
    const bool want[] = {v.gprmc, v.rmc, v.gga, v.gns, v.gsa3d};
    for (int r = 0; r < 5; ++r) {
      const auto rule = fix_rules::Make(names[r]);
      ASSERT_TRUE(rule);
      const bool fix = rule->IsFix(v.text, 0);
      EXPECT_EQ(fix, want[r]) << names[r] << " on " << v.file << ":" << v.line << " \"" << v.text
                              << "\"";
      if (fix) {
        EXPECT_EQ(rule->Sentence(v.text), v.sentence) << names[r] << " on \"" << v.text << "\"";
      }
    }
  }
}

TEST(FixRules, BinaryBytesBeforeASentenceDoNotHideIt) {
  // ublox-8.log:11: UBX binary messages run into the first valid $GNRMC.
  const std::string line = RecordingLine("ublox-8.log", 11);
  ASSERT_NE(line.find("$GNRMC,000941.00,A,"), std::string::npos) << "recording changed";
  ASSERT_NE(line.rfind("$GNRMC", 0), 0u) << "the line should start with binary bytes";
  const auto rmc = fix_rules::Make("rmc");
  EXPECT_TRUE(rmc->IsFix(line, 0));
  EXPECT_EQ(rmc->Sentence(line), "GNRMC");
  EXPECT_FALSE(fix_rules::Make("gprmc")->IsFix(line, 0));
}

TEST(FixRules, ALineWithAWrongChecksumIsCountedInTheDebugLog) {
  testsupport::TempDir dir;
  const std::string path = dir.file("debug.txt");
  std::FILE* previous = SetDebugLogStream(std::fopen(path.c_str(), "w"));
  const auto gga = fix_rules::Make("gga");
  // rx210.log:67 with its quality changed from 1 to 4 and the checksum kept.
  const std::string damaged =
      "$GNGGA,184102.00,5000.14318,N,00838.63715,E,4,05,3.62,159.6,M,47.6,M,,*4F\r\n";
  EXPECT_FALSE(gga->IsFix(damaged, 0));
  EXPECT_FALSE(gga->IsFix(damaged, 0));
  EXPECT_TRUE(gga->IsFix(RecordingLine("rx210.log", 67), 0));  // the line as it was recorded
  std::fclose(SetDebugLogStream(previous));
  const std::string log = testsupport::ReadFile(path);
  const std::string entry = "a line with a wrong checksum is no fix (";
  const auto first = log.find(entry);
  ASSERT_NE(first, std::string::npos) << log;
  const auto second = log.find(entry, first + 1);
  ASSERT_NE(second, std::string::npos) << "each one counted: " << log;
  EXPECT_EQ(log.find(entry, second + 1), std::string::npos) << log;
  // The count goes up by one per line: "(n so far)" then "(n+1 so far)".
  const int n = std::atoi(log.c_str() + first + entry.size());
  EXPECT_NE(log.find("(" + std::to_string(n + 1) + " so far): $GNGGA,184102.00"), std::string::npos)
      << log;
  EXPECT_NE(log.find(damaged.substr(0, damaged.size() - 2) + "\n"), std::string::npos) << log;
}

TEST(FixRules, RegistryNamesDefaultAndRefusal) {
  EXPECT_EQ(fix_rules::KnownNames(),
            (std::vector<std::string>{"gprmc", "rmc", "gga", "gns", "gsa3d"}));
  EXPECT_EQ(fix_rules::KnownNamesText(), "gprmc, rmc, gga, gns, gsa3d");
  EXPECT_TRUE(fix_rules::IsDefault(""));
  EXPECT_TRUE(fix_rules::IsDefault("gprmc"));
  EXPECT_FALSE(fix_rules::IsDefault("rmc"));
  EXPECT_FALSE(fix_rules::IsKnown("GPRMC"));
  for (const std::string& name : fix_rules::KnownNames())
    EXPECT_FALSE(fix_rules::Description(name).empty()) << name;
  EXPECT_EQ(fix_rules::Description("gga"), "a GGA with fix quality 1 to 5");
  EXPECT_EQ(fix_rules::Description("GPRMC"), "");
  EXPECT_EQ(fix_rules::Make("nmea"), nullptr);
  ASSERT_TRUE(fix_rules::Make(""));
  EXPECT_TRUE(fix_rules::Make("")->IsFix("$GPRMC,1,A,", 0));
}

// Property: over every line of every recording (as the queue hands them, with
// and without the line end), the default rule takes exactly the lines the old
// matcher took; and each rule takes only lines of its own sentence type.
TEST(FixRules, DefaultRuleIsTheOldMatcherOnEveryRecording) {
  const RmcFixMatcher old;
  const auto gprmc = fix_rules::Make("gprmc");
  const std::pair<const char*, const char*> types[] = {
      {"rmc", "RMC"}, {"gga", "GGA"}, {"gns", "GNS"}, {"gsa3d", "GSA"}};
  std::size_t files = 0, lines = 0, old_fixes = 0;
  std::size_t taken[4] = {};
  for (const auto& entry : std::filesystem::directory_iterator(testsupport::kNmeaDataDir)) {
    if (entry.path().extension() != ".log")
      continue;
    ++files;
    std::ifstream in(entry.path(), std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      for (const std::string& text : {line + "\n", line}) {
        ++lines;
        const bool was = old(text);
        old_fixes += was ? 1 : 0;
        ASSERT_EQ(gprmc->IsFix(text, 0), was) << entry.path().filename() << ": \"" << text << "\"";
        for (int r = 0; r < 4; ++r) {
          const auto rule = fix_rules::Make(types[r].first);
          if (!rule->IsFix(text, 0))
            continue;
          ++taken[r];
          const std::string address = rule->Sentence(text);
          ASSERT_EQ(address.size(), 5u) << text;
          EXPECT_EQ(address.substr(2), types[r].second) << types[r].first << ": " << text;
        }
      }
    }
  }
  EXPECT_GE(files, 25u) << "the recordings are missing";
  EXPECT_GT(old_fixes, 100u);
  for (int r = 0; r < 4; ++r)
    EXPECT_GT(taken[r], 10u) << types[r].first << " took almost nothing from " << lines << " lines";
}

// The rules read a field in place before they pay for a whole sentence:
// over every line of the recordings (and each cut short), the field read in
// place is the split's and the sentence's, field for field.
TEST(FixRuleFields, ReadInPlaceAsTheSplitAndTheSentenceReadThem) {
  std::size_t lines = 0;
  std::vector<std::string> fields;
  for (const auto& entry : std::filesystem::directory_iterator(testsupport::kNmeaDataDir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      for (const std::string& text : {line + "\r\n", line.substr(0, line.size() / 2)}) {
        ++lines;
        SplitNmeaFields(fields, text);
        const fix_rules::Sentence sentence(text);
        for (std::size_t f = 0; f < 24; ++f) {
          const auto raw = fix_rules::RawField(text, f);
          ASSERT_EQ(raw.has_value(), f < fields.size()) << f << ": " << text;
          if (raw) {
            ASSERT_EQ(*raw, fields[f]) << f << ": " << text;
          }
          ASSERT_EQ(fix_rules::SentenceField(text, f), sentence.Field(f)) << f << ": " << text;
        }
      }
    }
  }
  EXPECT_GT(lines, 10000u) << "the recordings are missing";
}

}  // namespace
