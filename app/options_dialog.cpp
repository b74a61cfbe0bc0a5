#include "app/options_dialog.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/qt/dialog_units.h"
#include "app/qt/message_box.h"
#include "config/app_config.h"
#include "config/side_settings.h"

namespace {

struct Place {
  int id;
  const char* text;  // null for an edit box
  int x, y, w, h;
};

// Template 130: 249 x 139 dialog units.
constexpr Place kPlaces[] = {
    {0, "Timeout:", 17, 17, 29, 8},       {0, "S", 107, 17, 8, 8},
    {0, "Interval sleep", 17, 47, 45, 8}, {0, "S", 105, 47, 8, 8},
    {0, "UNCRTN:", 17, 67, 31, 8},        {0, "MS", 105, 64, 10, 8},
    {0, "Import XTRA:", 19, 87, 44, 8},   {1024, nullptr, 63, 14, 40, 14},
    {1025, nullptr, 63, 44, 40, 14},      {1026, nullptr, 63, 64, 40, 14},
    {1038, nullptr, 64, 84, 173, 14},
};

}  // namespace

CDialogOptions::CDialogOptions(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Options"));
  setFont(qtui::DialogFont());
  setFixedSize(qtui::DialogRectToPixels(0, 0, 249, 139).size());
  for (const Place& p : kPlaces) {
    QWidget* w = p.text ? static_cast<QWidget*>(new QLabel(QString::fromUtf8(p.text), this))
                        : static_cast<QWidget*>(new QLineEdit(this));
    w->setGeometry(qtui::DialogRectToPixels(p.x, p.y, p.w, p.h));
    if (p.id)
      w->setObjectName(QString::number(p.id));
  }
  auto* save = new QPushButton(QStringLiteral("Save"), this);
  save->setObjectName(QStringLiteral("1"));
  save->setGeometry(qtui::DialogRectToPixels(108, 114, 50, 14));
  save->setDefault(true);
  connect(save, &QPushButton::clicked, this, &CDialogOptions::OnSave);
  // Cancel is never shown; Escape and the close box still cancel.
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("2"));
  cancel->setGeometry(qtui::DialogRectToPixels(1, 31, 50, 14));
  cancel->setAutoDefault(false);
  cancel->hide();
  connect(cancel, &QPushButton::clicked, this, &CDialogOptions::reject);
  ListHooks();
  OnInitDialog();
}

void CDialogOptions::ListHooks() {
  // The hooks are zuvek.toml's to edit; without any the dialog is as ever.
  if (g_side_settings.hooks.empty())
    return;
  setFixedSize(qtui::DialogRectToPixels(0, 0, 249, 206).size());
  auto* title = new QLabel(QStringLiteral("Hooks (zuvek.toml; edit them there):"), this);
  title->setGeometry(qtui::DialogRectToPixels(17, 134, 215, 8));
  auto* list = new QPlainTextEdit(this);
  list->setObjectName(QStringLiteral("hooks"));
  list->setReadOnly(true);
  list->setLineWrapMode(QPlainTextEdit::NoWrap);
  list->setGeometry(qtui::DialogRectToPixels(17, 144, 215, 56));
  for (const hooks::Hook& hook : g_side_settings.hooks)
    list->appendPlainText(QString::fromStdString(hooks::DescribeHook(hook)));
}

QLineEdit* CDialogOptions::Edit(int id) const {
  return findChild<QLineEdit*>(QString::number(id));
}

void CDialogOptions::OnInitDialog() {
  const OptionsFields fields = FieldsFromConfig(g_config);
  values_.interval_sleep = g_config.GetIntervalSleep();
  values_.timeout = g_config.GetTimeout();
  values_.uncrtn = static_cast<std::uint32_t>(g_config.GetUncrtn());
  Edit(1024)->setText(QString::fromStdString(fields.timeout));
  Edit(1025)->setText(QString::fromStdString(fields.interval_sleep));
  Edit(1026)->setText(QString::fromStdString(fields.uncrtn));
  Edit(1038)->setText(QString::fromStdString(fields.import_xtra));
  SayTheBounds();
}

void CDialogOptions::OnSave() {
  OptionsFields fields;
  fields.timeout = Edit(1024)->text().toStdString();
  fields.interval_sleep = Edit(1025)->text().toStdString();
  fields.uncrtn = Edit(1026)->text().toStdString();
  fields.import_xtra = Edit(1038)->text().toStdString();
  const SaveOutcome outcome = SaveOptions(fields, values_, g_config);
  values_ = outcome.values;
  for (const std::string& text : outcome.messages)
    qtui::ShowMessageBox(QString::fromStdString(text), this);
  if (outcome.stored) {
    accept();
    return;
  }
  // The dialog stays open on the field to correct, its text selected.
  if (QLineEdit* edit = Edit(outcome.focus)) {
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
  }
}

void CDialogOptions::SayTheBounds() {
  // Each number box says its range when pointed at, and is wide enough for
  // the largest value it takes.
  for (const OptionsField& f : kOptionsFields) {
    QLineEdit* edit = Edit(f.id);
    if (f.max == 0) {
      edit->setToolTip(QStringLiteral("At most 99 characters."));
      continue;
    }
    edit->setToolTip(QStringLiteral("1 to %1 %2").arg(f.max).arg(QString::fromLatin1(f.unit)));
    const int needed = edit->fontMetrics().horizontalAdvance(QString::number(f.max)) +
                       edit->textMargins().left() + edit->textMargins().right() + 12;
    if (edit->width() < needed)
      edit->resize(needed, edit->height());
  }
}
