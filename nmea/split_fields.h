// The one field splitter of every NMEA decoder and of the fix detection.
//   "$GPRMC,083559.00,A,,N*hh\r\n" -> "$GPRMC" "083559.00" "A" "" "N*hh\r\n"
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Cuts an NMEA line at every ",", keeping empty fields: N commas give N+1
// fields, a line without a comma one field (the whole line). The checksum
// and line end stay in the last field. `fields` is replaced (its strings'
// room is reused). Keeps no state, so any thread may call it.
void SplitNmeaFields(std::vector<std::string>& fields, std::string_view line);
