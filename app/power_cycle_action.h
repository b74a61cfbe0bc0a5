// The Tools menu's "Power cycle before each start": a test whose runs each
// begin with the power-cycle hook of zuvek.toml (its restart type
// power-cycle). Offered only when zuvek.toml has such a hook; otherwise the
// entry is off and says why.
#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>

class PowerCycleAction : public QObject {
  Q_OBJECT

 public:
  explicit PowerCycleAction(QMenu* tools);

  // Chosen, and possible: the next test power-cycles.
  bool Chosen() const { return action_->isEnabled() && action_->isChecked(); }
  QAction* Action() const { return action_; }

 private:
  QAction* action_;
};
