// Reading the fields of one NMEA sentence for the fix rules, never past the
// end of the field list and without the checksum or line end of the last.
#pragma once

#include <string>
#include <vector>

namespace fix_rules {

// The sentence that starts at the last "$" of a line (bytes of a binary
// message or a cut-off sentence may stand before it), cut with
// SplitNmeaFields, and the parts of its address.
struct Sentence {
  std::vector<std::string> fields;
  std::string talker;  // "GN" of "$GNRMC"; empty when the line has no address
  std::string type;    // "RMC" of "$GNRMC"
  // The sentence has a checksum ("*hh") that is not the XOR of the bytes
  // between "$" and "*": damaged on the wire. False without a checksum.
  bool checksum_wrong = false;

  explicit Sentence(const std::string& line);
  // Field i without "*hh" and the line end; empty when the sentence has no field i.
  std::string Field(std::size_t i) const;
  bool Has(std::size_t i) const { return i < fields.size(); }
};

// "GNRMC" of "$GNRMC,...": the address of the sentence at the last "$",
// without "$", the checksum and the line end.
std::string AddressOf(const std::string& line);

}  // namespace fix_rules
