// CDialogOptions: the four test parameters of the settings record. Save
// checks them and stores them in g_config; TTFF.cfg is written only when the
// main window closes. Escape and the close box cancel.
#pragma once

#include <QDialog>
#include <QLineEdit>

#include "config/options_logic.h"

class CDialogOptions : public QDialog {
  Q_OBJECT

 public:
  explicit CDialogOptions(QWidget* parent = nullptr);

  // Button 1 (Save, also the Enter key).
  void OnSave();

  // The members the three number edits exchange with.
  const OptionsValues& Values() const { return values_; }

 private:
  void OnInitDialog();
  QLineEdit* Edit(int id) const;
  void SayTheBounds();
  // zuvek.toml's hooks, read-only, below the fields (none: nothing shown).
  void ListHooks();

  OptionsValues values_;  // m_nTimeout, m_nIntervalSleep, m_nUncrtn
};
