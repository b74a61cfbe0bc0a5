#pragma once

#include <string>
#include <vector>

// Cuts an NMEA line at every ",", keeping empty fields.
void SplitNmeaFields(std::vector<std::string>& fields, const std::string& line);
