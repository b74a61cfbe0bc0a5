// The report's pictures, each drawn by QPainter on whatever device paints
// it: an SVG generator for the HTML report, a QImage for a PNG, a widget.
#pragma once

#include <QPainter>
#include <QSizeF>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "report/ttff_files.h"

namespace report {

struct Picture {
  QSizeF size;  // empty: nothing to draw (no data for it)
  std::function<void(QPainter&)> paint;
  bool Empty() const { return size.isEmpty(); }
};

// The share of attempts fixed by each TTFF, every test on one plot, with
// the TTFF limit, the yield and the time-out where the timed-out runs
// stand (ecdf_picture.cpp).
Picture EcdfPicture(const std::vector<TestData>& tests, double width);
// One strip per run: from the start's "OK" to the fix or the time-out,
// with the first satellite, 2D, 3D and the fix marked (timeline_picture.cpp).
Picture TimelinePicture(const TestData& test, std::size_t series, double width);
// The mean of the four strongest S/N over the first minutes of each run
// (snr_picture.cpp); empty without a signal file.
Picture SnrPicture(const TestData& test, std::size_t series, double width);
// Each run's horizontal position error at the fix (error_picture.cpp);
// empty when no run has one.
Picture ErrorPicture(const std::vector<TestData>& tests, double width);

// The sky: every satellite in view at its azimuth and elevation, in its
// constellation's colour, filled when used, ringed when tracked, thin and
// grey when only in view, with a legend (sky_picture.cpp). The window's sky
// plot and the report's sky at each fix.
Picture SkyPicture(std::vector<SkySatellite> sky, const QString& title, QSizeF size);
// Its geometry: the horizon's circle in a picture of that size, and where a
// satellite stands in it.
QRectF SkyDisc(QSizeF size);
QPointF SkyPoint(const QRectF& disc, int elevation, int azimuth);
// The colour of a constellation in the sky and the legends.
QColor ConstellationColor(int system);

// The moments of a run's phases, ms after its start's "OK".
struct PhaseMoments {
  std::optional<double> first_snr_ms, first_2d_ms, first_3d_ms, fix_ms;
};
PhaseMoments MomentsOf(const RunRecord& r);
// The S/N of the strongest satellites per signal over one run (its rows of
// the signal file), with the start and the phases marked
// (signal_history_picture.cpp). The window's history of the run in
// progress and the report's of a chosen run.
Picture SignalHistoryPicture(std::vector<SignalRow> rows, PhaseMoments moments,
                             const QString& title, QSizeF size);

}  // namespace report
