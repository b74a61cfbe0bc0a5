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

const OptionsField& OptionsFieldOf(int id) {
  for (const OptionsField& f : kOptionsFields)
    if (f.id == id)
      return f;
  return kOptionsFields[0];
}

namespace {

// The box for field `id`: the message, then the field on a line of its own.
SaveOutcome Refused(SaveOutcome out, int id, const std::string& message) {
  out.messages.push_back(message + "\nField: " + OptionsFieldOf(id).name);
  out.focus = id;
  return out;
}

std::string AtMost(int id) {
  const OptionsField& f = OptionsFieldOf(id);
  return std::string(f.name) + " can be at most " + std::to_string(f.max) + " " + f.unit + ".";
}

}  // namespace

SaveOutcome SaveOptions(const OptionsFields& fields, OptionsValues current, app_config& config) {
  SaveOutcome out;
  out.values = current;
  // The data exchange, field by field; the first that fails ends it.
  if (!ParseSigned(fields.timeout, out.values.timeout))
    return Refused(out, kTimeoutField, kEnterAnInteger);
  if (!ParseSigned(fields.interval_sleep, out.values.interval_sleep))
    return Refused(out, kIntervalSleepField, kEnterAnInteger);
  if (!ParseUnsigned(fields.uncrtn, out.values.uncrtn))
    return Refused(out, kUncrtnField, kEnterAPositiveInteger);
  const OptionsValues& v = out.values;

  // The command is checked before the numbers.
  if (fields.import_xtra.size() >= 100)
    return Refused(out, kImportXtraField, kXtraCommandTooLong);
  const std::string not_positive =
      std::string(kTimeSettingsNotPositive) + "\n" + kTimeSettingsNotPositiveEnglish;
  if (v.timeout <= 0)
    return Refused(out, kTimeoutField, not_positive);
  if (v.interval_sleep <= 0)
    return Refused(out, kIntervalSleepField, not_positive);
  if (v.uncrtn == 0)
    return Refused(out, kUncrtnField, not_positive);
  if (v.timeout > kMaxTimeoutS)
    return Refused(out, kTimeoutField, AtMost(kTimeoutField));
  if (v.interval_sleep > kMaxIntervalSleepS)
    return Refused(out, kIntervalSleepField, AtMost(kIntervalSleepField));
  if (v.uncrtn > kMaxUncrtnMs)
    return Refused(out, kUncrtnField, AtMost(kUncrtnField));
  config.SetIntervalSleep(v.interval_sleep);
  config.SetTimeout(v.timeout);
  config.SetUncrtn(static_cast<std::int32_t>(v.uncrtn));
  config.SetImportXtraCmd(fields.import_xtra);
  out.stored = true;
  return out;
}
