// The room a test may need, and the warning before it starts.
#include "engine/space_estimate.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;

TEST(SpaceEstimate, WorstCaseOfEveryRunPlusTheMargin) {
  struct {
    SpaceNeed need;
    std::uint64_t bytes;
    const char* legend;
  } cases[] = {
      {{1, 200, 10, 1000, false}, 210 * 1000 + kSpaceMarginBytes, "one run at 1 kB/s"},
      {{20, 200, 10, 1000, false}, 20 * 210 * 1000 + kSpaceMarginBytes, "scales with the runs"},
      {{3, 60, 10, 0, false},
       static_cast<std::uint64_t>(3 * 70 * kAssumedNmeaBytesPerS) + kSpaceMarginBytes,
       "no NMEA seen yet: the assumed rate"},
      {{2, 100, 10, 500, true},
       2 * (110 + 110 + kRunOverheadS) * 500 + kSpaceMarginBytes,
       "the all-NMEA log on the same file system counts, with the pauses"},
      {{1000, 200, 10, 2500, false},
       1000ull * 210 * 2500 + kSpaceMarginBytes,
       "a night of cold starts does not overflow"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(EstimateTestBytes(c.need), c.bytes) << c.legend;
}

TEST(SpaceEstimate, WarnsOnlyWhenTheTestDoesNotFit) {
  const SpaceNeed need{5, 200, 10, 1200, false};
  const std::uint64_t want = EstimateTestBytes(need);
  EXPECT_EQ(SpaceWarning(need, "/d/2026-12-08", "/d", static_cast<std::int64_t>(want)), "");
  EXPECT_EQ(SpaceWarning(need, "/d/2026-12-08", "/d", -1), "") << "unknown room: no warning";
  const std::string w = SpaceWarning(need, "/d/2026-12-08", "/d", 180 * 1024);
  EXPECT_EQ(w,
            "The day folder /d/2026-12-08 has 180 KiB free on /d, but this test may write up to "
            "1.5 MiB (5 runs x (200 s time-out + 10 s logging after the fix) x 1 KiB of NMEA a "
            "second, and the other logs). Free space on /d or choose another folder; the test "
            "starts anyway.");
}

TEST(SpaceEstimate, ByteCounts) {
  EXPECT_EQ(FormatBytes(512), "512 bytes");
  EXPECT_EQ(FormatBytes(64 * 1024), "64 KiB");
  EXPECT_EQ(FormatBytes(3 * kMiB / 2), "1.5 MiB");
  EXPECT_EQ(FormatBytes(5ull << 30), "5.0 GiB");
}

}  // namespace
