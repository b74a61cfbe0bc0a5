// The report in a real browser: headless Chromium renders the report of
// the bundled tests to a PNG. The page must have no script error or
// console error, and the TTFF plot must be drawn: the curve of each test
// (in its series colour) spans most of the plot's width. A browser that is
// missing or cannot start is a failure with its reason (scripts/bootstrap
// installs it).
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <fstream>

#include "report/html_report.h"
#include "report/plot_frame.h"
#include "report/ttff_files.h"
#include "tests/report/gui_app.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_paths.h"

namespace {

constexpr const char* kChromium = "/usr/bin/chromium-headless-shell";

// The pixels of exactly `color` and the width they span.
std::pair<int, int> ColourSpan(const QImage& image, QColor color) {
  int count = 0, left = image.width(), right = -1;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - color.red()) + std::abs(c.green() - color.green()) +
              std::abs(c.blue() - color.blue()) <=
          6) {
        ++count;
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
  return {count, right - left};
}

TEST(ReportBrowser, ChromiumRendersThePlotsWithoutErrors) {
  ASSERT_TRUE(std::filesystem::exists(kChromium))
      << kChromium << " is missing: run scripts/bootstrap (package chromium-headless-shell)";
  testsupport::EnsureGuiApplication();
  std::vector<report::TestData> tests;
  std::string problem;
  for (const char* stem : {"2026-12-08/10-00-00", "2026-12-08/11-00-00"})
    tests.push_back(report::ReadTest(*report::FindTestFiles(
        stem, {std::string(testsupport::kSourceDir) + "/tests/data/report/"}, problem)));
  testsupport::TempDir dir;
  const std::string html = dir.file("report.html"), png = dir.file("report.png");
  std::ofstream(html) << report::HtmlReport(tests);

  const testsupport::ProgramResult r = testsupport::RunProgram(
      {"/usr/bin/timeout", "90", kChromium, "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
       "--user-data-dir=" + dir.file("profile"), "--screenshot=" + png, "--window-size=1100,2600",
       "--enable-logging=stderr", "--v=0", "file://" + html},
      dir.dir());
  ASSERT_TRUE(std::filesystem::exists(png))
      << "Chromium did not render the report (exit " << r.code << "): " << r.err.substr(0, 600)
      << "\nscripts/bootstrap installs chromium-headless-shell; run it, or mend the browser";
  EXPECT_EQ(r.err.find("Uncaught"), std::string::npos) << r.err;
  std::size_t at = 0;
  while ((at = r.err.find("CONSOLE", at)) != std::string::npos) {
    const std::string line = r.err.substr(at, r.err.find('\n', at) - at);
    EXPECT_EQ(line.find("rror"), std::string::npos) << line;
    ++at;
  }
  const QImage image(QString::fromStdString(png));
  ASSERT_FALSE(image.isNull());
  ASSERT_GE(image.width(), 1000);
  for (std::size_t series = 0; series < tests.size(); ++series) {
    const auto [count, span] = ColourSpan(image, report::SeriesColor(series));
    // Beyond the legend swatches (12 x 12 each): a curve across the plot.
    EXPECT_GT(count, 800) << "series " << series;
    EXPECT_GT(span, 600) << "series " << series;
  }
}

}  // namespace
