// ports --probe and --start-gnss: every port probed at once, and the NMEA
// port of a module whose GNSS is off heard again with GNSS on. The probe
// finds the AT port; the profile's set-up and its start turn GNSS on there,
// the ports that were silent are probed again, and the profile's stop turns
// it off again.
#pragma once

#include <cstddef>
#include <ostream>
#include <vector>

#include "profiles/module_profile.h"
#include "serial/port_discovery.h"
#include "serial/port_probe.h"

namespace cli {

// Probes the ports of `which` (indices into `ports`) at once, so that their
// listening windows overlap, into (*probes)[i].
void ProbePorts(const std::vector<PortEntry>& ports, const std::vector<std::size_t>& which,
                const DiagnosisRoots& roots, std::vector<ProbeReport>* probes);

// After a probe: starts GNSS on the first port that answered AT, probes the
// silent ports again and stops GNSS. What it did and what went wrong is told
// on `err`; false when GNSS could not be started (no AT port, a refusal, a
// port that does not open).
bool ProbeAgainWithGnssOn(const ModuleProfile& profile, const std::vector<PortEntry>& ports,
                          const DiagnosisRoots& roots, std::vector<ProbeReport>* probes,
                          std::ostream& err);

}  // namespace cli
