// The events of a module's test (`zuvek-cli run --events`: one JSON object
// a line: start, run, phase, result, port, verdict, end) applied to the
// metrics. A bench reads them from each module's test; `run` feeds its own.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>

#include "metrics/ttff_metrics.h"

namespace metrics {

// One event of the module's test; anything else changes nothing.
void ApplyEvent(TtffMetrics& metrics, const std::string& module, const nlohmann::json& event);
// The same from its line of text; a line that is no JSON object changes nothing.
void ApplyEventLine(TtffMetrics& metrics, const std::string& module, const std::string& line);

}  // namespace metrics
