// Every real receiver recording of tests/data/nmea through the line handler,
// checked against counts and fields taken here independently of the
// decoders. The folder's README lists the recordings; a missing one fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "nmea_test_util.h"
#include "recording_lines.h"

namespace {

namespace fs = std::filesystem;
using namespace nmea_test;

const fs::path& kDir = kRecordingDir;

// The recordings in the folder, by name.
std::set<std::string> LogsInFolder() {
  std::set<std::string> out;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(kDir, ec)) {
    if (entry.path().extension() == ".log")
      out.insert(entry.path().filename().string());
  }
  return out;
}

struct Sat {
  char letter;
  int prn;
  int snr;
  bool operator==(const Sat&) const = default;
};

void PrintTo(const Sat& s, std::ostream* os) {
  *os << s.letter << s.prn << "/" << s.snr;
}

TEST(Recordings, TheFolderHoldsEveryRecordingItsReadmeLists) {
  const std::set<std::string> listed = LogsInReadme();
  EXPECT_EQ(listed.size(), 27u) << "README of " << kDir;
  EXPECT_EQ(LogsInFolder(), listed) << kDir;
  for (const auto& name : listed)
    EXPECT_GT(fs::file_size(kDir / name), 1000u) << name;
}

TEST(Recordings, EveryLineOfEveryFileGoesThroughTheHandler) {
  std::size_t lines = 0;
  for (const auto& path : Recordings()) {
    const std::string data = ReadFile(path);
    ASSERT_FALSE(data.empty()) << path;
    Rig rig;
    for (const auto& line : ReceivedLines(data)) {
      const int r = rig.handler.OnNmeaLine(line.c_str());
      EXPECT_EQ(r, Dollars(line) >= 2 ? 0 : 1) << path.filename() << ": " << line;
      ++lines;
    }
    // Verbatim, cut only at "\r\n": LF-only files become long runs of text.
    Rig raw;
    std::size_t pos = 0;
    while (pos < data.size()) {
      std::size_t end = data.find("\r\n", pos);
      end = end == std::string::npos ? data.size() : end + 2;
      raw.handler.OnNmeaLine(data.substr(pos, end - pos).c_str());
      pos = end;
    }
  }
  EXPECT_EQ(lines, 5375u);  // the data lines of the 27 files
}

TEST(Recordings, SatellitesHandedToTheChartMatchAnIndependentCount) {
  std::size_t compared = 0;
  for (const auto& path : Recordings()) {
    Rig rig;
    std::vector<std::vector<Sat>> expected;
    std::vector<Sat> epoch;
    for (const auto& line : ReceivedLines(ReadFile(path))) {
      rig.handler.OnNmeaLine(line.c_str());
      if (Dollars(line) >= 2)
        continue;
      if (Has(line, "RMC")) {
        expected.push_back(epoch);
        epoch.clear();
        continue;
      }
      if (Has(line, "$GPGSA") || Has(line, "$GNGSA") || Has(line, "$PWGSA"))
        continue;
      if (!Has(line, "GSV") || !Has(line, "*"))
        continue;
      const auto f = Fields(line.substr(0, line.find('*')));
      ASSERT_FALSE(Has(f[0], "PW")) << "vendor sentences are not counted here";
      char letter;
      if (Has(f[0], "GP")) {
        letter = 'G';
      } else if (Has(f[0], "GL")) {
        letter = 'R';
      } else if (Has(f[0], "GA")) {
        letter = 'E';
      } else {
        continue;
      }
      for (std::size_t i = 4; i + 3 < f.size(); i += 4) {
        const int prn = ToInt(f[i]);
        const int snr = ToInt(f[i + 3]);
        if (prn == 0 || snr <= 0)
          continue;
        epoch.push_back({letter == 'G' && prn >= 33 && prn <= 51 ? 'S' : letter, prn, snr});
      }
    }
    ASSERT_EQ(rig.epochs.size(), expected.size()) << path.filename();
    for (std::size_t e = 0; e < expected.size(); ++e) {
      std::vector<Sat> got;
      for (const auto& bar : rig.epochs[e])
        got.push_back({GnssLetter(bar.system), bar.prn, bar.snr});
      EXPECT_EQ(got, expected[e]) << path.filename() << " epoch " << e;
      compared += expected[e].size();
    }
  }
  EXPECT_GT(compared, 1000u);  // the recordings carry plenty of satellites
}

TEST(Recordings, ValidGprmcIsShownCharacterForCharacter) {
  std::size_t record_checks = 0, label_checks = 0;
  for (const auto& path : Recordings()) {
    Rig rig;
    std::set<int> set_now;
    rig.view.AddObserver([&](int id, const std::string&) { set_now.insert(id); });
    for (const auto& line : ReceivedLines(ReadFile(path))) {
      set_now.clear();
      rig.handler.OnNmeaLine(line.c_str());
      if (Dollars(line) >= 2 || !Has(line, "$GPRMC"))
        continue;
      const auto f = Fields(line);
      if (f.size() < 10 || f[2] != "A")
        continue;
      const PositionRecord& rec = rig.handler.Record();
      EXPECT_EQ(rec.m_str_utc_time, f[1]) << path.filename() << ": " << line;
      EXPECT_EQ(rec.m_str_lat, f[3] + f[4]) << path.filename() << ": " << line;
      EXPECT_EQ(rec.m_str_lon, f[5] + f[6]) << path.filename() << ": " << line;
      EXPECT_EQ(rec.m_str_utc_date, f[9]) << path.filename() << ": " << line;
      ++record_checks;
      if (set_now.count(kIdLat) == 0)
        continue;  // the set was not complete yet
      EXPECT_EQ(rig.Label(kIdLat), f[3] + f[4]) << path.filename() << ": " << line;
      EXPECT_EQ(rig.Label(kIdLon), f[5] + f[6]) << path.filename() << ": " << line;
      EXPECT_EQ(rig.Label(kIdUtcTime), f[1]) << path.filename() << ": " << line;
      EXPECT_EQ(rig.Label(kIdUtcDate), f[9]) << path.filename() << ": " << line;
      ++label_checks;
    }
  }
  EXPECT_GT(record_checks, 100u);
  EXPECT_GT(label_checks, 50u);
}

}  // namespace
