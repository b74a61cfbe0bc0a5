// Adds the tests of a day folder to a results store: each test's
// "hh-mm-ss_runs.csv" (or, for a test without one, its result log) with its
// summary, in the day folder itself and in the module folders of a bench
// (DAY/NAME/). Idempotent: a test is known by its CSV's path (a test the
// tool recorded live keeps its row) and a run by (test, run), so importing
// again adds nothing.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "store/results_store.h"

namespace store {

struct ImportCount {
  std::size_t tests = 0, runs = 0;  // read (new or already there)
};

// problem: a sentence per file that could not be read; the rest goes on.
// Throws StoreError when the store fails.
ImportCount ImportDayFolder(ResultsStore& store, const std::string& folder,
                            const std::function<void(const std::string&)>& problem);

}  // namespace store
