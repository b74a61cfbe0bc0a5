#include "app/module_choice_menus.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <utility>

#include "app/qt/message_box.h"
#include "config/side_settings.h"
#include "fix_rules/registry.h"
#include "profiles/bundled_profiles.h"
#include "profiles/profile_loader.h"
#include "session/profile_choice.h"

namespace {

// "name: what it is", with "&" kept from turning into a shortcut.
QString EntryText(const std::string& name, const std::string& description) {
  QString text = QString::fromStdString(name);
  if (!description.empty())
    text += QStringLiteral(": ") + QString::fromStdString(description);
  return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

ModuleChoiceMenus::ModuleChoiceMenus(QMenu* tools, QWidget* window, Handlers handlers)
    : QObject(tools),
      window_(window),
      handlers_(std::move(handlers)),
      profile_menu_(tools->addMenu(QStringLiteral("Module profile"))),
      fix_rule_menu_(tools->addMenu(QStringLiteral("Fix rule"))),
      profiles_(new QActionGroup(this)),
      fix_rules_(new QActionGroup(this)) {
  profile_menu_->setObjectName(QStringLiteral("profile_menu"));
  fix_rule_menu_->setObjectName(QStringLiteral("fix_rule_menu"));

  for (const BundledProfile& bundled : BundledProfiles()) {
    const ProfileLoad load = ResolveProfile(bundled.name);
    const std::string name = bundled.name;
    QAction* entry = profile_menu_->addAction(
        EntryText(name, load.profile ? load.profile->description : std::string()));
    entry->setObjectName(QStringLiteral("profile.") + QString::fromStdString(name));
    entry->setCheckable(true);
    profiles_->addAction(entry);
    connect(entry, &QAction::triggered, this, [this, name] { ChooseProfile(name); });
  }
  file_entry_ = profile_menu_->addAction(QString());
  file_entry_->setObjectName(QStringLiteral("profile.file"));
  file_entry_->setCheckable(true);
  profiles_->addAction(file_entry_);
  connect(file_entry_, &QAction::triggered, this,
          [this] { ChooseProfile(g_side_settings.profile); });
  profile_menu_->addSeparator();
  QAction* pick = profile_menu_->addAction(QStringLiteral("Profile file..."));
  pick->setObjectName(QStringLiteral("profile.pick"));
  connect(pick, &QAction::triggered, this, &ModuleChoiceMenus::PickProfileFile);

  for (const std::string& name : fix_rules::KnownNames()) {
    QAction* entry = fix_rule_menu_->addAction(EntryText(name, fix_rules::Description(name)));
    entry->setObjectName(QStringLiteral("fix_rule.") + QString::fromStdString(name));
    entry->setCheckable(true);
    fix_rules_->addAction(entry);
    connect(entry, &QAction::triggered, this, [this, name] { ChooseFixRule(name); });
  }
  ShowChoice();
}

void ModuleChoiceMenus::SetEnabled(bool enable) {
  for (QMenu* menu : {profile_menu_, fix_rule_menu_}) {
    menu->menuAction()->setEnabled(enable);
    for (QAction* action : menu->actions())
      action->setEnabled(enable);
  }
}

void ModuleChoiceMenus::ChooseProfile(const std::string& name_or_file) {
  const ProfileChoice choice = ResolveProfileChoice(name_or_file, kProfileKeptSentence);
  if (!choice.profile) {
    ShowChoice();  // the previous entry checked again
    qtui::ShowMessageBox(QString::fromStdString(choice.refusal), window_);
    return;
  }
  g_side_settings.profile = name_or_file;
  ShowChoice();
  if (handlers_.profile_chosen)
    handlers_.profile_chosen(choice.profile);
  TellWhenNotKept();
}

void ModuleChoiceMenus::ChooseFixRule(const std::string& name) {
  g_side_settings.fix_rule = name;
  ShowChoice();
  if (handlers_.fix_rule_chosen)
    handlers_.fix_rule_chosen(name);
  TellWhenNotKept();
}

void ModuleChoiceMenus::TellWhenNotKept() {
  if (told_not_kept_ || SideSettingsKeptOnExit())
    return;
  told_not_kept_ = true;
  qtui::ShowMessageBox(
      QString::fromStdString(
          std::string(kSideSettingsFileName) +
          " has a value with a problem (told when the program started), so the window does not "
          "write it: this choice lasts until the window closes. Mend the file to keep it."),
      window_);
}

void ModuleChoiceMenus::PickProfileFile() {
  const QString path = pick_file_ ? pick_file_() : AskForFile();
  if (!path.isEmpty())
    ChooseProfile(path.toStdString());
}

QString ModuleChoiceMenus::AskForFile() const {
  // Where the chosen file is, else the working directory (beside zuvek.toml).
  QString start = QDir::currentPath();
  if (!FindBundledProfile(g_side_settings.profile) && g_side_settings.profile != "default")
    start = QFileInfo(QString::fromStdString(g_side_settings.profile)).absolutePath();
  return QFileDialog::getOpenFileName(window_, QStringLiteral("Module profile"), start,
                                      QStringLiteral("Module profiles (*.toml);;All files (*)"));
}

void ModuleChoiceMenus::ShowChoice() {
  const QString profile = QString::fromStdString(g_side_settings.profile);
  bool bundled = false;
  for (QAction* entry : profiles_->actions()) {
    if (entry != file_entry_ && entry->objectName() == QStringLiteral("profile.") + profile) {
      entry->setChecked(true);
      bundled = true;
    }
  }
  // A file: its path as an entry of its own, checked.
  file_entry_->setVisible(!bundled);
  if (!bundled) {
    file_entry_->setText(QString(profile).replace(QLatin1Char('&'), QStringLiteral("&&")));
    file_entry_->setChecked(true);
  }
  for (QAction* entry : fix_rules_->actions()) {
    if (entry->objectName() ==
        QStringLiteral("fix_rule.") + QString::fromStdString(g_side_settings.fix_rule))
      entry->setChecked(true);
  }
}
