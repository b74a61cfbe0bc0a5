// The live clock's text for the window: counting from the "OK", the phases
// as they come, frozen at the fix, other runs ignored.
#include <gtest/gtest.h>

#include "timeline/run_clock.h"

namespace {

using timeline::RunClock;
using timeline::TimelinePhase;

TEST(RunClock, CountsFromTheOkAndShowsThePhases) {
  RunClock c;
  EXPECT_EQ(c.Text(5'000'000), "");
  c.Start(3, 10, 2'000'000, 2'100'000);
  EXPECT_EQ(c.Text(14'400'000), "Run 3 of 10 \u00b7 00:12.4 since start");
  c.Reach(3, TimelinePhase::kFirstSnr, 2100);
  c.Reach(2, TimelinePhase::kFirst2d, 5000);  // a run before: ignored
  c.Reach(3, TimelinePhase::kFirst2d, 8000);
  EXPECT_EQ(c.Text(75'050'000),
            "Run 3 of 10 \u00b7 01:13.0 since start\nfirst satellite 2.1 s \u00b7 2D 8.0 s");
  c.Reach(3, TimelinePhase::kFix, 8000);
  c.Reach(3, TimelinePhase::kFirst3d, 9000);
  EXPECT_EQ(c.Text(99'000'000),
            "Run 3 of 10 \u00b7 00:08.0 to the fix\nfirst satellite 2.1 s "
            "\u00b7 2D 8.0 s \u00b7 3D 9.0 s \u00b7 fix 8.0 s");
  c.Clear();
  EXPECT_EQ(c.Text(99'000'000), "");
}

TEST(RunClock, AnUnknownOkCountsFromWhenItWasTold) {
  RunClock c;
  c.Start(1, 1, 0, 1'000'000);
  EXPECT_EQ(c.Text(1'500'000), "Run 1 of 1 \u00b7 00:00.5 since start");
  EXPECT_EQ(timeline::ClockText(-20), "00:00.0");
  EXPECT_EQ(timeline::ClockText(3'723'456), "62:03.4");
}

}  // namespace
