// Cutting "\r\n"-terminated lines off the front of a byte queue.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Longest line delivered whole, separator included. A longer line is
// delivered as its first kMaxLineBytes - 2 bytes and its separator; the rest
// of it leaves the queue with it and is counted as dropped.
inline constexpr std::size_t kMaxLineBytes = 16 * 1024;

// Moves the complete lines at the front of source into lines, each keeping
// its two-byte separator, in order.
//  - An empty source leaves lines untouched.
//  - Otherwise lines is cleared first; bytes after the last separator stay
//    in source.
//  - A NUL byte inside a line ends the delivered string there, but the whole
//    line leaves the queue.
// The bytes taken are erased from source once per call, so the cost stays
// linear in the bytes taken. Returns the number of bytes cut off overlong
// lines (0 normally).
std::size_t ExtractLines(std::vector<char>& source, std::vector<std::string>& lines,
                         const char* separator);
