#include "report/sky_section.h"

#include <algorithm>

#include "report/html_report.h"
#include "report/pictures.h"
#include "report/svg_picture.h"
#include "report/ttff_view.h"

namespace report {

namespace {

const QSizeF kSmallSky(330, 230), kLargeSky(560, 380);
constexpr double kHistoryHeight = 300;

std::vector<SignalRow> RowsOf(const TestData& t, unsigned run) {
  std::vector<SignalRow> rows;
  for (const SignalRow& r : t.signal)
    if (r.run == run)
      rows.push_back(r);
  return rows;
}

const RunRecord* FindRun(const TestData& t, unsigned run) {
  const auto it = std::find_if(t.runs.begin(), t.runs.end(),
                               [run](const RunRecord& r) { return r.run == run; });
  return it == t.runs.end() ? nullptr : &*it;
}

// The skies at the fix: of the chosen run, or of every run up to the limit.
std::string Skies(const TestData& t, std::size_t series, unsigned run) {
  const QString label = QString::fromStdString(t.files.label);
  if (run != 0) {
    const auto it = t.sky.find(run);
    if (it == t.sky.end())
      return "<p>Run " + std::to_string(run) + " of " + Escape(t.files.label) +
             " has no sky at a fix (no fix, or a file written before skies were kept).</p>\n";
    return SvgFigure(
        SkyPicture(it->second, QStringLiteral("Sky at the fix of run %1, %2").arg(run).arg(label),
                   kLargeSky),
        "Sky", "sky" + std::to_string(series) + "_" + std::to_string(run));
  }
  std::string html = "<div class=\"row\">";
  std::size_t shown = 0;
  for (const auto& [n, sky] : t.sky) {
    if (shown++ == kSkyRunsShown)
      break;
    html += SvgFigure(SkyPicture(sky, QStringLiteral("Run %1 at its fix").arg(n), kSmallSky), "Sky",
                      "sky" + std::to_string(series) + "_" + std::to_string(n));
  }
  html += "</div>\n";
  if (t.sky.size() > kSkyRunsShown)
    html += "<p>The first " + std::to_string(kSkyRunsShown) + " of " +
            std::to_string(t.sky.size()) +
            " runs with a fix; <code>zuvek-cli report --run N</code> shows the sky of run N.</p>\n";
  return html;
}

}  // namespace

unsigned ChosenRun(const TestData& test, unsigned run) {
  if (run != 0 && (FindRun(test, run) || !RowsOf(test, run).empty()))
    return run;
  std::vector<std::pair<double, unsigned>> fixed;
  for (const RunRecord& r : test.runs)
    if (const auto ttff = RunTtffS(r))
      fixed.emplace_back(*ttff, r.run);
  if (!fixed.empty()) {
    std::sort(fixed.begin(), fixed.end());
    return fixed[(fixed.size() - 1) / 2].second;
  }
  return test.signal.empty() ? 0 : test.signal.front().run;
}

std::string SkySection(const std::vector<TestData>& tests, unsigned run, double width) {
  std::string html;
  for (std::size_t i = 0; i < tests.size(); ++i) {
    const TestData& t = tests[i];
    if (t.sky.empty() && t.signal.empty())
      continue;
    const std::string name = tests.size() > 1 ? " of " + Escape(t.files.label) : "";
    html += "<h3>Sky" + name + "</h3>\n";
    html += t.sky.empty() ? "<p>No sky at a fix: no run fixed, or the test was written before "
                            "skies were kept.</p>\n"
                          : Skies(t, i, run);
    const unsigned chosen = ChosenRun(t, run);
    std::vector<SignalRow> rows = RowsOf(t, chosen);
    if (rows.empty())
      continue;
    const RunRecord* r = FindRun(t, chosen);
    const QString title = QStringLiteral("S/N per signal over run %1, %2")
                              .arg(chosen)
                              .arg(QString::fromStdString(t.files.label));
    html += SvgFigure(SignalHistoryPicture(std::move(rows), r ? MomentsOf(*r) : PhaseMoments{},
                                           title, QSizeF(width, kHistoryHeight)),
                      "S/N history", "history" + std::to_string(i));
  }
  return html.empty() ? html : "<h2>Sky and signals</h2>\n" + html;
}

}  // namespace report
