// Tests of the results store as the report takes them: `store:SELECTOR`,
// where the selector is a test's key (or its unique start, as history
// shows it) or filters "firmware=A,module=eg25-a,profile=P,restart=cold,
// since=2026-11-01,test=KEYSTART". The tests a selector selects are pooled
// into one entry labelled by the selector, their runs numbered on in the
// order the tests started, so that the report compares firmware A with B
// across campaigns. The runs are read by column name from the store's copy
// of each CSV row; the signal CSV from the test's folder while it is there.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "report/ttff_files.h"
#include "store/store_query.h"

namespace report {

inline constexpr const char* kStorePrefix = "store:";

bool IsStoreSelector(const std::string& given);
// The filter of "store:SELECTOR"; none, with the sentence in `problem`,
// for an unknown key, an empty value or a value that can select nothing.
std::optional<store::TestFilter> ParseStoreSelector(const std::string& given, std::string& problem);

// One test of the store with its runs.
TestData TestFromStore(const store::TestRow& test, const std::vector<store::StoredRun>& runs);
// Tests as one entry (a single test stays as it is, its summary with it).
TestData PoolTests(const std::vector<TestData>& tests, const std::string& label);

// The entry of "store:SELECTOR" read through `reader`; none, with the
// sentence in `problem`, when the selector is bad or selects nothing.
// Throws store::StoreError when the store cannot be read.
std::optional<TestData> ReadStoreSelector(store::StoreReader& reader, const std::string& given,
                                          std::string& problem);

}  // namespace report
