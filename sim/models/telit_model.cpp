// Telit LE910Cx/LN920/ME910 ($GPS commands), from ModemManager's Telit
// plugin, autopi-core's le910cx module, older Telit module libraries and the
// captures of the shared notes:
//   AT$GPSP?          $GPSP: 1 on, $GPSP: 0 off
//   AT$GPSP=1         from off OK and on; UNSURE (one code comment): ERROR
//                     while on, as here
//   AT$GPSP=0         OK, off
//   AT$GPSNMUN=2,<6 x 0|1>  OK in either state: raw NMEA on the NMEA port,
//                     which is silent without it; a power cycle forgets it
//                     (a user's report). Mode 3 turns the AT port into a data
//                     stream (CONNECT) and is refused here (ERROR).
//   AT$GPSR=<0..3>    OK; 1 cold, 2 warm, 3 hot (0 factory reset: cold).
//                     UNSURE: older module libraries only; whether the engine
//                     must be off first is not known (accepted in either state).
//   AT$GPSNVRAM=15,0  OK: the stored GNSS data deleted (bit meanings UNSURE)
//   AT$GPSACP         $GPSACP: ,,,,,1,,,,,, before a fix
#include "sim/models/family_model.h"

namespace sim {

namespace {

class TelitModel final : public FamilyModel {
 public:
  TelitModel()
      : FamilyModel("AT$GPSP?",
                    {"Telit", "LE910C1-EUX", "25.21.660 (ZUVEK simulator, telit model)"}, true) {}

 protected:
  std::optional<AtReply> Family(const std::string& c, bool on) const override {
    if (c == "AT$GPSP?")
      return Ok({on ? "$GPSP: 1" : "$GPSP: 0"});
    if (c == "AT$GPSP=1")
      return on ? Error() : Ok({}, AtAction::kStart, -1);
    if (c == "AT$GPSP=0")
      return Ok({}, AtAction::kStop);
    if (const auto args = Arguments(c, "AT$GPSNMUN=2,"); args && ValidFlags(*args)) {
      SetUp();
      return Ok();
    }
    if (const auto n = Arguments(c, "AT$GPSR=");
        n && n->size() == 1 && (*n)[0] >= '0' && (*n)[0] <= '3') {
      const int types[] = {1, 1, 2, 0};  // factory reset, cold, warm, hot
      return Ok({}, AtAction::kDelete, types[(*n)[0] - '0']);
    }
    if (c == "AT$GPSNVRAM=15,0")
      return Ok({}, AtAction::kDelete, 1);
    if (c == "AT$GPSACP")
      return Ok({"$GPSACP: ,,,,,1,,,,,,"});
    return std::nullopt;
  }

 private:
  // "1,1,1,1,1,1": GGA, GLL, GSA, GSV, RMC, VTG on or off.
  static bool ValidFlags(const std::string& args) {
    if (args.size() != 11)
      return false;
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (i % 2 == 0 ? (args[i] != '0' && args[i] != '1') : args[i] != ',')
        return false;
    }
    return true;
  }
};

}  // namespace

std::shared_ptr<const ModuleSpeaker> MakeTelitModel() {
  return std::make_shared<TelitModel>();
}

}  // namespace sim
