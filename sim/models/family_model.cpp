#include "sim/models/family_model.h"

namespace sim {

AtReply FamilyModel::Ok(std::vector<std::string> lines, AtAction action, int restart_type) {
  AtReply reply;
  for (std::string& line : lines)
    reply.lines.push_back(line + "\r\n");
  reply.lines.push_back("OK\r\n");
  reply.action = action;
  reply.restart_type = restart_type;
  return reply;
}

AtReply FamilyModel::Error() {
  AtReply reply;
  reply.lines = {"ERROR\r\n"};
  return reply;
}

std::optional<AtReply> FamilyModel::Restart(const std::string& command,
                                            const std::array<const char*, 3>& restarts,
                                            bool powered) {
  for (int type = 0; type < 3; ++type) {
    if (command == restarts[static_cast<std::size_t>(type)])
      return powered ? Ok({}, AtAction::kRestart, type) : Error();
  }
  return std::nullopt;
}

std::optional<std::string> FamilyModel::Arguments(const std::string& command,
                                                  const std::string& head) {
  if (command.size() < head.size() || command.compare(0, head.size(), head) != 0)
    return std::nullopt;
  return command.substr(head.size());
}

AtReply FamilyModel::Answer(const std::string& command, bool gnss_on, const platform::LocalTime&,
                            int) const {
  const std::string c = UpperCase(command);
  if (c == "AT" || c == "ATE0" || c == "ATE1")
    return Ok();
  // ModemManager's order: AT+CGMx, then AT+GMx; ATI gives all three.
  if (c == "AT+CGMI" || c == "AT+GMI")
    return Ok({identity_.maker});
  if (c == "AT+CGMM" || c == "AT+GMM")
    return Ok({identity_.model});
  if (c == "AT+CGMR" || c == "AT+GMR")
    return Ok({identity_.firmware});
  if (c == "ATI")
    return Ok({"Manufacturer: " + identity_.maker, "Model: " + identity_.model,
               "Revision: " + identity_.firmware});
  if (std::optional<AtReply> reply = Family(c, gnss_on))
    return *reply;
  return Error();
}

}  // namespace sim
