// What a runs CSV says of its runs, read by the test itself (a plain split
// of the first columns, which hold no quoted text), not by the program's
// reader: the runs, the fixes and their TTFFs, the failures by reason.
#pragma once

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

struct CsvCounts {
  unsigned runs = 0, fixes = 0;
  std::vector<double> ttffs;                 // of the fixes, in run order
  std::map<std::string, unsigned> failures;  // by reason
};

inline CsvCounts CountRunsCsv(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  const auto next = [&in, &line] {
    if (!std::getline(in, line))
      return false;
    if (!line.empty() && line.back() == '\r')
      line.pop_back();
    return true;
  };
  next();
  std::map<std::string, std::size_t> column;
  {
    std::istringstream header(line);
    std::string name;
    for (std::size_t i = 0; std::getline(header, name, ','); ++i)
      column[name] = i;
  }
  CsvCounts counts;
  while (next()) {
    std::vector<std::string> fields;
    std::istringstream row(line);
    for (std::string f; std::getline(row, f, ',');)
      fields.push_back(f);
    if (fields.size() <= column["reason"])
      fields.resize(column["reason"] + 1);
    ++counts.runs;
    if (fields[column["result"]] == "SUCC") {
      ++counts.fixes;
      counts.ttffs.push_back(std::stod(fields[column["ttff_s"]]));
    } else {
      ++counts.failures[fields[column["reason"]]];
    }
  }
  return counts;
}

}  // namespace testsupport
