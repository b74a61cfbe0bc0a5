// The Tools menu's "Module profile" and "Fix rule" submenus: which module
// family's commands a test sends, and which sentence counts as its fix. The
// choice goes into g_side_settings, and so into zuvek.toml when the window
// closes; TTFF.cfg does not hold it.
#pragma once

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QObject>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "profiles/module_profile.h"

class ModuleChoiceMenus : public QObject {
  Q_OBJECT

 public:
  struct Handlers {
    // A profile the user chose has loaded (it is in g_side_settings).
    std::function<void(std::shared_ptr<const ModuleProfile>)> profile_chosen;
    // The user chose this fix rule (it is in g_side_settings).
    std::function<void(const std::string&)> fix_rule_chosen;
  };

  // Adds both submenus to `tools`; message boxes go over `window`.
  ModuleChoiceMenus(QMenu* tools, QWidget* window, Handlers handlers);

  // Off while a test runs: the choice cannot change under it.
  void SetEnabled(bool enable);
  // What "Profile file..." asks for a file; an empty path is a cancel. The
  // file dialog unless a test puts its own.
  void SetFilePicker(std::function<QString()> picker) { pick_file_ = std::move(picker); }

  QMenu* ProfileMenu() const { return profile_menu_; }
  QMenu* FixRuleMenu() const { return fix_rule_menu_; }

 private:
  void ChooseProfile(const std::string& name_or_file);
  void ChooseFixRule(const std::string& name);
  void PickProfileFile();
  QString AskForFile() const;
  // Checks the entries of g_side_settings; a profile file gets its own.
  void ShowChoice();
  // Once a session: a choice that zuvek.toml will not keep is told.
  void TellWhenNotKept();

  QWidget* window_;
  Handlers handlers_;
  QMenu* profile_menu_;
  QMenu* fix_rule_menu_;
  QActionGroup* profiles_;
  QActionGroup* fix_rules_;
  QAction* file_entry_ = nullptr;  // the chosen profile file, when one is
  std::function<QString()> pick_file_;
  bool told_not_kept_ = false;
};
