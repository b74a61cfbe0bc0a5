// Reading the fields of one NMEA sentence for the fix rules, never past the
// end of the field list and without the checksum or line end of the last.
#pragma once

#include <optional>
#include <string>
#include <string_view>
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

// Field i of text cut at its commas, as SplitNmeaFields would give it (the
// checksum and line end stay in the last); nullopt when text has no field i.
// Reads in place: a rule asks it before it pays for a whole Sentence.
std::optional<std::string_view> RawField(std::string_view text, std::size_t i);
// Field i of the sentence at the line's last "$" as Sentence::Field reads
// it (without "*hh" and the line end); empty when it has no field i.
std::string_view SentenceField(std::string_view line, std::size_t i);

// "GNRMC" of "$GNRMC,...": the address of the sentence at the last "$",
// without "$", the checksum and the line end.
std::string AddressOf(const std::string& line);

}  // namespace fix_rules
