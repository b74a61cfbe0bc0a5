// What the module models of every family share, written from the module
// facts of the shared notes (the manuals and captures they cite), never from
// the bundled profiles: "AT", ATE0 and ATE1, the identity commands
// (AT+CGMI/CGMM/CGMR, AT+GMI/GMM/GMR, ATI) and "ERROR" for every command the
// family does not know. Each family's own commands are its Family(). The
// firmware reply names the simulator, so that no store takes it for a module.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/at_dialect.h"

namespace sim {

class FamilyModel : public ModuleSpeaker {
 public:
  struct Identity {
    std::string maker, model, firmware;
  };
  // `query`: the family's state query (upper case); `needs_setup`: its NMEA
  // output is off until a set-up command turns it on (SetUp).
  FamilyModel(std::string query, Identity identity, bool needs_setup = false)
      : query_(std::move(query)),
        identity_(std::move(identity)),
        needs_setup_(needs_setup),
        nmea_on_(!needs_setup) {}

  AtReply Answer(const std::string& command, bool gnss_on, const platform::LocalTime& local,
                 int utc_offset_minutes) const final;
  bool IsQuery(const std::string& command) const override { return UpperCase(command) == query_; }
  bool HasQuery() const override { return true; }
  bool NmeaOn() const override { return nmea_on_; }
  void ForgetSetup() const override { nmea_on_ = !needs_setup_; }

 protected:
  // The family's answer to a command (upper case, without its line end);
  // none: a command the family does not know.
  virtual std::optional<AtReply> Family(const std::string& command, bool gnss_on) const = 0;
  void SetUp() const { nmea_on_ = true; }

  static AtReply Ok(std::vector<std::string> lines = {}, AtAction action = AtAction::kNone,
                    int restart_type = 0);
  static AtReply Error();
  // One of the family's restart commands (hot, cold, warm, in that order):
  // the engine (re)starts as that restart type while powered, ERROR while
  // not; none for another command.
  static std::optional<AtReply> Restart(const std::string& command,
                                        const std::array<const char*, 3>& restarts, bool powered);
  // "AT+CGPS=1,1" with head "AT+CGPS=": "1,1"; none for another command.
  static std::optional<std::string> Arguments(const std::string& command, const std::string& head);

 private:
  std::string query_;
  Identity identity_;
  bool needs_setup_;
  mutable bool nmea_on_;
};

std::shared_ptr<const ModuleSpeaker> MakeSim7600Model();
std::shared_ptr<const ModuleSpeaker> MakeSim7000Model();
std::shared_ptr<const ModuleSpeaker> MakeA76xxModel();
std::shared_ptr<const ModuleSpeaker> MakeTelitModel();
std::shared_ptr<const ModuleSpeaker> MakeSierraModel();

}  // namespace sim
