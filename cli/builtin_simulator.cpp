#include "cli/builtin_simulator.h"

#include <unistd.h>

#include <utility>

#include "cli/sim_choices.h"
#include "profiles/module_commands.h"
#include "sim/models/module_models.h"

namespace cli {

namespace {

// The options of the simulator; false with the sentence when one is wrong.
bool MakeSimOptions(const RunOptions& o, const TestSettings& settings, sim::SimOptions& options,
                    std::string* error) {
  // A power-cycle test's hook reaches the module through its control pipe,
  // and its ports come back under their links.
  options.publish = o.RestartType() == RESTART_POWER_CYCLE;
  options.name = "zuvek-run-" + std::to_string(getpid());
  options.seed = o.seed;
  options.truth_path = o.sim_truth;
  options.profile = settings.profile;
  // A bundled family's profile meets that family's own model, not itself.
  if (settings.profile && sim::MakeModuleModel(settings.profile->name))
    options.module = settings.profile->name;
  options.replay_path = o.sim_replay;
  options.replay_fix_rule = settings.fix_rule;
  if (!o.sim_form.ApplyTo(options, error) || !ApplySimTtff(o.sim_ttff, options, error))
    return false;
  if (!o.sim_faults.empty()) {
    auto script = sim::FaultScript::Load(o.sim_faults, error);
    if (!script)
      return false;
    options.script = *script;
  }
  return true;
}

}  // namespace

BuiltinSimulator StartBuiltinSimulator(const RunOptions& o, const TestSettings& settings,
                                       std::shared_ptr<platform::Clock> clock) {
  BuiltinSimulator out;
  sim::SimOptions options;
  if (!MakeSimOptions(o, settings, options, &out.problem)) {
    out.usage = true;
    return out;
  }
  auto simulator = std::make_unique<sim::Simulator>(std::move(clock));
  std::string error;
  if (!simulator->Start(options, &error)) {
    out.problem = "cannot start the simulator: " + error;
    return out;
  }
  out.simulator = std::move(simulator);
  return out;
}

}  // namespace cli
