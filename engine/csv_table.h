// A CSV text read line by line, its fields by the header's column names,
// with the limits of a file of ours: a line over 64 KiB is no line of ours
// (a broken or foreign file) and is skipped and counted.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

class CsvTable {
 public:
  // `what` names the file in the problems ("The runs CSV"); an empty text
  // is one.
  CsvTable(const std::string& text, std::string what, std::vector<std::string>& problems);
  bool Has(const std::string& name) const { return columns_.count(name) > 0; }
  const std::vector<std::string>& Names() const { return names_; }
  // The next line with any text; false at the end.
  bool Next();
  // A field of the current line by column name ("" where the line is short).
  std::string Text(const std::string& name) const;
  std::optional<std::string> Field(const std::string& name) const;
  // A number field; a text that is no number is counted and none.
  std::optional<double> Value(const std::string& name);
  std::size_t LineNumber() const { return line_number_; }
  void AddBadNumbers(std::size_t n) { bad_numbers_ += n; }
  // The problems of the whole file: numbers that were none, long lines.
  void Finish();

 private:
  bool NextLine(std::string& line);

  const std::string& text_;
  std::size_t at_ = 0;
  std::string what_;
  std::vector<std::string>& problems_;
  std::vector<std::string> names_;
  std::map<std::string, std::size_t> columns_;
  std::string line_;
  std::vector<std::string> fields_;
  std::size_t line_number_ = 0, bad_numbers_ = 0, long_lines_ = 0;
};
