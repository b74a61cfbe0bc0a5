#include "cli/sim_form_options.h"

#include <cctype>
#include <memory>

#include "profiles/profile_loader.h"

namespace cli {

void SimFormChoice::Add(CLI::App* sub, const std::string& prefix, const std::string& lead) {
  auto help = [&lead](std::string text) {
    if (lead.empty())
      text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return lead + text;
  };
  sub->add_option(prefix + "talker", talker,
                  help("talker of the receiver: GP (the module's own mix, with \"$GPRMC\") or GN "
                       "(a multi-constellation receiver: $GNRMC, never \"$GPRMC\")"));
  sub->add_option(prefix + "nmea-version", version,
                  help("NMEA version of the receiver: 2.1, 2.3, 3.01, 4.0, 4.10 (default) or "
                       "4.11; before 4.10 a GSA has no system ID"));
  sub->add_option(prefix + "signals", signals,
                  help("a multi-band receiver (NMEA 4.11 signal IDs, a GSV group per "
                       "constellation and signal), its bands named by a signal of each: L1,L5 "
                       "(GPS L1 C/A and L5, Galileo E1 and E5a, BeiDou B1I and B2a), L1,L2 (L2, "
                       "GLONASS G2), E5b or B2I; the first band is acquired first"));
}

bool SimFormChoice::ApplyTo(sim::SimOptions& options, std::string* error) const {
  if (!talker.empty() && !sim::ParseTalker(talker, options.nmea_form)) {
    *error = "the talker must be GP or GN, not '" + talker + "'";
    return false;
  }
  if (!version.empty() && !sim::ParseNmeaVersion(version, options.nmea_form)) {
    *error = "the NMEA version must be 2.1, 2.3, 3.01, 4.0, 4.10 or 4.11, not '" + version + "'";
    return false;
  }
  if (signals.empty())
    return true;
  if (!version.empty() && options.nmea_form.version != 411) {
    *error = "signal IDs are NMEA 4.11: leave out the NMEA version or give 4.11 with the signals";
    return false;
  }
  return sim::ParseSignals(signals, options.nmea_form, error);
}

bool ApplySimProfile(const std::string& name_or_file, sim::SimOptions& options,
                     std::string* error) {
  const ProfileLoad load = ResolveProfile(name_or_file);
  if (!load.profile) {
    std::string text;
    for (const std::string& problem : load.problems)
      text += (text.empty() ? "" : "\n") + problem;
    *error = text;
    return false;
  }
  options.profile = std::make_shared<const ModuleProfile>(*load.profile);
  return true;
}

}  // namespace cli
