// The window's frame around its dialog template: the controls at their
// places in a client that scrolls when the window is smaller than the
// template and whose chart and result list take the room when it is
// larger (the tabs under the chart follow it); below it a strip with the run clock and the test's
// module profile and fix rule.
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/dlg_template.h"
#include "app/qt/dialog_units.h"
#include "app/run_clock_label.h"
#include "app/sky_tabs.h"
#include "app/zuvek_dlg.h"
#include "timeline/run_clock.h"

namespace {

// The window can shrink to this; the client then scrolls.
constexpr int kMinimumWidth = 480;
constexpr int kMinimumHeight = 320;

// The run clock's longest text: every phase, four-digit runs, an hour.
QString LongestRunClockText() {
  timeline::RunClock clock;
  clock.Start(9999, 9999, 1, 1);
  for (auto phase : {timeline::TimelinePhase::kFirstSnr, timeline::TimelinePhase::kFirst2d,
                     timeline::TimelinePhase::kFirst3d, timeline::TimelinePhase::kFix})
    clock.Reach(9999, phase, 999'900);
  return QString::fromStdString(clock.Text(3'599'900'000));
}

}  // namespace

void CZUVEKDlg::LayOutWindow() {
  auto* scroll = new QScrollArea(this);
  scroll->setObjectName(QStringLiteral("clientScroll"));
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  const QRect client =
      qtui::DialogRectToPixels(0, 0, zuvek_dlg::kDialogWidthDlu, zuvek_dlg::kDialogHeightDlu);
  m_client->setMinimumSize(client.size());
  scroll->setWidget(m_client);
  m_scroll = scroll;

  auto* strip = new QWidget(this);
  auto* row = new QHBoxLayout(strip);
  row->setContentsMargins(4, 2, 4, 2);
  m_run_clock->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  m_run_clock->setWordWrap(false);
  const QFontMetrics fm(m_run_clock->font());
  const QRect longest = fm.boundingRect(QRect(0, 0, 4000, 400), 0, LongestRunClockText());
  m_run_clock->setFixedSize(longest.width() + fm.averageCharWidth() * 2 + 8, longest.height() + 8);
  row->addWidget(m_run_clock);
  row->addStretch(1);
  m_module_label = new QLabel(strip);
  m_module_label->setObjectName(QStringLiteral("moduleChoice"));
  row->addWidget(m_module_label);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->setMenuBar(m_pMenu);
  column->addWidget(scroll, 1);
  column->addWidget(strip);
  m_client->installEventFilter(this);
  setMinimumSize(kMinimumWidth, kMinimumHeight);
  resize(client.width(),
         client.height() + m_pMenu->sizeHint().height() + strip->sizeHint().height());
}

void CZUVEKDlg::KeepTemplatePlaces() {
  for (int id : {1025, 1028})
    m_template_rects[id] = Item(id)->geometry();
}

bool CZUVEKDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_client && event->type() == QEvent::Resize && !m_template_rects.empty()) {
    // The room beyond the template goes to the chart, and its height also
    // to the result list beside it.
    const QSize base = m_client->minimumSize();
    const int dx = std::max(0, m_client->width() - base.width());
    const int dy = std::max(0, m_client->height() - base.height());
    const QRect list = m_template_rects[1025];
    Item(1025)->setGeometry(list.adjusted(0, 0, 0, dy));
    const QRect frame = m_template_rects[1028].adjusted(0, 0, dx, dy);
    Item(1028)->setGeometry(frame);
    m_pChart->setGeometry(frame);
    if (m_sky_tabs)
      m_sky_tabs->Place(frame);
  }
  return QDialog::eventFilter(watched, event);
}

void CZUVEKDlg::ShowModuleChoice() {
  if (!m_module_label)
    return;  // a choice made while the menus are being built
  const auto& profile = m_engine.Profile();
  const std::string name = profile && !profile->name.empty() ? profile->name : "default";
  m_module_label->setText(
      QStringLiteral("Profile: %1 \u00b7 Fix rule: %2")
          .arg(QString::fromStdString(name), QString::fromStdString(m_engine.FixRuleName())));
}
