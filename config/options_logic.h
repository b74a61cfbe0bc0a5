// What the Options dialog does with its four fields when Save is pressed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/app_config.h"
#include "config/config_checks.h"

inline constexpr const char* kXtraCommandTooLong = "ImportXTRA Command too long, please fix it!";
inline constexpr const char* kTimeSettingsNotPositive = "时间设置不能小于等于0";
// The framework's own message for a number field that does not parse.
inline constexpr const char* kEnterAnInteger = "Please enter an integer.";
inline constexpr const char* kEnterAPositiveInteger = "Please enter a positive integer.";
// The meaning of kTimeSettingsNotPositive, on a line of its own below it.
inline constexpr const char* kTimeSettingsNotPositiveEnglish =
    "The time settings must be greater than 0.";

// The edit boxes' ids.
inline constexpr int kTimeoutField = 1024;
inline constexpr int kIntervalSleepField = 1025;
inline constexpr int kUncrtnField = 1026;
inline constexpr int kImportXtraField = 1038;

// The largest values a test can use: the same bounds a test checks
// TTFF.cfg against when it starts.
inline constexpr std::int32_t kMaxTimeoutS = kTimeoutRange.max;
inline constexpr std::int32_t kMaxIntervalSleepS = kIntervalSleepRange.max;
inline constexpr std::uint32_t kMaxUncrtnMs = kUncertaintyRange.max;

// A field of the dialog: its id, the name on its label, its unit and the
// largest value it takes (0: a text).
struct OptionsField {
  int id;
  const char* name;
  const char* unit;
  std::uint32_t max;
};
inline constexpr OptionsField kOptionsFields[] = {
    {kTimeoutField, "Timeout", "s", kMaxTimeoutS},
    {kIntervalSleepField, "Interval sleep", "s", kMaxIntervalSleepS},
    {kUncrtnField, "UNCRTN", "ms", kMaxUncrtnMs},
    {kImportXtraField, "Import XTRA", "", 0},
};
// The field of this id.
const OptionsField& OptionsFieldOf(int id);

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
  int focus = 0;                      // the field to correct (its id); 0 when stored
};

// The fields as the dialog opens: the record's current values.
OptionsFields FieldsFromConfig(const app_config& config);

// Save: exchanges the three number fields into `current` in the order
// 1024, 1025, 1026, checks the command's length and then the numbers: above
// zero, then within their largest values. The first field that fails stops
// it: one box, naming the field on a line of its own, the focus goes to it
// and nothing is stored. All well: stores into config.
SaveOutcome SaveOptions(const OptionsFields& fields, OptionsValues current, app_config& config);

// Parses a whole signed or unsigned 32-bit number with optional blanks
// around it, as the dialog's data exchange does.
bool ParseSigned(const std::string& text, std::int32_t& value);
bool ParseUnsigned(const std::string& text, std::uint32_t& value);
