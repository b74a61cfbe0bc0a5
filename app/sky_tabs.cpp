#include "app/sky_tabs.h"

#include <QFont>

namespace {

constexpr int kTabFontPixels = 11;

}  // namespace

SkyTabs::SkyTabs(QWidget* client, const QRect& chart_rect, QWidget* chart)
    : QObject(client), client_(client), chart_(chart), bar_(new QTabBar(client)) {
  sky_panel_ = new PicturePanel(
      [this](QSize size) {
        return report::SkyPicture(sky_, QStringLiteral("Sky of the last epoch"), size);
      },
      client);
  history_panel_ = new PicturePanel(
      [this](QSize size) {
        const QString title = run_ == 0 ? QStringLiteral("S/N per signal: no run yet")
                                        : QStringLiteral("S/N per signal over run %1").arg(run_);
        return report::SignalHistoryPicture(rows_, moments_, title, size);
      },
      client);
  sky_panel_->setObjectName(QStringLiteral("sky_plot"));
  history_panel_->setObjectName(QStringLiteral("signal_history"));
  sky_panel_->hide();
  history_panel_->hide();
  bar_->setObjectName(QStringLiteral("sky_tabs"));
  bar_->setShape(QTabBar::RoundedSouth);
  bar_->setDrawBase(false);
  bar_->setExpanding(false);
  QFont font = bar_->font();
  font.setPixelSize(kTabFontPixels);
  bar_->setFont(font);
  bar_->addTab(QStringLiteral("Signal"));
  bar_->addTab(QStringLiteral("Sky"));
  bar_->addTab(QStringLiteral("S/N history"));
  Place(chart_rect);
  connect(bar_, &QTabBar::currentChanged, this, &SkyTabs::Show);
}

void SkyTabs::Place(const QRect& chart_rect) {
  sky_panel_->setGeometry(chart_rect);
  history_panel_->setGeometry(chart_rect);
  // Under the chart's left edge, in the margin below it.
  const int height =
      std::min(bar_->sizeHint().height(),
               std::max(client_->height(), client_->minimumHeight()) - chart_rect.bottom() - 1);
  bar_->setGeometry(chart_rect.left(), chart_rect.bottom() + 1, bar_->sizeHint().width(), height);
}

void SkyTabs::Show(int tab) {
  chart_->setVisible(tab == kChartTab);
  sky_panel_->setVisible(tab == kSkyTab);
  history_panel_->setVisible(tab == kHistoryTab);
}

void SkyTabs::SetSky(std::vector<SkySatellite> sky) {
  sky_ = std::move(sky);
  sky_panel_->Refresh();
}

void SkyTabs::StartRun(unsigned run) {
  run_ = run;
  rows_.clear();
  moments_ = {};
  history_panel_->Refresh();
}

void SkyTabs::AddSignalRows(unsigned run, const std::string& csv) {
  if (run != run_)
    return;
  std::vector<std::string> problems;
  for (report::SignalRow& row : report::ParseSignalCsv(csv, problems))
    rows_.push_back(std::move(row));
  history_panel_->Refresh();
}

void SkyTabs::Reach(unsigned run, timeline::TimelinePhase phase, std::int64_t ms) {
  if (run != run_)
    return;
  const double at = static_cast<double>(ms);
  switch (phase) {
    case timeline::TimelinePhase::kFirstSnr:
      moments_.first_snr_ms = at;
      break;
    case timeline::TimelinePhase::kFirst2d:
      moments_.first_2d_ms = at;
      break;
    case timeline::TimelinePhase::kFirst3d:
      moments_.first_3d_ms = at;
      break;
    case timeline::TimelinePhase::kFix:
      moments_.fix_ms = at;
      break;
    case timeline::TimelinePhase::kFirstNmea:
      return;
  }
  history_panel_->Refresh();
}
