#include "app/dlg_template.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include "app/qt/dialog_units.h"
#include "controls/elided_combo_box.h"
#include "controls/label.h"

namespace zuvek_dlg {
namespace {

constexpr ControlSpec kControls[] = {
    // Frames first, so that the controls inside them lie on top.
    {0, Kind::Group, "Com port setting", 4, 11, 368, 50},
    {0, Kind::Group, "Restart Type", 376, 11, 227, 27},
    {0, Kind::Group, "System status:", 376, 37, 227, 24},
    {1018, Kind::Group, "Counts", 4, 69, 185, 56},
    {1036, Kind::Group, "Control:", 633, 69, 66, 56},
    {1024, Kind::Group, "Current Position:", 198, 69, 417, 56},
    {1028, Kind::ChartFrame, "", 198, 129, 529, 152},
    {1000, Kind::RadioFirst, "Hot Start", 385, 24, 45, 10},
    {1001, Kind::Radio, "Cold Start", 432, 24, 48, 10},
    {1002, Kind::Radio, "Warm Start", 482, 24, 53, 10},
    {1037, Kind::Check, "Import XTRA", 535, 24, 57, 10},
    {1004, Kind::RadioFirst, "1", 15, 81, 20, 10},
    {1012, Kind::Radio, "10", 49, 81, 24, 10},
    {1005, Kind::Radio, "20", 85, 81, 24, 10},
    {1006, Kind::Radio, "50", 119, 81, 24, 10},
    {1007, Kind::Radio, "100", 160, 81, 28, 10},
    {1008, Kind::Radio, "Define", 14, 100, 37, 10},
    {1009, Kind::Edit, "", 56, 100, 63, 14},
    {0, Kind::Static, "AT Port:", 5, 27, 28, 8},
    {1013, Kind::Combo, "", 45, 25, 48, 70},
    {0, Kind::Static, "Baudrate", 102, 27, 30, 8},
    {1014, Kind::Combo, "", 143, 24, 48, 107},
    {0, Kind::Static, "Chip", 199, 27, 15, 8, true},
    {1015, Kind::Combo, "", 224, 25, 48, 54, true},
    {1026, Kind::Static, "NMEA Port:", 5, 44, 38, 8},
    {1019, Kind::Combo, "", 45, 41, 48, 61},
    {1027, Kind::Static, "Baudrate", 102, 45, 30, 8},
    {1020, Kind::Combo, "", 143, 41, 48, 100},
    {1029, Kind::Check, "Auto Start/Stop GPS", 212, 42, 81, 10},
    {1016, Kind::Button, "Open", 306, 22, 50, 14},
    {1017, Kind::Button, "Close", 306, 40, 50, 14},
    {1023, Kind::Label, "", 416, 44, 150, 14},
    {1011, Kind::Button, "Run", 640, 79, 53, 18},
    {1010, Kind::Button, "Stop", 640, 98, 53, 18},
    {0, Kind::Static, "LAT:", 204, 83, 16, 8},
    {1030, Kind::Label, "Static", 223, 81, 88, 15},
    {0, Kind::Static, "LON:", 204, 109, 17, 8},
    {1031, Kind::Label, "Static", 223, 107, 88, 15},
    {0, Kind::Static, "UTC Time:", 320, 83, 34, 8},
    {1032, Kind::Label, "Static", 362, 81, 62, 15},
    {0, Kind::Static, "UTC Date:", 320, 109, 34, 8},
    {1033, Kind::Label, "Static", 362, 107, 62, 15},
    {0, Kind::Static, "Fix Mode:", 428, 83, 32, 8},
    {1034, Kind::Label, "Static", 469, 81, 37, 15},
    {0, Kind::Static, "Speed:", 428, 109, 24, 8},
    {1035, Kind::Label, "Static", 469, 107, 37, 15},
    {0, Kind::Static, "Altitude:", 526, 82, 28, 8},
    {1038, Kind::Label, "Static", 562, 81, 37, 15},
    {0, Kind::Static, "HDOP:", 526, 109, 22, 8},
    {1039, Kind::Label, "Static", 562, 102, 37, 15},
    {1025, Kind::List, "", 4, 129, 185, 154},
    {1021, Kind::Button, "Close", 131, 98, 50, 14, true},
};

QWidget* Make(QWidget* client, const ControlSpec& c, QButtonGroup*& group) {
  const QString text = QString::fromUtf8(c.text);
  switch (c.kind) {
    case Kind::RadioFirst:
      group = new QButtonGroup(client);
      [[fallthrough]];
    case Kind::Radio: {
      auto* radio = new QRadioButton(text, client);
      if (group)
        group->addButton(radio, c.id);
      return radio;
    }
    case Kind::Check:
      return new QCheckBox(text, client);
    case Kind::Group:
    case Kind::ChartFrame: {
      // A frame with its title on the line, as dialog group boxes are drawn;
      // the controls inside are its siblings and lie on the dialog's face.
      auto* box = new QGroupBox(text, client);
      box->setStyleSheet(QStringLiteral(
          "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.6em; }"
          "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0 2px; }"));
      return box;
    }
    case Kind::Edit:
      return new QLineEdit(client);
    case Kind::Combo:
      return new qtui::ElidedComboBox(client);  // device paths are long
    case Kind::Static:
      return new QLabel(text, client);
    case Kind::Label:
      return new CLabel(client, text);
    case Kind::Button:
      return new QPushButton(text, client);
    case Kind::List: {
      auto* list = new QTableWidget(0, 3, client);
      list->verticalHeader()->hide();
      list->setSelectionBehavior(QAbstractItemView::SelectRows);  // full-row select
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      list->setEditTriggers(QAbstractItemView::NoEditTriggers);
      list->setShowGrid(true);  // grid lines
      list->setWordWrap(false);
      return list;
    }
  }
  return nullptr;
}

}  // namespace

std::span<const ControlSpec> MainDialogControls() {
  return kControls;
}

std::map<int, QWidget*> BuildControls(QWidget* client, std::span<const ControlSpec> controls) {
  std::map<int, QWidget*> by_id;
  QButtonGroup* group = nullptr;
  for (const ControlSpec& c : controls) {
    QWidget* w = Make(client, c, group);
    if (!w)
      continue;
    QRect rect = qtui::DialogRectToPixels(c.x, c.y, c.w, c.h);
    // A drop-down list's template height includes its open list; closed it
    // is one line high.
    if (c.kind == Kind::Combo)
      rect.setHeight(w->sizeHint().height());
    w->setGeometry(rect);
    if (c.id != 0) {
      w->setObjectName(QString::number(c.id));
      by_id[c.id] = w;
      if (auto* label = qobject_cast<CLabel*>(w))
        label->SetControlId(c.id);
    }
    w->setVisible(!c.hidden);
  }
  return by_id;
}

}  // namespace zuvek_dlg
