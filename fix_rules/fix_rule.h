// A fix rule: looks at each NMEA line with its arrival stamp and says "fix"
// or "not yet". The engine asks the test's rule during the fix wait; a tool
// that draws a run's timeline may ask every rule about the same lines.
#pragma once

#include <cstdint>
#include <string>

class FixRule {
 public:
  virtual ~FixRule() = default;
  // True when `line` (as the NMEA queue hands it, checksum and line end
  // included) is the fix. `stamp_us` is its arrival stamp (monotonic us, 0
  // when unknown); the rules of today do not need it.
  virtual bool IsFix(const std::string& line, std::int64_t stamp_us) const = 0;
  // The address of the sentence in a line this rule accepted ("GNRMC").
  virtual std::string Sentence(const std::string& line) const;
  // A text every line this rule accepts holds ("GGA"), so that a caller
  // asking about every line can pass over the others cheaply; null: none known.
  virtual const char* MustContain() const { return nullptr; }
};
