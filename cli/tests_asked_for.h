// The tests a command names as `report` takes them (the path of any of
// their files, their stem DAY/hh-mm-ss, or store:SELECTOR), read back from
// their files or the results store. Shared by `report` and `compare`.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "report/ttff_files.h"

namespace cli {

// Every test asked for, each told problem on standard error; nothing when
// one of them cannot be read at all. `store`: the store of the store:
// selectors (empty: as run chooses it).
std::optional<std::vector<report::TestData>> ReadTestsAskedFor(
    const std::vector<std::string>& given, const std::string& store);

}  // namespace cli
