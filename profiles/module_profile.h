// A module profile: the AT dialect of one module family, as data. For each
// step of a run it holds the command to write, the text a reply line must
// contain, the time-out and how often the step is tried. The engine's one
// run loop reads every command it sends from the profile it is given; the
// built-in default is the command table of profiles/module_commands.h.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

// One request and the wait for its reply. A step without a command is left
// out of the run.
struct ProfileStep {
  std::string command;  // the text written, "\r\n" included
  std::string reply = "OK";
  unsigned timeout_s = 10;
  // How often the command is written (query, delete, XTRA data, start); for
  // the stop between runs: how many waits follow its one write.
  int attempts = 1;
  // Refusals that mean "busy, try again" ("+CME ERROR: 505"): a refusal line
  // that is one of these texts counts as an attempt without a reply.
  std::vector<std::string> busy;

  bool Present() const { return !command.empty(); }
  // True when the refusal line (without its line end) is one of the step's
  // busy replies.
  bool IsBusy(const std::string& refusal) const;
  bool operator==(const ProfileStep&) const = default;
};

// How the module time is taken out of the clock reply.
enum class ClockRule {
  // After the first quote that follows the marker, up to a "+" zone or the
  // closing quote, with "20" put in front (a two-digit year becomes four).
  kCclk,
  // The text between the quotes as it stands.
  kQuoted,
};

struct ModuleProfile {
  std::string name;
  std::string description;

  ProfileStep query;  // attempts: writes before the test ends
  std::string reply_on, reply_off;
  ProfileStep stop;                // attempts: waits after the stop between runs
  std::array<ProfileStep, 3> del;  // by restart type (0 hot, 1 cold, 2 warm)
  ProfileStep clock;               // the module time for XTRA
  std::string clock_marker;        // the text of the line holding the time
  ClockRule clock_rule = ClockRule::kCclk;
  ProfileStep xtra_time;                 // {time} and {uncertainty_ms} filled in
  ProfileStep xtra_data;                 // the settings' command wins when it was changed
  ProfileStep start;                     // for every restart type without its own
  std::array<ProfileStep, 3> start_for;  // by restart type; empty: `start`
  std::vector<ProfileStep> setup;        // written once when a test starts
  std::vector<std::string> identity;     // identity commands, replies recorded

  const ProfileStep& DeleteFor(int restart_type) const;
  const ProfileStep& StartFor(int restart_type) const;
  // The command that turns GNSS on by itself ("Auto Start/Stop GPS"): the
  // common start; without one, the hot start's power-on (the step before
  // it, as on the SIM7000 and A76xx), else the hot start itself.
  const ProfileStep& GnssOn() const;
  // True when the restart type has a command of its own: a delete, or a
  // start of its own. A hot start needs none (GNSS stopped and started
  // again keeps what it knows); a cold or warm start without one is a plain
  // start of the module's own choosing.
  bool ResetsFor(int restart_type) const;
  bool operator==(const ModuleProfile&) const = default;
};

// The restart type a test asked for `restart_type` records: that type, or
// RESTART_PLAIN when the profile has no reset for it.
int RecordedRestartType(const ModuleProfile& profile, int restart_type);

// Why a test of this restart type would not be one ("the profile sim7600 has
// no command for a warm start: ..."); empty when the profile resets for it.
std::string NoResetSentence(const ModuleProfile& profile, int restart_type);

// The built-in profile: exactly the command table of module_commands.h.
const ModuleProfile& DefaultProfile();

// A command as written: the text with "\r\n" appended unless it holds one.
std::string CommandLine(const std::string& text);
// The command as a person reads it: without its line end ("AT+WGPS?").
std::string CommandName(const std::string& command);

// The XTRA time command: {time} and {uncertainty_ms} of the template filled.
std::string FillXtraTime(const std::string& templ, const std::string& time_text,
                         unsigned uncertainty_ms);

// The XTRA data command of a test: the settings' command when it is set and
// differs from the stock one, the profile's otherwise (empty: none).
std::string XtraDataCommand(const ModuleProfile& profile, const std::string& configured);

// Restart types by name and back: "hot", "cold", "warm".
inline constexpr std::array<const char*, 3> kRestartKeys = {"hot", "cold", "warm"};
