// Reading an NMEA sentence field by field without copying it: the timeline
// looks at every line of a run, and most of them cannot matter to it.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "nmea/nmea_int.h"

namespace timeline {

// The sentence at the last "$" of a line (bytes of a binary message or a
// cut-off sentence may stand before it), up to its "*hh" or line end.
class SentenceCursor {
 public:
  explicit SentenceCursor(const std::string& line) {
    // memrchr and memchr: this runs for every line of a run.
    const void* dollar = memrchr(line.data(), '$', line.size());
    if (!dollar)
      return;
    const char* start = static_cast<const char*>(dollar);
    std::size_t size = static_cast<std::size_t>(line.data() + line.size() - start);
    if (const void* star = std::memchr(start, '*', size))
      size = static_cast<std::size_t>(static_cast<const char*>(star) - start);
    while (size > 0 && (start[size - 1] == '\r' || start[size - 1] == '\n'))
      --size;
    body_ = std::string_view(start, size);
    const std::string_view address = body_.substr(0, body_.find(','));
    // "$" + two talker letters + three sentence letters.
    if (address.size() == 6) {
      talker_ = address.substr(1, 2);
      type_ = address.substr(3);
    }
    rest_ = body_.substr(address.size());
  }

  std::string_view Talker() const { return talker_; }  // "GN" of "$GNRMC"
  std::string_view Type() const { return type_; }      // "RMC" of "$GNRMC"
  // The next field after the address (or after the last one taken); false
  // past the last field.
  bool Next(std::string_view& field) {
    if (rest_.empty() || rest_[0] != ',')
      return false;
    rest_.remove_prefix(1);
    // Fields are a few bytes: a plain loop beats a call per field.
    std::size_t comma = 0;
    while (comma < rest_.size() && rest_[comma] != ',')
      ++comma;
    field = rest_.substr(0, comma);
    rest_.remove_prefix(comma);
    return true;
  }

 private:
  std::string_view body_, talker_, type_, rest_;
};

// A field of digits as a number; -1 for an empty or malformed one.
inline int FieldNumber(std::string_view field) {
  return DigitsValue(field, 6);
}

}  // namespace timeline
