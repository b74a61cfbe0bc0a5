// The columns of a test's runs CSV, in file order: the one table that every
// writer and reader of a run's fields goes through (the CSV itself, the
// results store's rows and their reads, the import of day folders, the
// report). A new column is one row of the table in run_columns.cpp.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/run_record.h"

// Which optional columns a test's runs CSV has; a test with the default fix
// rule, no reference and hot starts writes the same bytes as ever.
struct CsvLayout {
  bool fix_sentence = false;   // a fix rule other than the default: "fix_sentence"
  bool position = false;       // a reference: "fix_lat" ... "error_3d_m"
  bool reset_suspect = false;  // a cold or warm test: "reset_suspect"
};

// A run's fields by column name, in the CSV's order: its row, or the results
// store's copy of it.
using RunFields = std::vector<std::pair<std::string, std::string>>;

// "run,result,ttff_s,..." (without a line end).
std::string RunsCsvHeader(const CsvLayout& layout);
RunFields FieldsOf(const RunRecord& record, const CsvLayout& layout);
// The fields joined into a CSV line (free texts quoted as RFC 4180 has
// them), without a line end.
std::string CsvLine(const RunFields& fields);
// The layout whose header holds these column names.
CsvLayout LayoutOfHeader(const std::vector<std::string>& names);

// A column's text by its name; none when the row has no such column.
using FieldByName = std::function<std::optional<std::string>(const std::string&)>;
// The run that a row's fields describe; none when the row is no complete
// run (no run number from 0 to 10^9, a result other than SUCC or FAIL, a
// success without its TTFF). `bad_numbers` counts the texts that should be
// numbers and are none (they are left empty).
std::optional<RunRecord> RecordOf(const FieldByName& field, std::size_t& bad_numbers);
// The same for fields as FieldsOf gives them.
std::optional<RunRecord> RecordOf(const RunFields& fields, std::size_t& bad_numbers);

// The mean of the four strongest S/N at the fix, when known.
std::optional<double> SnrTop4Mean(const timeline::TimelineRecord& t);
