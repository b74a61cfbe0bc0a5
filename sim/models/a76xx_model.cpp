// SIMCom A7670/A76xx (AT+CGNSS), from the A76XX GNSS Application Note V1.03
// chapter 5 and the captures of the shared notes:
//   AT+CGNSSPWR?      +CGNSSPWR: 1,0,1 powered, +CGNSSPWR: 0,0,1 not (the
//                     three-field form of every capture; older texts show one)
//   AT+CGNSSPWR=1     OK; from off, +CGNSSPWR: READY! some seconds later
//                     (7.8 s in a capture, 10 to 12 s in the manuals: 8 s
//                     here); when already powered OK and no READY!
//   AT+CGNSSPWR=0     OK, the engine stops
//   AT+CGPSCOLD/HOT/WARM  OK while powered: the engine (re)starts as that
//                     restart type; while not powered ERROR. UNSURE: WARM
//                     exists only on some platforms (accepted here).
//   AT+CGNSSTST=1     OK: the NMEA output on (the module forgets it on a reset)
//   AT+CGNSPWR..., AT+CGNSINF (the SIM70xx commands): ERROR always.
// UNSURE: the engine runs by itself after power-on; here the restart command
// that follows it starts the receiver.
#include "sim/models/family_model.h"

namespace sim {

namespace {

class A76xxModel final : public FamilyModel {
 public:
  A76xxModel()
      : FamilyModel("AT+CGNSSPWR?",
                    {"SIMCOM INCORPORATED", "A7670E-LASE",
                     "+CGMR: A011B07A7670M7 (ZUVEK simulator, a76xx model)"},
                    true) {}

 protected:
  std::optional<AtReply> Family(const std::string& c, bool) const override {
    if (c == "AT+CGNSSPWR?")
      return Ok({powered_ ? "+CGNSSPWR: 1,0,1" : "+CGNSSPWR: 0,0,1"});
    if (c == "AT+CGNSSPWR=1") {
      AtReply reply = Ok();
      if (!powered_) {
        reply.later_ms = 8000;
        reply.later = "+CGNSSPWR: READY!\r\n";
      }
      powered_ = true;
      return reply;
    }
    if (c == "AT+CGNSSPWR=0") {
      powered_ = false;
      return Ok({}, AtAction::kStop);
    }
    if (auto reply = Restart(c, {"AT+CGPSHOT", "AT+CGPSCOLD", "AT+CGPSWARM"}, powered_))
      return reply;
    if (c == "AT+CGNSSTST=1") {
      SetUp();
      return Ok();
    }
    return std::nullopt;
  }

 private:
  mutable bool powered_ = false;
};

}  // namespace

std::shared_ptr<const ModuleSpeaker> MakeA76xxModel() {
  return std::make_shared<A76xxModel>();
}

}  // namespace sim
