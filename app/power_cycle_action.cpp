#include "app/power_cycle_action.h"

#include "config/side_settings.h"
#include "hooks/hook.h"

PowerCycleAction::PowerCycleAction(QMenu* tools)
    : QObject(tools), action_(tools->addAction(QString())) {
  action_->setObjectName(QStringLiteral("power-cycle"));
  action_->setCheckable(true);
  const bool possible = hooks::HasHookAt(g_side_settings.hooks, hooks::Moment::PowerCycle);
  action_->setEnabled(possible);
  action_->setText(possible ? QStringLiteral("Power cycle before each start")
                            : QStringLiteral("Power cycle before each start (needs a power-cycle "
                                             "hook in zuvek.toml)"));
  tools->setToolTipsVisible(true);
  action_->setToolTip(
      possible ? QStringLiteral("Each run starts after the power-cycle hook cut and restored the "
                                "module's power; recorded as the restart type power-cycle.")
               : QStringLiteral("Give zuvek.toml a [[hook]] with at = \"power-cycle\" and the "
                                "command that cuts and restores the module's power (man "
                                "zuvek.toml), then start the window again."));
}
