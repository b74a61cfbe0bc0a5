#include "engine/csv_table.h"

#include <charconv>
#include <cmath>

#include "engine/csv_fields.h"

namespace {

constexpr std::size_t kMaxLine = 64 * 1024;

}  // namespace

CsvTable::CsvTable(const std::string& text, std::string what, std::vector<std::string>& problems)
    : text_(text), what_(std::move(what)), problems_(problems) {
  std::string header;
  if (!NextLine(header)) {
    problems_.push_back(long_lines_ > 0 ? what_ + " holds " + std::to_string(long_lines_) +
                                              " overlong line(s) (over 64 KiB) and no line of ours."
                                        : what_ + " is empty.");
    long_lines_ = 0;  // told
    return;
  }
  names_ = SplitCsvFields(header);
  for (std::size_t i = 0; i < names_.size(); ++i)
    columns_[names_[i]] = i;
}

bool CsvTable::Next() {
  while (NextLine(line_)) {
    if (line_.empty() || line_ == "\r")
      continue;
    fields_ = SplitCsvFields(line_);
    return true;
  }
  return false;
}

std::string CsvTable::Text(const std::string& name) const {
  const auto it = columns_.find(name);
  return it != columns_.end() && it->second < fields_.size() ? fields_[it->second] : "";
}

std::optional<std::string> CsvTable::Field(const std::string& name) const {
  return Has(name) ? std::optional<std::string>(Text(name)) : std::nullopt;
}

std::optional<double> CsvTable::Value(const std::string& name) {
  const std::string text = Text(name);
  const std::optional<double> v = CsvNumber(text);
  if (!v && !text.empty())
    ++bad_numbers_;
  return v;
}

void CsvTable::Finish() {
  if (bad_numbers_ > 0)
    problems_.push_back(what_ + " has " + std::to_string(bad_numbers_) +
                        " value(s) that are no numbers; they are left empty.");
  if (long_lines_ > 0)
    problems_.push_back(what_ + " has " + std::to_string(long_lines_) +
                        " overlong line(s) (over 64 KiB, no line of ours); they are skipped.");
}

bool CsvTable::NextLine(std::string& line) {
  while (at_ < text_.size()) {
    std::size_t end = text_.find('\n', at_);
    if (end == std::string::npos)
      end = text_.size();
    const std::size_t start = at_;
    at_ = end + 1;
    ++line_number_;
    if (end - start <= kMaxLine) {
      line.assign(text_, start, end - start);
      return true;
    }
    ++long_lines_;
  }
  return false;
}
