// The main window's dialog template: every control with its id, kind, text
// and place in dialog units, and the builder that creates the widgets.
#pragma once

#include <QFont>
#include <QWidget>
#include <map>
#include <span>

namespace zuvek_dlg {

enum class Kind {
  Radio,       // radio button
  RadioFirst,  // radio button that starts a group
  Check,       // automatic check box
  Group,       // group box
  Edit,        // edit box with border
  Combo,       // drop-down list
  Static,      // static text
  Label,       // static text bound to a CLabel
  Button,      // push button
  List,        // list view with border
  ChartFrame,  // the group box the chart is created over
};

struct ControlSpec {
  int id;  // 0: a static text or group box without id
  Kind kind;
  const char* text;
  int x, y, w, h;  // dialog units
  bool hidden = false;
};

// The template of the main dialog: 733 x 296 dialog units.
inline constexpr int kDialogWidthDlu = 733;
inline constexpr int kDialogHeightDlu = 296;
std::span<const ControlSpec> MainDialogControls();

// Creates every control of `controls` as a child of `client`, placed in
// pixels of the dialog font, named by its id; returns them by id. Radio
// groups get their own exclusive button groups.
std::map<int, QWidget*> BuildControls(QWidget* client, std::span<const ControlSpec> controls);

}  // namespace zuvek_dlg
