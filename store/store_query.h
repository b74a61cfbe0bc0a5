// The read side of a results store, the same SQL on SQLite and PostgreSQL:
// the tests a filter selects, newest first, with their run counts, and the
// runs of a test.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/results_store.h"
#include "store/row_values.h"

namespace store {

// Empty members select everything. The firmware is a part of the firmware
// reply, upper or lower case alike ("01.003" finds "EG25GGBR07A08M2G_01.003");
// the others are exact. since: "YYYY-MM-DD", the tests started that day or
// later. uuid: the start of a test's key.
struct TestFilter {
  std::string module, firmware, profile;
  std::string restart;  // hot, warm, cold or power-cycle
  std::string since, uuid;
};

// A test as listed: its row and what the store holds of its runs.
struct ListedTest {
  TestRow test;
  unsigned runs = 0, failures = 0;
};

// A filter value that cannot select anything as given ("" when it is fine):
// a restart type other than hot, warm, cold or power-cycle, a date not YYYY-MM-DD, a key
// that is no hexadecimal.
std::string FilterProblem(const TestFilter& filter);
// "Hot Start" for "hot", as the runs CSV and the store name it ("" when unknown).
std::string RestartTypeOf(const std::string& word);

// The SELECT of the tests a filter selects, and its parameters ($1..).
std::pair<std::string, Values> TestsQuery(const TestFilter& filter);
std::pair<std::string, Values> RunsQuery(const std::string& test_uuid);

class StoreReader {
 public:
  virtual ~StoreReader() = default;
  // Throws StoreError with a sentence when the store cannot be read.
  std::vector<ListedTest> Tests(const TestFilter& filter);
  std::vector<StoredRun> Runs(const std::string& test_uuid);
  virtual std::string Where() const = 0;

 protected:
  virtual std::vector<Values> Query(const std::string& sql, const Values& values) = 0;
};

// The reader of the store at a location (a SQLite file, postgresql://...).
// A SQLite file that is not there yet is no store: StoreError with the
// sentence that says how one comes about. A server is read itself, never
// the local spool. Throws StoreError.
std::unique_ptr<StoreReader> OpenReader(const std::string& location);

}  // namespace store
