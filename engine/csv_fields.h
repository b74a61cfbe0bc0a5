// The fields of the CSV files a test writes, as RFC 4180 has them: a field
// holding a comma, a quote or a line end stands in double quotes, with each
// quote doubled. The writer of the runs CSV and every reader of it (the
// report, the results store) use these two.
#pragma once

#include <optional>
#include <string>
#include <vector>

// A free text as one field: quoted when it must be, as it is otherwise.
std::string CsvField(const std::string& text);
// One line into its fields; a "\r" ending the line is no part of the last.
std::vector<std::string> SplitCsvFields(const std::string& line);
// A field that is a finite number, whole (no other text); none otherwise.
std::optional<double> CsvNumber(const std::string& field);
