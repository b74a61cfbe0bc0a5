// Every real receiver recording of tests/data/nmea through the line handler,
// checked against counts and fields taken here independently of the
// decoders. The folder's README lists the recordings; a missing one fails.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <tuple>
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
  int signal = -1;  // none
  bool operator==(const Sat&) const = default;
  bool operator<(const Sat& o) const {
    return std::tie(letter, prn, signal, snr) < std::tie(o.letter, o.prn, o.signal, o.snr);
  }
};

void PrintTo(const Sat& s, std::ostream* os) {
  *os << s.letter << s.prn << "/" << s.snr;
  if (s.signal >= 0)
    *os << "@" << s.signal;
}

// The satellites of the GSV sentences of one epoch, counted from the raw
// fields: in arrival order for the chart's classic bars; by satellite and
// signal, the last report of each, when some sentence names its signal.
struct EpochCount {
  std::vector<Sat> classic;
  std::map<std::tuple<char, int, int>, int> by_signal;
  bool gsv = false, signals = false;

  void Add(const std::vector<std::string>& f) {
    gsv = true;
    const std::size_t n = f.size();
    const std::string& last = f.back();
    const bool trailing = n > 4 && (n - 4) % 4 == 1 && last.size() == 1 && std::isxdigit(last[0]);
    int signal = trailing ? std::stoi(last, nullptr, 16) : -1;
    const std::string talker = f[0].substr(f[0].size() - 5, 2);
    const std::map<std::string, char> letters = {{"GP", 'G'}, {"GL", 'R'}, {"GA", 'E'}, {"GB", 'B'},
                                                 {"BD", 'B'}, {"GQ", 'Q'}, {"QZ", 'Q'}};
    if (talker == "BD" && signal == 4)
      signal = -1;  // telit-pls83-w.log: BeiDou's system ID, no signal
    const bool classic_talker = talker == "GP" || talker == "GL" || talker == "GA";
    if (!letters.count(talker) || (!classic_talker && !trailing))
      return;
    signals = signals || signal >= 0;
    for (std::size_t i = 4; i + 3 < n; i += 4) {
      const int prn = ToInt(f[i]);
      const int snr = ToInt(f[i + 3]);
      if (prn == 0)
        continue;
      const char letter = talker == "GP" && prn >= 33 && prn <= 51 ? 'S' : letters.at(talker);
      by_signal[{letter, prn, signal}] = snr;
      if (snr > 0)
        classic.push_back({letter, prn, snr});
    }
  }
  std::vector<Sat> Bars() const {
    if (!signals)
      return classic;
    std::vector<Sat> out;
    for (const auto& [key, snr] : by_signal)
      if (snr > 0)
        out.push_back({std::get<0>(key), std::get<1>(key), snr, std::get<2>(key)});
    return out;  // sorted
  }
};

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

// Each RMC hands the chart the GSV satellites since the one before, or the
// last epoch's when none came (beidou-bd.log sends GSV every few epochs).
TEST(Recordings, SatellitesHandedToTheChartMatchAnIndependentCount) {
  std::size_t compared = 0, per_signal = 0;
  for (const auto& path : Recordings()) {
    Rig rig;
    std::vector<std::vector<Sat>> expected;
    EpochCount epoch, last;
    for (const auto& line : ReceivedLines(ReadFile(path))) {
      rig.handler.OnNmeaLine(line.c_str());
      if (Dollars(line) >= 2)
        continue;
      if (Has(line, "RMC")) {
        if (epoch.gsv)
          last = epoch;
        expected.push_back(last.Bars());
        epoch = {};
        continue;
      }
      if (Has(line, "$GPGSA") || Has(line, "$GNGSA") || Has(line, "$PWGSA"))
        continue;
      if (!Has(line, "GSV") || !Has(line, "*"))
        continue;
      const auto f = Fields(line.substr(0, line.find('*')));
      ASSERT_FALSE(Has(f[0], "PW")) << "vendor sentences are not counted here";
      if (f[0].size() >= 6 && f[0].compare(f[0].size() - 3, 3, "GSV") == 0)
        epoch.Add(f);
    }
    ASSERT_EQ(rig.epochs.size(), expected.size()) << path.filename();
    for (std::size_t e = 0; e < expected.size(); ++e) {
      std::vector<Sat> got;
      for (const auto& bar : rig.epochs[e])
        got.push_back({GnssLetter(bar.system), bar.prn, bar.snr, bar.signal});
      if (rig.skies[e].per_signal) {
        std::sort(got.begin(), got.end());
        per_signal += got.size();
      }
      EXPECT_EQ(got, expected[e]) << path.filename() << " epoch " << e;
      compared += expected[e].size();
    }
  }
  EXPECT_GT(compared, 1000u);   // the recordings carry plenty of satellites
  EXPECT_GT(per_signal, 500u);  // and those with signal IDs many of them
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
