// Time to first fix drawn per start from a range per restart type, with and
// without XTRA assistance. Defaults follow what receivers in current
// cellular modules show; a seed makes the draws repeatable.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace sim {

// Restart types as the tool numbers them.
inline constexpr int kRestartHot = 0;
inline constexpr int kRestartCold = 1;
inline constexpr int kRestartWarm = 2;

struct TtffRange {
  double min_s = 0;
  double max_s = 0;
};

// Parses "SECONDS" or "MIN:MAX"; false on anything else.
bool ParseTtffRange(const std::string& text, TtffRange& range);

struct TtffTable {
  TtffRange hot{1.0, 2.0};
  TtffRange warm{25.0, 35.0};
  TtffRange cold{30.0, 45.0};
  TtffRange assisted_hot{1.0, 2.0};
  TtffRange assisted_warm{5.0, 15.0};
  TtffRange assisted_cold{5.0, 15.0};

  const TtffRange& For(int restart_type, bool assisted) const;
};

class TtffModel {
 public:
  TtffModel(const TtffTable& table, std::uint32_t seed) : table_(table), rng_(seed) {}
  // Draws a TTFF in microseconds, uniform within the range of the type.
  std::int64_t DrawUs(int restart_type, bool assisted);

 private:
  TtffTable table_;
  std::mt19937 rng_;
};

}  // namespace sim
