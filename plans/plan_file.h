// A test plan: a small TOML file that fixes, together, the options a lab
// method sets for a TTFF test, with the plan's name and the source it is
// written from:
//
//   name = "acceptance-cold"
//   source = "the method's citation"
//   restart = "cold"          # hot, warm, cold or power-cycle
//   xtra = true               # inject time and XTRA data before each start
//   runs = 20
//   timeout = 60              # seconds, the fix time-out
//   limit_ttff = 35           # seconds: a good attempt fixed within this
//   limit_error = 50          # metres from --reference (optional)
//   yield = 0.9
//   confidence = 0.95
//   attempts = "every-run"    # or "until-decided": how attempts are counted
//   fix_rule = "rmc"          # the sentence that counts as the fix
//
// Every key but name and source is optional. A file with any problem (its
// syntax, an unknown key, a wrong value) is refused whole, each problem told
// as "FILE:LINE: what is wrong".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace plans {

struct TestPlan {
  std::string name, source, file;
  std::optional<std::string> restart, fix_rule;
  std::optional<bool> xtra;
  std::optional<unsigned> runs;
  std::optional<int> timeout_s;
  std::optional<double> limit_ttff_s, limit_error_m, yield, confidence;
  // "until-decided": the run that decides the verdict is the last;
  // "every-run": every planned run is an attempt.
  std::optional<bool> stop_when_decided;
};

struct TestPlanLoad {
  std::optional<TestPlan> plan;  // none when any problem was found
  std::vector<std::string> problems;
};

// `source` names the text in the problems (the file's path).
TestPlanLoad ParseTestPlan(const std::string& text, const std::string& source);
TestPlanLoad LoadTestPlan(const std::string& path);

}  // namespace plans
