// The sample standard deviation, divided by N - 1 as ION STD 101 reports it.
#pragma once

#include <optional>
#include <vector>

namespace stats {

// sqrt(sum((x - mean)^2) / (N - 1)); none for fewer than two values.
std::optional<double> SampleStddev(const std::vector<double>& values);

}  // namespace stats
