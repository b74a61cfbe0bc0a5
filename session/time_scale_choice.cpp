#include "session/time_scale_choice.h"

#include <cstdio>

#include "platform/sim_ports.h"
#include "serial/posix_tty.h"

namespace {

std::string ScaleNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

struct PortsSimulator {
  std::optional<platform::SimPort> at, nmea;
  // Both ports are one running simulator's.
  bool Same() const { return at && nmea && at->scale_path == nmea->scale_path; }
  // Why the ports are not one simulator's.
  std::string Why(const std::string& at_path, const std::string& nmea_path,
                  const char* simulator) const {
    if (!at || !nmea)
      return (at ? nmea_path : at_path) + " is not a port of a running " + simulator;
    return at_path + " and " + nmea_path + " belong to different simulators";
  }
};

PortsSimulator Lookup(const std::string& at_path, const std::string& nmea_path) {
  return {platform::FindSimPort(at_path), platform::FindSimPort(nmea_path)};
}

}  // namespace

TimeScaleChoice ChooseRunTimeScale(std::optional<double> asked, const std::string& at_port,
                                   const std::string& nmea_port) {
  const std::string at_path = tty::DevicePath(at_port), nmea_path = tty::DevicePath(nmea_port);
  const PortsSimulator sim = Lookup(at_path, nmea_path);
  TimeScaleChoice choice;
  if (sim.Same()) {
    const platform::SimPort& port = *sim.at;
    if (asked && *asked != port.scale) {
      choice.refused = true;
      choice.note = "zuvek-cli run: --time-scale " + ScaleNumber(*asked) + " does not match the " +
                    "simulator \"" + port.name + "\" of these ports, which runs at time scale " +
                    ScaleNumber(port.scale) + " (" + port.scale_path + "): give --time-scale " +
                    ScaleNumber(port.scale) + " or leave it out.";
      return choice;
    }
    choice.scale = port.scale;
    if (!asked && port.scale != 1.0) {
      choice.note = "zuvek-cli: time scale " + ScaleNumber(port.scale) +
                    ", taken from the simulator \"" + port.name + "\" of these ports (" +
                    port.scale_path + ")";
    }
    return choice;
  }
  if (asked && *asked != 1.0) {
    choice.refused = true;
    choice.note = "zuvek-cli run: --time-scale " + ScaleNumber(*asked) +
                  " is only for the simulator: " + sim.Why(at_path, nmea_path, "`zuvek-cli sim`") +
                  ", and against a real module a scaled clock would make every TTFF " +
                  ScaleNumber(*asked) + " times too long and every time-out " +
                  ScaleNumber(*asked) +
                  " times too short. Leave --time-scale out to measure at real time.";
  }
  return choice;
}

TimeScaleChoice ChooseWindowTimeScale(std::optional<double> asked, const std::string& at_port,
                                      const std::string& nmea_port) {
  const std::string at_path = tty::DevicePath(at_port), nmea_path = tty::DevicePath(nmea_port);
  const PortsSimulator sim = Lookup(at_path, nmea_path);
  TimeScaleChoice choice;
  if (sim.Same()) {
    const platform::SimPort& port = *sim.at;
    choice.scale = port.scale;
    if (asked && *asked != port.scale) {
      choice.note = "zuvek: ignoring ZUVEK_TIME_SCALE=" + ScaleNumber(*asked) +
                    ": the simulator \"" + port.name + "\" of these ports runs at time scale " +
                    ScaleNumber(port.scale) + ", and the window's clock follows it.";
    } else if (!asked && port.scale != 1.0) {
      choice.note = "zuvek: time scale " + ScaleNumber(port.scale) +
                    ", taken from the simulator \"" + port.name + "\" of these ports.";
    }
    return choice;
  }
  if (asked && *asked != 1.0) {
    choice.note = "zuvek: ignoring ZUVEK_TIME_SCALE=" + ScaleNumber(*asked) + ": " +
                  sim.Why(at_path, nmea_path, "simulator") +
                  ", and a real module is measured at real time.";
  }
  return choice;
}
