// A settings text in TOML (zuvek.toml, a profile, a plan, a hooks file)
// parsed, or its syntax error told as one sentence "SOURCE:LINE: what".
#pragma once

#include <toml++/toml.h>

#include <optional>
#include <string>
#include <vector>

std::optional<toml::table> ParseTomlText(const std::string& text, const std::string& source,
                                         std::vector<std::string>& problems);
