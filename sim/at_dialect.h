// What the simulated module answers, taken from a module profile: the
// profile's query, stop, deletes, starts, clock, XTRA, set-up and identity
// commands each get the reply the profile waits for, and the action the
// simulator takes on it. Any other command but "AT", "ATE0" and "ATE1" is
// answered "ERROR", as a module of another family would.
//
// Replies: "OK" alone for a step that waits for "OK"; "OK" and then a line of
// the awaited text for a step that waits for something else (a module's
// unsolicited "READY!" or "+CGPSXD: 0"); the on or off text and "OK" for the
// state query; the time in the profile's form and "OK" for the clock query;
// one line naming the simulator and "OK" for an identity command.
//
// A command that is the delete of several restart types (a power-on standing
// in for every delete) only answers; one that is the start of exactly one
// restart type starts that type, since such modules have no delete.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "profiles/module_profile.h"

namespace sim {

// kRestart: the receiver starts anew as restart_type, also when it runs.
enum class AtAction { kNone, kStart, kStop, kDelete, kXtraTime, kXtraData, kRestart };

struct AtReply {
  std::string echo;                // the command echoed as a line, or empty
  std::vector<std::string> lines;  // reply lines, each ending in "\r\n"
  AtAction action = AtAction::kNone;
  // kDelete: the restart type it prepares (0 hot, 1 cold, 2 warm); kStart:
  // the restart type that start is (-1: the one the deletes prepared).
  int restart_type = 0;
  // An unsolicited line that follows after this many ms ("+CGNSSPWR: READY!").
  std::int64_t later_ms = 0;
  std::string later;
};

// What answers the tool's AT commands: a dialect taken from a profile
// (below), or a module model of its own (sim/models/).
class ModuleSpeaker {
 public:
  virtual ~ModuleSpeaker() = default;
  // The answer to one command (without its line end, any case) given the
  // receiver state and the module's local time. The echo is the caller's.
  virtual AtReply Answer(const std::string& command, bool gnss_on, const platform::LocalTime& local,
                         int utc_offset_minutes) const = 0;
  // True for the state query, with which the tool opens a run.
  virtual bool IsQuery(const std::string& command) const = 0;
  // True when there is a state query at all.
  virtual bool HasQuery() const = 0;
  // False while the module's NMEA output is off (a set-up it has not had).
  virtual bool NmeaOn() const { return true; }
  // The module came back from a reset: it forgot its set-up.
  virtual void ForgetSetup() const {}
};

class AtDialect : public ModuleSpeaker {
 public:
  explicit AtDialect(const ModuleProfile& profile);

  AtReply Answer(const std::string& command, bool gnss_on, const platform::LocalTime& local,
                 int utc_offset_minutes) const override;
  bool IsQuery(const std::string& command) const override;
  bool HasQuery() const override { return !query_.empty(); }
  const std::string& Name() const { return name_; }

 private:
  enum class Kind { kQuery, kClock, kIdentity, kPlain };
  struct Entry {
    std::string match;  // upper case, without the line end
    bool prefix = false;
    Kind kind = Kind::kPlain;
    std::string reply;  // the awaited text of a plain step
    AtAction action = AtAction::kNone;
    int restart_type = 0;
  };

  void Add(const ProfileStep& step, Kind kind, AtAction action, int restart_type,
           bool prefix = false);

  std::string name_;
  std::string query_;
  std::string reply_on_, reply_off_;
  std::string clock_marker_;
  ClockRule clock_rule_ = ClockRule::kCclk;
  std::vector<Entry> entries_;
};

// ASCII upper case: AT commands are matched without regard to case.
std::string UpperCase(std::string text);

// "+CCLK: \"yy/MM/dd,hh:mm:ss+zz\"" with zz the offset in quarter hours.
std::string FormatCclk(const platform::LocalTime& local, int utc_offset_minutes);

}  // namespace sim
