// The NMEA checksum against a real recording's lines (gpsd's, BSD-2) and
// the ways a line can carry a wrong or unreadable one.
#include "nmea/nmea_checksum.h"

#include <gtest/gtest.h>

namespace {

TEST(NmeaChecksum, RealLinesMatchAndDamagedOnesDoNot) {
  const std::string real = "$GPRMC,170958.972,V,5200.8499,N,00421.7860,E,000.0,000.0,120610,,,N*79";
  const struct {
    const char* legend;
    std::string line;
    bool matches;
  } cases[] = {
      {"a recorded line", real, true},
      {"with its line end", real + "\r\n", true},
      {"hex in lower case", "$GPGSV,1,1,02*7b", true},
      {"one byte damaged", "$GPRMC,170958.972,A" + real.substr(19), false},
      {"a checksum of one digit", real.substr(0, real.size() - 1), false},
      {"no checksum", "$GPRMC,170958.972,V", false},
      {"not hex", "$GPGSV,1,1,00*G9", false},
      {"no $", real.substr(1), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HasMatchingChecksum(c.line), c.matches) << c.legend;
  // Built sentences carry their own checksum, in upper case, and CR LF.
  EXPECT_EQ(BuildNmeaSentence("GPGSV,1,1,00"), "$GPGSV,1,1,00*79\r\n");
  EXPECT_TRUE(HasMatchingChecksum(BuildNmeaSentence(real.substr(1, real.find('*') - 1))));
}

}  // namespace
