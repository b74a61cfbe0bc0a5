#include "stats/sample_stddev.h"

#include <cmath>

namespace stats {

std::optional<double> SampleStddev(const std::vector<double>& values) {
  if (values.size() < 2)
    return std::nullopt;
  double sum = 0;
  for (double v : values)
    sum += v;
  const double mean = sum / static_cast<double>(values.size());
  double sq = 0;
  for (double v : values)
    sq += (v - mean) * (v - mean);
  return std::sqrt(sq / static_cast<double>(values.size() - 1));
}

}  // namespace stats
