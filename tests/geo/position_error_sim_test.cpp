// The error at each fix end to end against the simulator, whose truth log
// tells where its antenna is and what each fix epoch reported: the tool's
// errors equal the distances worked out here from the truth (on a local
// plane with the WGS-84 radii of curvature: millimetres off at these
// distances), for a given reference and for "auto".
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "profiles/module_commands.h"
#include "tests/e2e/sim_rig.h"
#include "tests/support/timeline_columns.h"

namespace {

using testsupport::SimRig;

double LocalDistanceM(const GeoPosition& a, const GeoPosition& b) {
  constexpr double kA = 6378137.0, kF = 1 / 298.257223563;
  const double e2 = kF * (2 - kF);
  const double phi = (a.lat_deg + b.lat_deg) / 2 * M_PI / 180;
  const double w = 1 - e2 * std::sin(phi) * std::sin(phi);
  const double meridian = kA * (1 - e2) / std::pow(w, 1.5);
  const double normal = kA / std::sqrt(w);
  const double north = meridian * (a.lat_deg - b.lat_deg) * M_PI / 180;
  const double east = normal * std::cos(phi) * (a.lon_deg - b.lon_deg) * M_PI / 180;
  return std::hypot(north, east);
}

TEST(PositionErrorSim, ErrorsAtTheFixFollowTheTruthForAGivenAndAnAutoReference) {
  for (const bool automatic : {false, true}) {
    SCOPED_TRACE(automatic ? "auto" : "given");
    SimRig rig;
    // A capture long enough for the cold start's 3D fix (2 to 6 s after its
    // 2D fix), whose GGA gives the altitude.
    g_config.SetIntervalSleep(8);
    // A reference 30 m north of the antenna (given), or the median (auto).
    GeoPosition given{48.1173 + 30.0 / 111200.0, 11.0 + 31.0 / 60.0, 520.3};
    rig.reference = automatic ? ReferenceChoice{true, {}} : ReferenceChoice{false, given};
    rig.Open();
    rig.RunTest(RESTART_COLD, 3);
    const TestOutcome out = rig.engine->LastOutcome();
    ASSERT_TRUE(out.completed) << out.end_reason;
    const auto truth = rig.simulator.Truth();
    ASSERT_EQ(truth.size(), 3u);
    const auto summary = nlohmann::json::parse(testsupport::ReadFile(out.summary_path));
    const auto& runs = summary.at("position_error_m").at("runs");
    ASSERT_EQ(runs.size(), 3u);
    const GeoPosition antenna = *truth[0].true_position;
    for (std::size_t i = 0; i < 3; ++i) {
      ASSERT_TRUE(truth[i].fix_position) << i;
      const GeoPosition fix = *truth[i].fix_position;
      EXPECT_LT(LocalDistanceM(fix, antenna), 20.0) << "the model wanders metres, not more";
      if (automatic) {
        // The median of the positions after the fixes lies within the wander.
        const auto& ref = summary.at("reference");
        EXPECT_TRUE(ref.at("auto").get<bool>());
        const GeoPosition median{ref.at("lat"), ref.at("lon"), std::nullopt};
        EXPECT_NEAR(runs[i].at("error_m").get<double>(), LocalDistanceM(fix, median), 0.01);
      } else {
        EXPECT_NEAR(runs[i].at("error_m").get<double>(), LocalDistanceM(fix, given), 0.01);
        ASSERT_FALSE(runs[i].at("error_3d_m").is_null()) << "the altitude of the capture's GGA";
        EXPECT_GE(runs[i].at("error_3d_m").get<double>(), runs[i].at("error_m").get<double>());
        const std::string csv = testsupport::ReadFile(out.csv_path);
        EXPECT_NE(csv.find(",fix_lat,fix_lon,fix_alt_m,error_m,error_3d_m,reset_suspect" +
                           std::string(testsupport::kTimelineHeader) + "\n"),
                  std::string::npos);
      }
    }
  }
}

}  // namespace
