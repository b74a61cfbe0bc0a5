// Did the reset take: the first-epoch watch and the suspicion's reasons,
// (the end-to-end case against the simulator is in e2e.EngineOverSim).
#include <gtest/gtest.h>

#include "engine/reset_check.h"
#include "profiles/module_commands.h"

namespace {

TEST(ResetCheck, FirstEpochWatchSeesUsedSatellitesOnlyBeforeTheSecondRmc) {
  const struct {
    std::vector<const char*> lines;
    bool used;
  } cases[] = {
      {{"$GPRMC,1,V,,,,,,,,,,N*00", "$GPGSA,A,1,,,,,,,,,,,,,,,*00", "$GPRMC,2,A,,,,,,,,,,A*00",
        "$GPGSA,A,3,05,13,,,,,,,,,,,1.6,0.9,1.3*00"},
       false},
      {{"$GNRMC,1,A,,,,,,,,,,A*00", "$GNGSA,A,3,,,,,,,,,,,,,,,,1*00",
        "$GNGSA,A,3,67,68,,,,,,,,,,,1.6,0.9,1.3,2*00"},
       true},
      {{"junk\x01$GPGSA,A,3,05,,,,,,,,,,,,1.6,0.9,1.3*00"}, true},  // before any RMC
      {{"$GPGSA,A,1*00"}, false},                                   // too short to name any
      {{"$GPGSV,3,1,11,05,62,048,44*00"}, false},
  };
  for (const auto& c : cases) {
    FirstEpochWatch watch;
    for (const char* line : c.lines)
      watch.Feed(line);
    EXPECT_EQ(watch.UsedInFirstEpoch(), c.used) << c.lines.front();
  }
}

TEST(ResetCheck, ReasonsByRestartTypeTtffAndFirstEpoch) {
  const ResetThresholds t{10, 5};
  const struct {
    int type;
    bool fixed;
    double ttff;
    bool used;
    const char* reason;
  } cases[] = {
      {RESTART_COLD, true, 32.0, false, ""},
      {RESTART_COLD, true, 32.0, true, "used satellites in the first epoch"},
      {RESTART_COLD, true, 2.14, false, "fix in 2.14 s, faster than a cold start can be (10 s)"},
      {RESTART_COLD, true, 10.0, false, ""},
      {RESTART_WARM, true, 4.96, true, "fix in 4.96 s, faster than a warm start can be (5 s)"},
      {RESTART_WARM, true, 6.0, true, ""},  // a warm start keeps its almanac and may use them
      {RESTART_HOT, true, 1.0, true, ""},
      {RESTART_COLD, false, 0.0, true, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ResetSuspicion(c.type, c.fixed, c.ttff, c.used, t), c.reason) << c.ttff;
}

}  // namespace
