// SIMCom SIM7500/SIM7600 (AT+CGPS), from the SIM7500_SIM7600 AT Command
// Manual V1.12 chapter 17 and the captures of the shared notes:
//   AT+CGPS?          +CGPS: 1,1 on, +CGPS: 0,1 off
//   AT+CGPS=1[,mode]  from off OK and on; while on ERROR (a capture and the
//                     board maker's statement)
//   AT+CGPS=0         OK, and the unsolicited +CGPS: 0 once the engine stopped
//                     (drivers wait 2 s to 60 s; 3 s here). UNSURE: no +CGPS: 0
//                     when it was already off (then only OK here).
//   AT+CGPSCOLD/HOT   only while stopped: OK and the engine starts as that
//                     restart type; while on ERROR. No warm start (V1.12).
//   AT+CGPSDEL        only while stopped: the next start is cold.
//   AT+CGPSXE=1, AT+CGPSXD=<0..2> (OK, then +CGPSXD: 0), AT+CGPSXDAUTO=1.
//   AT+CGPSNMEA=<mask>, AT+CGPSNMEARATE=<0|1>: ERROR while on.
// Errors are plain ERROR, whatever CMEE says. UNSURE: the STOPPING state
// (on until the +CGPS: 0) is not modelled: the engine stops at the OK.
#include "sim/models/family_model.h"

namespace sim {

namespace {

class Sim7600Model final : public FamilyModel {
 public:
  Sim7600Model()
      : FamilyModel("AT+CGPS?", {"SIMCOM INCORPORATED", "SIMCOM_SIM7600E-H",
                                 "+CGMR: LE20B04SIM7600M22 (ZUVEK simulator, sim7600 model)"}) {}

 protected:
  std::optional<AtReply> Family(const std::string& c, bool on) const override {
    if (c == "AT+CGPS?")
      return Ok({on ? "+CGPS: 1,1" : "+CGPS: 0,1"});
    if (c == "AT+CGPS=1" || c == "AT+CGPS=1,1" || c == "AT+CGPS=1,2" || c == "AT+CGPS=1,3")
      return on ? Error() : Ok({}, AtAction::kStart, -1);
    if (c == "AT+CGPS=0") {
      AtReply reply = Ok({}, AtAction::kStop);
      if (on) {
        reply.later_ms = 3000;
        reply.later = "+CGPS: 0\r\n";
      }
      return reply;
    }
    if (c == "AT+CGPSCOLD" || c == "AT+CGPSHOT")
      return on ? Error() : Ok({}, AtAction::kStart, c == "AT+CGPSCOLD" ? 1 : 0);
    if (c == "AT+CGPSDEL")
      return on ? Error() : Ok({}, AtAction::kDelete, 1);
    if (c == "AT+CGPSXE=1" || c == "AT+CGPSXE=0" || c == "AT+CGPSXDAUTO=1")
      return Ok();
    if (const auto server = Arguments(c, "AT+CGPSXD=");
        server && server->size() == 1 && (*server)[0] >= '0' && (*server)[0] <= '2') {
      AtReply reply = Ok({}, AtAction::kXtraData);  // the download's outcome follows
      reply.later_ms = 1000;
      reply.later = "+CGPSXD: 0\r\n";
      return reply;
    }
    if (Arguments(c, "AT+CGPSNMEA=") || Arguments(c, "AT+CGPSNMEARATE="))
      return on ? Error() : Ok();
    return std::nullopt;
  }
};

}  // namespace

std::shared_ptr<const ModuleSpeaker> MakeSim7600Model() {
  return std::make_shared<Sim7600Model>();
}

}  // namespace sim
