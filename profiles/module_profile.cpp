#include "profiles/module_profile.h"

#include <algorithm>
#include <boost/algorithm/string/replace.hpp>

#include "config/app_config.h"
#include "profiles/module_commands.h"

namespace {

ProfileStep Step(const char* command, unsigned timeout_s = 10, int attempts = 1) {
  ProfileStep s;
  s.command = command;
  s.reply = module::kReplyOk;
  s.timeout_s = timeout_s;
  s.attempts = attempts;
  return s;
}

ModuleProfile MakeDefault() {
  ModuleProfile p;
  p.name = "default";
  p.description = "the built-in command set (AT+WGPS, AT+WGPSDEL, AT+WGPSXTRATIME)";
  p.query = Step(module::kQueryGnss, 10, 2);
  p.reply_on = module::kReplyGnssOn;
  p.reply_off = module::kReplyGnssOff;
  p.stop = Step(module::kStopGnss, 10, 7);
  p.del[RESTART_HOT] = Step(module::kDeleteHot, 10, 11);
  p.del[RESTART_COLD] = Step(module::kDeleteCold, 10, 11);
  p.del[RESTART_WARM] = Step(module::kDeleteWarm, 10, 11);
  p.clock = Step(module::kQueryClock);
  p.clock_marker = module::kReplyClock;
  p.xtra_time = Step("AT+WGPSXTRATIME=0,\"{time}\",1,1,{uncertainty_ms}\r\n");
  p.xtra_data = Step(module::kDefaultXtraData, 20, 3);
  p.xtra_data.command = CommandLine(p.xtra_data.command);
  p.start = Step(module::kStartGnss);
  return p;
}

}  // namespace

bool ProfileStep::IsBusy(const std::string& refusal) const {
  return std::find(busy.begin(), busy.end(), refusal) != busy.end();
}

const ProfileStep& ModuleProfile::DeleteFor(int restart_type) const {
  return del[restart_type == RESTART_COLD || restart_type == RESTART_WARM ? restart_type
                                                                          : RESTART_HOT];
}

const ProfileStep& ModuleProfile::StartFor(int restart_type) const {
  const int t =
      restart_type == RESTART_COLD || restart_type == RESTART_WARM ? restart_type : RESTART_HOT;
  return start_for[t].Present() ? start_for[t] : start;
}

const ProfileStep& ModuleProfile::GnssOn() const {
  if (start.Present())
    return start;
  const ProfileStep& power_on = DeleteFor(RESTART_HOT);
  return power_on.Present() ? power_on : StartFor(RESTART_HOT);
}

bool ModuleProfile::ResetsFor(int restart_type) const {
  return restart_type == RESTART_HOT || restart_type == RESTART_POWER_CYCLE ||
         DeleteFor(restart_type).Present() || &StartFor(restart_type) != &start;
}

int RecordedRestartType(const ModuleProfile& profile, int restart_type) {
  return profile.ResetsFor(restart_type) ? restart_type : RESTART_PLAIN;
}

std::string NoResetSentence(const ModuleProfile& profile, int restart_type) {
  if (profile.ResetsFor(restart_type))
    return {};
  std::string type = RestartTypeName(restart_type);  // "Warm Start"
  for (char& c : type)
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  const std::string kind = type.substr(0, type.find(' '));
  return "the profile " + (profile.name.empty() ? std::string("default") : profile.name) +
         " has no command for a " + type + ": its " + kind + " runs would be plain starts (" +
         CommandName(profile.StartFor(restart_type).command) +
         "), hot or cold as the module chooses, not " + type + "s";
}

const ModuleProfile& DefaultProfile() {
  static const ModuleProfile profile = MakeDefault();
  return profile;
}

std::string CommandLine(const std::string& text) {
  if (text.empty() || text.find("\r\n") != std::string::npos)
    return text;
  return text + "\r\n";
}

std::string CommandName(const std::string& command) {
  std::string name = command;
  while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
    name.pop_back();
  return name;
}

std::string FillXtraTime(const std::string& templ, const std::string& time_text,
                         unsigned uncertainty_ms) {
  std::string cmd = templ;
  boost::algorithm::replace_all(cmd, "{uncertainty_ms}", std::to_string(uncertainty_ms));
  boost::algorithm::replace_all(cmd, "{time}", time_text);
  return cmd;
}

std::string XtraDataCommand(const ModuleProfile& profile, const std::string& configured) {
  if (!configured.empty() && configured != kDefaultImportXtraCmd)
    return CommandLine(configured);
  return profile.xtra_data.command;
}
