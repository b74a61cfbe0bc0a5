#include "engine/ttff_settings.h"

#include <utility>

#include "config/app_config.h"
#include "config/config_checks.h"
#include "config/options_logic.h"
#include "config/side_settings.h"
#include "profiles/module_commands.h"
#include "profiles/profile_loader.h"

namespace {

// The choices of TTFF.cfg's values into g_config; a refusal's sentence, or
// empty.
std::string ApplyConfigChoices(const TestChoices& c) {
  if (c.timeout_s)
    g_config.SetTimeout(*c.timeout_s);
  if (c.interval_sleep_s)
    g_config.SetIntervalSleep(*c.interval_sleep_s);
  if (c.uncertainty_ms)
    g_config.SetUncrtn(static_cast<std::int32_t>(*c.uncertainty_ms));
  if (c.xtra_command && !c.xtra_command->empty()) {
    if (c.xtra_command->size() >= 100)
      return kXtraCommandTooLong;
    g_config.SetImportXtraCmd(*c.xtra_command);
  }
  return {};
}

}  // namespace

TestSettingsResolution ResolveTestSettings(const TestChoices& c) {
  TestSettingsResolution out;
  const SideSettings& side = g_side_settings;
  TestSettings s;
  out.profile_asked = c.profile.value_or(side.profile);
  ProfileLoad profile = ResolveProfile(out.profile_asked);
  if (!profile.profile) {
    out.profile_problems = std::move(profile.problems);
    if (out.profile_problems.empty())
      out.profile_problems.push_back(out.profile_asked + ": it does not load");
    return out;
  }
  s.profile = std::make_shared<const ModuleProfile>(std::move(*profile.profile));
  s.fix_rule = c.fix_rule.value_or(side.fix_rule);
  if (const std::string text = c.reference.value_or(side.reference); !text.empty()) {
    s.reference = ParseReference(text, &out.problem);
    if (!s.reference)
      return out;
  }
  s.verdict_limits = c.verdict_limits;
  if (c.limit_error_m && (!s.verdict_limits || !s.reference || s.reference->automatic)) {
    out.problem =
        "--limit-error needs --limit-ttff and a given --reference LAT,LON[,ALT] (with auto the "
        "errors are known only at the end)";
    return out;
  }
  if (s.verdict_limits && c.limit_error_m)
    s.verdict_limits->error_m = c.limit_error_m;
  if (out.problem = ApplyConfigChoices(c); !out.problem.empty())
    return out;
  if (const auto unusable = UnusableConfigValues(g_config, kConfigFileName); !unusable.empty()) {
    out.problem = unusable.front();
    return out;
  }
  s.reset_thresholds = {c.suspect_cold_s.value_or(side.suspect_cold_s),
                        c.suspect_warm_s.value_or(side.suspect_warm_s)};
  s.confidence = c.confidence;
  s.stop_when_decided = c.stop_when_decided;
  s.plan = c.plan;
  s.reconnect_s = c.reconnect_s.value_or(side.reconnect_s);
  s.store = c.store.value_or(side.store);
  s.hooks = hooks::MergeHooks(side.hooks, c.hooks);
  out.settings = std::move(s);
  return out;
}

std::string RestartTypeProblem(const TestSettings& settings, int restart_type) {
  if (restart_type != RESTART_POWER_CYCLE ||
      hooks::HasHookAt(settings.hooks, hooks::Moment::PowerCycle))
    return {};
  return "a power-cycle test needs a hook that cuts and restores the module's power: give "
         "--hook 'power-cycle=COMMAND' (uhubctl for a switchable USB hub, a relay's own "
         "command), or a [[hook]] with at = \"power-cycle\" in zuvek.toml; nothing was started";
}
