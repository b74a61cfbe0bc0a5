// One CSV line into its fields, as RFC 4180 has them: a field in double
// quotes may hold commas, and "" stands for one quote.
#pragma once

#include <string>
#include <vector>

namespace store {

inline std::vector<std::string> CsvFields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"')
        fields.back() += line[++i];
      else if (c == '"')
        quoted = false;
      else
        fields.back() += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c != '\r') {
      fields.back() += c;
    }
  }
  return fields;
}

}  // namespace store
