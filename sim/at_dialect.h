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

#include <string>
#include <vector>

#include "platform/clock.h"
#include "profiles/module_profile.h"

namespace sim {

enum class AtAction { kNone, kStart, kStop, kDelete, kXtraTime, kXtraData };

struct AtReply {
  std::string echo;                // the command echoed as a line, or empty
  std::vector<std::string> lines;  // reply lines, each ending in "\r\n"
  AtAction action = AtAction::kNone;
  // kDelete: the restart type it prepares (0 hot, 1 cold, 2 warm); kStart:
  // the restart type that start is (-1: the one the deletes prepared).
  int restart_type = 0;
};

class AtDialect {
 public:
  explicit AtDialect(const ModuleProfile& profile);

  // The answer to one command (without its line end, any case) given the
  // receiver state and the module's local time. The echo is the caller's.
  AtReply Answer(const std::string& command, bool gnss_on, const platform::LocalTime& local,
                 int utc_offset_minutes) const;
  // True for the profile's state query, with which the tool opens a run.
  bool IsQuery(const std::string& command) const;
  // True when the profile has a state query at all.
  bool HasQuery() const { return !query_.empty(); }
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
