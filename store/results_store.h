// Where the tests and their recorded runs are kept beside the text logs.
// Each write is one transaction; both writes are idempotent: a test with a
// known key is brought up to date, a run with a known (test, run) key is
// left as it was.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "store/store_rows.h"

namespace store {

// A store that cannot be opened, read or written: what() is a sentence
// that says what happened and what to do.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A server that did not answer in time (a held lock, a server that hangs):
// trying again at once would cost the test another wait.
class StoreTimeout : public StoreError {
 public:
  using StoreError::StoreError;
};

class ResultsStore {
 public:
  virtual ~ResultsStore() = default;
  virtual void PutTest(const TestRow& test) = 0;
  // A run at its result: written once, never over a copy the store has.
  virtual void PutRun(const StoredRun& run) = 0;
  // The run again with what its capture added: its copy brought up to date.
  virtual void AmendRun(const StoredRun& run) = 0;
  // The key of the test whose CSV is `source`, if the store has it.
  virtual std::optional<std::string> TestBySource(const std::string& source) = 0;
  // What the user knows the store by (a path, a server without password).
  virtual std::string Where() const = 0;
};

}  // namespace store
