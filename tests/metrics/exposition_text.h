// The samples of a text exposition (Prometheus's text format), read apart
// from the program: `name{label="value",...} number` lines, comments skipped.
#pragma once

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

struct Sample {
  std::string name;
  std::map<std::string, std::string> labels;
  double value = 0;
};

inline std::vector<Sample> ParseExposition(const std::string& text) {
  std::vector<Sample> samples;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#')
      continue;
    Sample s;
    std::size_t i = line.find_first_of("{ ");
    s.name = line.substr(0, i);
    if (i != std::string::npos && line[i] == '{') {
      ++i;
      while (i < line.size() && line[i] != '}') {
        const std::size_t eq = line.find('=', i);
        const std::string key = line.substr(i, eq - i);
        std::string value;
        std::size_t j = eq + 2;  // past ="
        for (; j < line.size() && line[j] != '"'; ++j) {
          if (line[j] == '\\' && j + 1 < line.size())
            ++j;
          value += line[j];
        }
        s.labels[key] = value;
        i = j + 1;
        if (i < line.size() && line[i] == ',')
          ++i;
      }
      ++i;
    }
    s.value = std::strtod(line.c_str() + line.find_first_not_of(' ', i), nullptr);
    samples.push_back(s);
  }
  return samples;
}

// The samples named `name` whose labels include every one of `labels`.
inline std::vector<Sample> Select(const std::vector<Sample>& samples, const std::string& name,
                                  const std::map<std::string, std::string>& labels = {}) {
  std::vector<Sample> out;
  for (const Sample& s : samples) {
    bool match = s.name == name;
    for (const auto& [k, v] : labels)
      match = match && s.labels.count(k) && s.labels.at(k) == v;
    if (match)
      out.push_back(s);
  }
  return out;
}

}  // namespace testsupport
