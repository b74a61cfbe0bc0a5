// Building NMEA 0183 sentences: the body between "$" and "*" goes in, the
// whole sentence with its checksum and "\r\n" comes out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sim {

// XOR of every byte of the body (the text between "$" and "*").
std::uint8_t NmeaChecksum(std::string_view body);

// "$" + body + "*" + two upper-case hex digits + "\r\n".
std::string BuildSentence(std::string_view body);

// True when the sentence (with or without its line end) carries a checksum
// that matches its body.
bool HasValidChecksum(std::string_view sentence);

}  // namespace sim
