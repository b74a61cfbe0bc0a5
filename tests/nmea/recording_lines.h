// The real receiver recordings of tests/data/nmea, read as the receive path
// hands their lines over, and field helpers independent of the decoders.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>
#include "tests/support/test_paths.h"

namespace nmea_test {

inline const std::filesystem::path kRecordingDir = testsupport::kNmeaDataDir;

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The recordings the folder's README lists in its table, by name.
inline std::set<std::string> LogsInReadme() {
  std::set<std::string> out;
  const std::string text = ReadFile(kRecordingDir / "README.md");
  const std::regex row(R"(\n\| `([^`]+\.log)` \|)");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), row); it != std::sregex_iterator();
       ++it)
    out.insert((*it)[1].str());
  return out;
}

inline std::vector<std::filesystem::path> Recordings() {
  std::vector<std::filesystem::path> out;
  for (const auto& name : LogsInReadme())
    out.push_back(kRecordingDir / name);
  return out;
}

// The lines of a capture as the receive path would hand them over: cut at
// "\n", one "\r" dropped and "\r\n" put back, "#" comments skipped, and the
// text ending at a NUL byte as a C string does.
inline std::vector<std::string> ReceivedLines(const std::string& data) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < data.size()) {
    std::size_t end = std::min(data.find('\n', pos), data.size());
    std::string line = data.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line[0] == '#')
      continue;
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    line += "\r\n";
    lines.push_back(line.substr(0, line.find('\0')));
  }
  return lines;
}

// Fields by walking the characters, independent of the splitter under test.
inline std::vector<std::string> Fields(const std::string& text) {
  std::vector<std::string> out(1);
  for (char c : text) {
    if (c == ',') {
      out.emplace_back();
    } else {
      out.back() += c;
    }
  }
  return out;
}

inline int ToInt(const std::string& s) {
  long v = std::strtol(s.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long>(v, INT_MIN, INT_MAX));
}

inline bool Has(const std::string& s, const char* what) {
  return s.find(what) != std::string::npos;
}

inline std::size_t Dollars(const std::string& s) {
  return std::count(s.begin(), s.end(), '$');
}

}  // namespace nmea_test
