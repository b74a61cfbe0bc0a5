#include "config/options_logic.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
    ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
    --e;
  return s.substr(b, e - b);
}

}  // namespace

bool ParseSigned(const std::string& text, std::int32_t& value) {
  const std::string t = Trim(text);
  if (t.empty())
    return false;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(t.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX)
    return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

bool ParseUnsigned(const std::string& text, std::uint32_t& value) {
  const std::string t = Trim(text);
  if (t.empty() || t[0] == '-')
    return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(t.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v > UINT32_MAX)
    return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

OptionsFields FieldsFromConfig(const app_config& config) {
  OptionsFields f;
  f.timeout = std::to_string(config.GetTimeout());
  f.interval_sleep = std::to_string(config.GetIntervalSleep());
  f.uncrtn = std::to_string(static_cast<std::uint32_t>(config.GetUncrtn()));
  f.import_xtra = config.GetImportXtraCmd();
  return f;
}

SaveOutcome SaveOptions(const OptionsFields& fields, OptionsValues current, app_config& config) {
  SaveOutcome out;
  // The data exchange: field by field, in the order 1024, 1025, 1026.
  if (!ParseSigned(fields.timeout, current.timeout))
    out.messages.push_back(kEnterAnInteger);
  if (!ParseSigned(fields.interval_sleep, current.interval_sleep)) {
    out.messages.push_back(kEnterAnInteger);
  }
  if (!ParseUnsigned(fields.uncrtn, current.uncrtn))
    out.messages.push_back(kEnterAPositiveInteger);
  out.values = current;

  // The command is checked before the numbers.
  if (fields.import_xtra.size() >= 100) {
    out.messages.push_back(kXtraCommandTooLong);
    return out;
  }
  if (current.interval_sleep > 0 && current.timeout > 0 && current.uncrtn != 0) {
    config.SetIntervalSleep(current.interval_sleep);
    config.SetTimeout(current.timeout);
    config.SetUncrtn(static_cast<std::int32_t>(current.uncrtn));
    config.SetImportXtraCmd(fields.import_xtra);
    out.stored = true;
    return out;
  }
  out.messages.push_back(kTimeSettingsNotPositive);
  return out;
}
