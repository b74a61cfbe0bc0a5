// The NMEA 0183 checksum: the XOR of the bytes between "$" (or "!") and "*",
// written after the "*" as two hex digits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// XOR of every byte of the body (the text between "$" and "*").
std::uint8_t NmeaChecksum(std::string_view body);

// "$" + body + "*" + two upper-case hex digits + "\r\n".
std::string BuildNmeaSentence(std::string_view body);

// True when the sentence ("$..." or "!...", with or without its line end)
// carries, after its first "*", two hex digits (either case) that match its
// body. False without a "*" or with fewer than two hex digits after it.
bool HasMatchingChecksum(std::string_view sentence);
