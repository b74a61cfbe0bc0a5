// What the Options dialog does with its four fields when Save is pressed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/app_config.h"

inline constexpr const char* kXtraCommandTooLong = "ImportXTRA Command too long, please fix it!";
inline constexpr const char* kTimeSettingsNotPositive = "时间设置不能小于等于0";
// The framework's own message for a number field that does not parse.
inline constexpr const char* kEnterAnInteger = "Please enter an integer.";
inline constexpr const char* kEnterAPositiveInteger = "Please enter a positive integer.";

struct OptionsFields {
  std::string timeout;         // edit 1024, signed
  std::string interval_sleep;  // edit 1025, signed
  std::string uncrtn;          // edit 1026, unsigned
  std::string import_xtra;     // edit 1038
};

struct OptionsValues {
  std::int32_t timeout = 0;
  std::int32_t interval_sleep = 0;
  std::uint32_t uncrtn = 0;
};

struct SaveOutcome {
  bool stored = false;                // the values went into the record; close the dialog
  std::vector<std::string> messages;  // boxes to show, in order
  OptionsValues values;               // the members after the exchange
};

// The fields as the dialog opens: the record's current values.
OptionsFields FieldsFromConfig(const app_config& config);

// Save: exchanges the three number fields into `current` (a field that does
// not parse keeps its value and adds the framework's message), checks the
// command's length first and then the numbers, and stores into config when
// all is well.
SaveOutcome SaveOptions(const OptionsFields& fields, OptionsValues current, app_config& config);

// Parses a whole signed or unsigned 32-bit number with optional blanks
// around it, as the dialog's data exchange does.
bool ParseSigned(const std::string& text, std::int32_t& value);
bool ParseUnsigned(const std::string& text, std::uint32_t& value);
