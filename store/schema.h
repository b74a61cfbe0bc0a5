// The versioned schema of a results store, the same for SQLite and
// PostgreSQL. A store records its version in zuvek_schema; a newer tool
// applies the missing steps, an older tool refuses a newer store.
#pragma once

#include <string>
#include <vector>

namespace store {

// Step i (0-based) brings a store from version i to version i + 1.
const std::vector<std::vector<std::string>>& SchemaSteps();
inline int CurrentSchemaVersion() {
  return static_cast<int>(SchemaSteps().size());
}
// The sentence for a store newer than this tool ("" when it is not).
std::string NewerStoreSentence(const std::string& where, int version, int known);

}  // namespace store
