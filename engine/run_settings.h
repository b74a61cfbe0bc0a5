// The settings of one test, as the Run button reads them.
#pragma once

#include <string>

// The "Define" count: the edit's text trimmed of white space and read as
// atoi reads it ("12abc" gives 12, "abc" gives 0).
int ParseDefineCount(const std::string& text);

inline constexpr const char* kCountMustBePositive = "The number of times must be greater than 0!";
