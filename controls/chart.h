// CChartContrl_columnar: the satellite signal chart, one bar per satellite
// in view on a fixed 0..65 dB-Hz scale, told apart as used, tracked or SBAS
// (a group of bars per satellite, one per signal, when the bars name their
// signals).
// The chart is composed off screen and copied to the window in one go; new
// bar lists are drawn at most 25 times a second.
#pragma once

#include <QImage>
#include <QSize>
#include <QWidget>
#include <vector>

#include "controls/chart_painter.h"
#include "controls/repaint_budget.h"
#include "nmea/satellite_bars.h"

class CChartContrl_columnar : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kMinRepaintIntervalMs = 40;  // 25 repaints a second at most
  static constexpr int kReservedBars = 50;

  explicit CChartContrl_columnar(QWidget* parent = nullptr);
  ~CChartContrl_columnar() override;

  // Places the chart as a visible child of `parent` over `rect` (in the
  // parent's coordinates) with the given control id.
  bool Create(QWidget* parent, const QRect& rect, int control_id);
  int ControlId() const { return control_id_; }

  // Replaces the bar list and schedules a repaint.
  void SetBars(std::vector<SatelliteBar> bars);
  const std::vector<SatelliteBar>& Bars() const { return bars_; }

  // Paints handled since construction (for tests of the repaint budget).
  int PaintCount() const { return paint_count_; }

  // Renders a chart of the given size without a window. When `texts` is
  // given, the texts drawn are appended to it.
  static QImage Render(const std::vector<SatelliteBar>& bars, QSize size,
                       std::vector<chart::DrawnText>* texts = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::vector<SatelliteBar> bars_;
  chart::Fonts fonts_;
  QImage buffer_;
  RepaintBudget repaint_;
  int paint_count_ = 0;
  int control_id_ = 0;
};
