#include "cli/probe_gnss.h"

#include <algorithm>
#include <string>
#include <thread>

#include "engine/at_matchers.h"
#include "profiles/bundled_profiles.h"

namespace cli {
namespace {

// How long each command of the start and the stop may take to answer.
constexpr int kReplyMs = 5000;

// The first refusal line of a reply; empty when there is none.
std::string RefusalIn(const std::string& reply) {
  std::size_t start = 0;
  while (start < reply.size()) {
    std::size_t end = reply.find_first_of("\r\n", start);
    if (end == std::string::npos)
      end = reply.size();
    const std::string line = reply.substr(start, end - start);
    if (IsRefusal(line))
      return ReplyText(line);
    start = end + 1;
  }
  return {};
}

// Writes the steps to the AT port; false (told on `err`) at the first
// refusal, or when the port does not open or take them.
bool Send(const ModuleProfile& profile, const std::string& port,
          const std::vector<const ProfileStep*>& steps, const DiagnosisRoots& roots,
          std::ostream& err) {
  std::vector<AtCommandAndReply> commands;
  for (const ProfileStep* s : steps)
    commands.push_back({s->command, s->reply});
  std::string error;
  const std::vector<std::string> replies = SendAtCommands(port, commands, kReplyMs, &error, roots);
  for (std::size_t i = 0; i < replies.size(); ++i) {
    if (const std::string refusal = RefusalIn(replies[i]); !refusal.empty()) {
      err << "zuvek-cli: " << RefusalSentence(profile.name, commands[i].command, refusal) << "\n";
      return false;
    }
  }
  if (!error.empty())
    err << "zuvek-cli: " << error << "\n";
  return error.empty() && replies.size() == commands.size();
}

}  // namespace

void ProbePorts(const std::vector<PortEntry>& ports, const std::vector<std::size_t>& which,
                const DiagnosisRoots& roots, std::vector<ProbeReport>* probes) {
  probes->resize(ports.size());
  std::vector<std::thread> threads;
  for (const std::size_t i : which) {
    threads.emplace_back(
        [&ports, &roots, probes, i] { (*probes)[i] = ProbePort(ports[i].text, {}, roots); });
  }
  for (auto& t : threads)
    t.join();
}

bool ProbeAgainWithGnssOn(const ModuleProfile& profile, const std::vector<PortEntry>& ports,
                          const DiagnosisRoots& roots, std::vector<ProbeReport>* probes,
                          std::ostream& err) {
  const auto is_at = [](const ProbeReport& r) { return r.kind == ProbeKind::kAt; };
  const auto at = std::find_if(probes->begin(), probes->end(), is_at);
  if (at == probes->end()) {
    err << "zuvek-cli: no port answered AT, so GNSS was not started: check the module's power "
           "and cable, and that no other program holds its AT port\n";
    return false;
  }
  const std::string& at_port = ports[static_cast<std::size_t>(at - probes->begin())].text;
  std::vector<std::size_t> silent;
  for (std::size_t i = 0; i < probes->size(); ++i) {
    if ((*probes)[i].kind == ProbeKind::kSilent)
      silent.push_back(i);
  }
  if (silent.empty()) {
    err << "zuvek-cli: no port was silent: GNSS was not started\n";
    return true;
  }
  std::vector<const ProfileStep*> start;
  for (const ProfileStep& s : profile.setup)
    start.push_back(&s);
  start.push_back(&profile.GnssOn());
  if (!Send(profile, at_port, start, roots, err))
    return false;
  err << "zuvek-cli: GNSS started on " << at_port << " (" << CommandName(profile.GnssOn().command)
      << "); the silent ports probed again\n";
  ProbePorts(ports, silent, roots, probes);
  if (Send(profile, at_port, {&profile.stop}, roots, err))
    err << "zuvek-cli: GNSS stopped (" << CommandName(profile.stop.command) << ")\n";
  return true;
}

}  // namespace cli
