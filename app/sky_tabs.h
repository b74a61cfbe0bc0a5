// Below the satellite chart, in the margin the window's template leaves:
// tabs that show, in the chart's place, the sky plot of the last epoch and
// the S/N per signal over the run in progress (or the last one), with its
// phases marked. The chart's tab comes first and is chosen at start, so the
// window looks as it always did until another is chosen.
#pragma once

#include <QObject>
#include <QRect>
#include <QTabBar>
#include <string>
#include <vector>

#include "app/picture_panel.h"
#include "nmea/sky_epoch.h"
#include "report/ttff_files.h"
#include "timeline/timeline_record.h"

class SkyTabs : public QObject {
  Q_OBJECT

 public:
  enum Tab { kChartTab, kSkyTab, kHistoryTab };

  // The panels take `chart_rect` (in `client`'s coordinates), where `chart` is.
  SkyTabs(QWidget* client, const QRect& chart_rect, QWidget* chart);
  // The chart's place changed (the window was resized): the panels take it,
  // the tabs stay under its left edge.
  void Place(const QRect& chart_rect);

  // The satellites of the latest epoch.
  void SetSky(std::vector<SkySatellite> sky);
  // Run n's start was answered: its history begins.
  void StartRun(unsigned run);
  // An epoch of run n: its rows as the signal file has them (with the file's
  // header line first).
  void AddSignalRows(unsigned run, const std::string& csv);
  void Reach(unsigned run, timeline::TimelinePhase phase, std::int64_t ms);

  QTabBar* Bar() const { return bar_; }
  PicturePanel* SkyPlot() const { return sky_panel_; }
  PicturePanel* History() const { return history_panel_; }

 private:
  void Show(int tab);

  QWidget* client_;
  QWidget* chart_;
  QTabBar* bar_;
  PicturePanel* sky_panel_;
  PicturePanel* history_panel_;
  std::vector<SkySatellite> sky_;
  unsigned run_ = 0;
  std::vector<report::SignalRow> rows_;
  report::PhaseMoments moments_;
};
