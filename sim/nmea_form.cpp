#include "sim/nmea_form.h"

#include <array>
#include <cctype>
#include <utility>

namespace sim {

namespace {

constexpr std::array<std::pair<const char*, int>, 6> kVersions = {{
    {"2.1", 210},
    {"2.3", 230},
    {"3.01", 301},
    {"4.0", 400},
    {"4.10", 410},
    {"4.11", 411},
}};

}  // namespace

bool ParseTalker(const std::string& text, NmeaForm& form) {
  std::string t;
  for (char c : text)
    t += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (t != "GP" && t != "MODULE" && t != "GN")
    return false;
  form.gn = t == "GN";
  return true;
}

bool ParseNmeaVersion(const std::string& text, NmeaForm& form) {
  for (const auto& [name, version] : kVersions) {
    if (text == name) {
      form.version = version;
      return true;
    }
  }
  return false;
}

std::string NmeaVersionText(const NmeaForm& form) {
  for (const auto& [name, version] : kVersions) {
    if (version == form.version)
      return name;
  }
  return std::to_string(form.version);
}

}  // namespace sim
