// Adds the tests of a day folder to a results store: each test's
// "hh-mm-ss_runs.csv" (or, for a test without one, its result log) with its
// summary, in the day folder itself and in the module folders of a bench
// (DAY/NAME/). A test's key comes from the test itself (engine/ttff_key.h),
// so the same test recorded live, imported before, or imported through any
// spelling of its folder (./DAY, a link, a copy) is one; a run is known by
// (test, run). Lines that are no run are told and skipped, never made into
// runs: the CSV is read by the one reader the report uses.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "engine/runs_csv.h"
#include "store/results_store.h"

namespace store {

struct ImportCount {
  std::size_t tests = 0, runs = 0;  // read (new or already there)
  ImportCount& operator+=(const ImportCount& o) {
    tests += o.tests;
    runs += o.runs;
    return *this;
  }
};

// Told a sentence per file or line that could not be read; the rest goes on.
using ProblemSink = std::function<void(const std::string&)>;

// One test read back from its files.
struct ImportedTest {
  std::string module;     // its folder below the day folder ("" for the day folder)
  std::string stem_path;  // DAY[/NAME]/hh-mm-ss
  std::string source;     // the file its runs came from
  std::string host, started_at, restart_type;
  unsigned runs_planned = 0;
  nlohmann::json summary;  // null without a readable one
  std::vector<RunsCsvRow> rows;
};

std::optional<ImportedTest> ReadImportedTest(const std::filesystem::path& day,
                                             const std::string& module, const std::string& stem,
                                             const ProblemSink& problem);
TestRow ImportedTestRow(const std::string& key, const ImportedTest& test);
// Writes the test and its runs under the test's own key. Throws StoreError.
ImportCount PutImportedTest(ResultsStore& store, const ImportedTest& test);

// Throws StoreError when the store fails.
ImportCount ImportDayFolder(ResultsStore& store, const std::string& folder,
                            const ProblemSink& problem);

}  // namespace store
