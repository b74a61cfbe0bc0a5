// The report's pictures, each drawn by QPainter on whatever device paints
// it: an SVG generator for the HTML report, a QImage for a PNG, a widget.
#pragma once

#include <QPainter>
#include <QSizeF>
#include <functional>
#include <vector>

#include "report/test_files.h"

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

}  // namespace report
