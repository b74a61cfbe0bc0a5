#include "config/toml_text.h"

std::optional<toml::table> ParseTomlText(const std::string& text, const std::string& source,
                                         std::vector<std::string>& problems) {
  try {
    return toml::parse(text, source);
  } catch (const toml::parse_error& e) {
    problems.push_back(source + ":" + std::to_string(e.source().begin.line) + ": " +
                       std::string(e.description()));
    return std::nullopt;
  }
}
