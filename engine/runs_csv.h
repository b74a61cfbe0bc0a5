// Reading a test's runs CSV back, by its header's column names (columns come
// and go between versions): the one reader that the report and the import
// of day folders share. A line that is no complete run is skipped and
// counted, never made into a run.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/run_columns.h"

struct RunsCsvRow {
  RunRecord record;
  RunFields fields;  // the row's texts by column name, as the file has them
};

struct RunsCsv {
  std::vector<RunsCsvRow> rows;
  CsvLayout layout;
  // Sentences for what was skipped and why (no header, lines that are no
  // complete run, overlong lines, texts that should be numbers, a run given
  // twice).
  std::vector<std::string> problems;
  std::size_t skipped = 0;  // lines that are no complete run, or a repeated run
};

// The text of a runs CSV; `what` names it in the problems ("The runs CSV").
RunsCsv ReadRunsCsv(const std::string& text, const std::string& what = "The runs CSV");
