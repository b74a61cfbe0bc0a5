// Sierra Wireless EM/MC74xx, EM7565 (AT!GPS commands), from the AirPrime
// Extended AT Command Reference 2130616 rev 8, the WP75 reference 4118047 and
// the captures of the shared notes:
//   AT!GPSSTATUS?     a "Current time:" line, a blank line, "Last Fix Status
//                     = ..." and "Fix Session Status = ACTIVE" while a session
//                     runs; UNSURE: NONE when none runs (after AT!GPSEND too)
//   AT!GPSTRACK=<fixtype>,<maxtime>,<maxdist>,<fixcount>,<fixrate>
//                     OK and a session; while one runs the refusal
//                     "ERROR CODE = <n>" followed by OK (n UNSURE: 3 here)
//   AT!GPSEND=0       OK, the session ends
//   AT!GPSCLRASSIST=<eph>,<alm>,<pos>,<time>,<iono>  OK while no session
//                     runs: everything cleared makes the next start cold, the
//                     ephemeris alone warm (UNSURE), nothing hot; while a
//                     session runs "Command ignored" and OK.
// The NMEA tty streams once "$GPS_START" was written to it; this model
// takes that as done before the test, as the tool does not write there.
#include "sim/models/family_model.h"

namespace sim {

namespace {

class SierraModel final : public FamilyModel {
 public:
  SierraModel()
      : FamilyModel("AT!GPSSTATUS?", {"Sierra Wireless, Incorporated", "EM7565",
                                      "SWI9X50C_01.14.02.00 (ZUVEK simulator, sierra model)"}) {}

 protected:
  std::optional<AtReply> Family(const std::string& c, bool on) const override {
    if (c == "AT!GPSSTATUS?")
      return Ok({"Current time: 2026 12 09 3 06:00:00", "", "Last Fix Status    = NONE",
                 std::string("Fix Session Status = ") + (on ? "ACTIVE" : "NONE")});
    if (const auto args = Arguments(c, "AT!GPSTRACK="); args && Fields(*args) == 5) {
      if (on)
        return Ok({"ERROR CODE = 3"});
      return Ok({}, AtAction::kStart, -1);
    }
    if (c == "AT!GPSEND=0")
      return Ok({}, AtAction::kStop);
    if (const auto args = Arguments(c, "AT!GPSCLRASSIST="); args && IsFlags(*args)) {
      if (on)
        return Ok({"Command ignored"});
      const bool all = *args == "1,1,1,1,1", ephemeris = (*args)[0] == '1';
      return Ok({}, AtAction::kDelete, all ? 1 : ephemeris ? 2 : 0);
    }
    return std::nullopt;
  }

 private:
  static int Fields(const std::string& args) {
    int n = 1;
    for (char ch : args) {
      if (ch == ',')
        ++n;
      else if (ch < '0' || ch > '9')
        return 0;
    }
    return n;
  }
  static bool IsFlags(const std::string& args) {
    return args.size() == 9 && Fields(args) == 5 &&
           args.find_first_not_of("01,") == std::string::npos;
  }
};

}  // namespace

std::shared_ptr<const ModuleSpeaker> MakeSierraModel() {
  return std::make_shared<SierraModel>();
}

}  // namespace sim
