// SIMCom SIM7000/SIM7070/SIM7080 (AT+CGNS), from the SIM7000 Series AT
// Command Manual chapter 14, Zephyr's sim7080 driver and the captures of the
// shared notes:
//   AT+CGNSPWR?       +CGNSPWR: 1 powered, +CGNSPWR: 0 not
//   AT+CGNSPWR=1      OK, also when already powered (no error)
//   AT+CGNSPWR=0      OK, the engine stops
//   AT+CGNSCOLD/WARM/HOT  OK while powered: the engine (re)starts as that
//                     restart type. UNSURE: the reply while not powered (the
//                     error text is not known; ERROR here).
//   AT+CGNSPORT=3, AT+CGNSCFG=<n>, AT+CGNSTST=<0|1>: OK.
//   AT+CGNSXTRA=1     ERROR unless an XTRA file was copied (none is here).
//   AT+CGNSINF        +CGNSINF: <run>,0,... before a fix.
// UNSURE: power-on starts the engine navigating by itself; here the restart
// command that follows it starts the receiver.
#include "sim/models/family_model.h"

namespace sim {

namespace {

class Sim7000Model final : public FamilyModel {
 public:
  Sim7000Model()
      : FamilyModel("AT+CGNSPWR?", {"SIMCOM INCORPORATED", "SIMCOM_SIM7000G",
                                    "Revision:1351B08SIM7000G (ZUVEK simulator, sim7000 model)"}) {}

 protected:
  std::optional<AtReply> Family(const std::string& c, bool on) const override {
    if (c == "AT+CGNSPWR?")
      return Ok({powered_ ? "+CGNSPWR: 1" : "+CGNSPWR: 0"});
    if (c == "AT+CGNSPWR=1") {
      powered_ = true;
      return Ok();
    }
    if (c == "AT+CGNSPWR=0") {
      powered_ = false;
      return Ok({}, AtAction::kStop);
    }
    if (auto reply = Restart(c, {"AT+CGNSHOT", "AT+CGNSCOLD", "AT+CGNSWARM"}, powered_))
      return reply;
    if (c == "AT+CGNSPORT=3" || Arguments(c, "AT+CGNSCFG=") || c == "AT+CGNSTST=0" ||
        c == "AT+CGNSTST=1")
      return Ok();
    if (c == "AT+CGNSINF")
      return Ok({std::string("+CGNSINF: ") + (on ? "1" : "0") + ",0,,,,,,,0,,,,,,,,,,,,"});
    return std::nullopt;  // AT+CGNSXTRA=1 too: no XTRA file was copied
  }

 private:
  mutable bool powered_ = false;
};

}  // namespace

std::shared_ptr<const ModuleSpeaker> MakeSim7000Model() {
  return std::make_shared<Sim7000Model>();
}

}  // namespace sim
