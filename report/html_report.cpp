#include "report/html_report.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "report/pictures.h"
#include "report/plot_frame.h"
#include "report/sky_section.h"
#include "report/svg_picture.h"
#include "report/ttff_view.h"
#include "stats/rank_tests.h"

namespace report {

namespace {

constexpr double kWide = 1000, kNarrow = 480;

constexpr const char* kStyle = R"(
body{font-family:"DejaVu Sans",Arial,sans-serif;font-size:13px;color:#222;margin:16px;max-width:1040px}
h1{font-size:20px;margin:0 0 4px}h2{font-size:16px;margin:22px 0 6px;border-bottom:1px solid #ccc}
table{border-collapse:collapse;margin:4px 0}td,th{border:1px solid #ccc;padding:2px 7px;text-align:left;vertical-align:top}
th{background:#f0f0f0}.num{text-align:right}.fail{background:#fde8e8}.suspect{background:#fff1d6}
.pass{color:#060;font-weight:bold}.failv{color:#b00;font-weight:bold}.undecided{color:#a60;font-weight:bold}
.row{display:flex;flex-wrap:wrap;gap:12px}.swatch{display:inline-block;width:12px;height:12px;margin-right:5px;vertical-align:-1px}
.problem{color:#b00}.compare{font-size:14px;font-weight:bold}svg{display:block;max-width:100%;height:auto}
)";

std::string Fixed(double v, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

std::string Hex(std::size_t series) {
  return SeriesColor(series).name().toStdString();
}

std::string Swatch(std::size_t series) {
  return "<span class=\"swatch\" style=\"background:" + Hex(series) + "\"></span>";
}

const nlohmann::json& At(const nlohmann::json& j, const char* key) {
  static const nlohmann::json kNull;
  if (!j.is_object())
    return kNull;
  const auto it = j.find(key);
  return it == j.end() ? kNull : *it;
}

std::string Seconds(const nlohmann::json& v) {
  return v.is_number() ? Fixed(v.get<double>(), 2) : std::string();
}

std::string PercentileCell(const nlohmann::json& p) {
  if (!p.is_object())
    return "";
  if (At(p, "above_timeout").is_boolean() && At(p, "above_timeout").get<bool>())
    return "above the time-out";
  std::string text = Seconds(At(p, "estimate"));
  const std::string low = Seconds(At(p, "ci_low")), high = Seconds(At(p, "ci_high"));
  return text + " (" + (low.empty() ? "?" : low) + "\u2013" + (high.empty() ? "unbounded" : high) +
         ")";
}

// The statistics rows of one test, from its summary.
std::vector<std::pair<std::string, std::string>> StatisticsRows(const TestData& t) {
  std::vector<std::pair<std::string, std::string>> rows;
  const nlohmann::json statistics = StatisticsOf(t);
  const nlohmann::json& s = statistics;
  const nlohmann::json& success = At(s, "success");
  if (success.is_object()) {
    rows.emplace_back("success", std::to_string(success.value("k", 0)) + " of " +
                                     std::to_string(success.value("n", 0)) + " (" +
                                     Fixed(success.value("rate", 0.0) * 100, 1) + " %, CI " +
                                     Fixed(success.value("ci_low", 0.0) * 100, 1) + "\u2013" +
                                     Fixed(success.value("ci_high", 1.0) * 100, 1) + " %, " +
                                     success.value("method", std::string()) + ")");
  } else {
    unsigned fixes = 0;
    for (const RunRecord& r : t.runs)
      fixes += r.success ? 1 : 0;
    rows.emplace_back("success", std::to_string(fixes) + " of " + std::to_string(t.runs.size()));
  }
  const nlohmann::json& valid = At(s, "valid_runs");
  if (valid.is_object())
    rows.emplace_back("valid runs (L of M)", std::to_string(valid.value("L", 0)) + " of " +
                                                 std::to_string(valid.value("M", 0)));
  const nlohmann::json& km = At(s, "ttff_km_s");
  for (const char* p : {"p50", "p67", "p95"})
    if (At(km, p).is_object())
      rows.emplace_back(std::string("TTFF ") + p + " (s, censored, CI)", PercentileCell(At(km, p)));
  const nlohmann::json& plain = At(s, "ttff_plain_s");
  if (plain.is_object())
    rows.emplace_back("TTFF p50 / p67 / p95 of the fixes (s)",
                      Seconds(At(plain, "p50")) + " / " + Seconds(At(plain, "p67")) + " / " +
                          Seconds(At(plain, "p95")));
  const nlohmann::json& ttff = At(t.summary, "ttff_s");
  if (At(ttff, "mean").is_number())
    rows.emplace_back("TTFF mean / min / max (s)", Seconds(At(ttff, "mean")) + " / " +
                                                       Seconds(At(ttff, "min")) + " / " +
                                                       Seconds(At(ttff, "max")));
  const nlohmann::json& sd = At(s, "stddev_s");
  if (sd.is_object())
    rows.emplace_back("sample stddev (N\u22121)", At(sd, "value").is_number()
                                                      ? Seconds(At(sd, "value")) + " s"
                                                      : std::string("n/a"));
  // The summary's timeline: the median moment of each phase.
  const nlohmann::json& timeline = At(t.summary, "timeline");
  if (timeline.is_object()) {
    std::string medians;
    for (const char* phase : {"first_snr", "first_2d", "first_3d", "fix"}) {
      const nlohmann::json& m = At(At(timeline, phase), "median_ms");
      medians += std::string(medians.empty() ? "" : " / ") +
                 (m.is_number() ? Fixed(m.get<double>() / 1000, 1) : std::string("\u2013"));
    }
    rows.emplace_back("median first satellite / 2D / 3D / fix (s)", medians);
  }
  const nlohmann::json& suspects = At(t.summary, "reset_suspects");
  if (suspects.is_object())
    rows.emplace_back("reset suspects", std::to_string(suspects.value("count", 0)));
  const nlohmann::json& err = At(At(t.summary, "position_error_m"), "horizontal");
  if (At(err, "median").is_number())
    rows.emplace_back("horizontal error median / p95 (m)",
                      Fixed(err["median"].get<double>(), 1) + " / " +
                          Fixed(At(err, "p95").is_number() ? err["p95"].get<double>() : 0, 1));
  return rows;
}

std::string VerdictCell(const TestData& t) {
  const nlohmann::json& v = At(t.summary, "verdict");
  if (!v.is_object())
    return "no limits given";
  const std::string name = v.value("verdict", std::string("UNDECIDED"));
  const char* css = name == "PASS" ? "pass" : name == "FAIL" ? "failv" : "undecided";
  std::string text = "<span class=\"" + std::string(css) + "\">" + Escape(name) + "</span>";
  if (At(v, "decided_after_run").is_number())
    text += " after run " + At(v, "decided_after_run").dump();
  char limits[200];
  std::snprintf(limits, sizeof limits, " (yield %g, TTFF \u2264 %g s, confidence %g)",
                v.value("yield", 0.0), v.value("limit_ttff_s", 0.0), v.value("confidence", 0.0));
  text += Escape(limits);
  if (At(v, "limit_error_m").is_number())
    text += Escape(" error \u2264 " + Fixed(v["limit_error_m"].get<double>(), 1) + " m");
  return text + "<br>" + Escape(v.value("method", std::string()));
}

// A table with one column per test; rows by name, in the first one's order.
std::string SideBySide(const std::vector<TestData>& tests,
                       const std::vector<std::vector<std::pair<std::string, std::string>>>& cols) {
  std::vector<std::string> names;
  for (const auto& col : cols)
    for (const auto& [name, value] : col)
      if (std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(name);
  std::string html = "<table><tr><th></th>";
  for (std::size_t i = 0; i < tests.size(); ++i)
    html += "<th>" + Swatch(i) + Escape(tests[i].files.label) + "</th>";
  html += "</tr>\n";
  for (const std::string& name : names) {
    html += "<tr><th>" + Escape(name) + "</th>";
    for (const auto& col : cols) {
      std::string value;
      for (const auto& [n, v] : col)
        if (n == name)
          value = v;
      html += "<td>" + (name == "verdict" ? value : Escape(value)) + "</td>";
    }
    html += "</tr>\n";
  }
  return html + "</table>\n";
}

std::string Optional(const std::optional<double>& v, int decimals, double scale = 1) {
  return v ? Fixed(*v * scale, decimals) : std::string();
}

std::string RunTable(const TestData& t) {
  std::string html =
      "<table><tr><th>run</th><th>result</th><th>TTFF (s)</th><th>precise (s)</th>"
      "<th>first satellite</th><th>2D</th><th>3D</th><th>used</th><th>S/N at fix</th>"
      "<th>error (m)</th><th>start</th><th>reason</th><th>reset suspect</th></tr>\n";
  for (const RunRecord& r : t.runs) {
    const auto& tl = r.timeline;
    const char* css = !r.reset_suspect.empty() ? " class=\"suspect\""
                      : !r.success             ? " class=\"fail\""
                                               : "";
    html += "<tr" + std::string(css) + "><td class=\"num\">" + std::to_string(r.run) + "</td><td>" +
            (r.success ? "SUCC" : "FAIL") + "</td><td class=\"num\">" + Optional(RunTtffS(r), 3) +
            "</td><td class=\"num\">" + Optional(PreciseTtffS(r), 3) + "</td><td class=\"num\">" +
            Optional(MomentMs(tl.first_snr_ms), 1, 0.001) + "</td><td class=\"num\">" +
            Optional(MomentMs(tl.first_2d_ms), 1, 0.001) + "</td><td class=\"num\">" +
            Optional(MomentMs(tl.first_3d_ms), 1, 0.001) + "</td><td class=\"num\">" +
            Optional(tl.used_at_fix ? std::optional<double>(*tl.used_at_fix) : std::nullopt, 0) +
            "</td><td>" + Escape(SnrAtFixText(r)) + "</td><td class=\"num\">" +
            Optional(r.error_m, 1) + "</td><td>" + Escape(r.start_time) + "</td><td>" +
            Escape(r.reason) + "</td><td>" + Escape(r.reset_suspect) + "</td></tr>\n";
  }
  return html + "</table>\n";
}

}  // namespace

std::string Escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::vector<std::string> ComparisonSentences(const std::vector<TestData>& tests) {
  std::vector<std::string> sentences;
  if (tests.size() < 2)
    return sentences;
  const std::vector<stats::Observation> first = Observations(tests[0]);
  for (std::size_t i = 1; i < tests.size(); ++i) {
    const stats::RankComparison c = stats::CompareTtff(first, Observations(tests[i]));
    std::string sentence = stats::ComparisonSentence(c, tests[0].files.label, tests[i].files.label);
    sentence[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(sentence[0])));
    sentences.push_back(sentence + " (" + stats::MethodName(c.method) + ").");
  }
  return sentences;
}

std::vector<std::string> NonInferiorityParagraphs(const std::vector<TestData>& tests,
                                                  const stats::NonInferiorityQuestion& question) {
  std::vector<std::string> paragraphs;
  for (std::size_t i = 1; i < tests.size(); ++i) {
    const stats::NonInferiority n =
        stats::CompareNonInferiority(Observations(tests[0]), Observations(tests[i]), question);
    const std::string& a = tests[0].files.label;
    const std::string& b = tests[i].files.label;
    std::string sentence = stats::NonInferioritySentence(n, a, b);
    sentence[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(sentence[0])));
    std::string p = Escape(sentence) + ".";
    for (const std::string& line : stats::NonInferiorityFigures(n, a, b))
      p += "<br>" + Escape(line);
    paragraphs.push_back(p);
  }
  return paragraphs;
}

std::string HtmlReport(const std::vector<TestData>& tests, const ReportOptions& options) {
  std::string title = "TTFF report";
  for (std::size_t i = 0; i < tests.size() && i < 4; ++i)
    title += (i == 0 ? " " : ", ") + tests[i].files.label;
  std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>" +
                     Escape(title) + "</title>\n<style>" + kStyle + "</style></head><body>\n";
  html += "<h1>" + Escape(title) + "</h1>\n";
  html += "<p>Written by " + Escape(options.writer) + " " + std::string(ZUVEK_VERSION) + " from " +
          std::to_string(tests.size()) + " test" + (tests.size() == 1 ? "" : "s") + ".</p>\n";
  for (const TestData& t : tests)
    for (const std::string& problem : t.problems)
      html += "<p class=\"problem\">" + Escape(t.files.label + ": " + problem) + "</p>\n";

  const std::vector<std::string> comparisons = ComparisonSentences(tests);
  if (!comparisons.empty()) {
    html += "<h2>Comparison</h2>\n";
    for (const std::string& s : comparisons)
      html += "<p class=\"compare\">" + Escape(s) + "</p>\n";
    for (const std::string& p : options.margin ? NonInferiorityParagraphs(tests, *options.margin)
                                               : std::vector<std::string>())
      html += "<p class=\"margin\">" + p + "</p>\n";
  }
  html += "<h2>Conditions</h2>\n";
  std::vector<std::vector<std::pair<std::string, std::string>>> cols;
  for (const TestData& t : tests)
    cols.push_back(Conditions(t));
  html += SideBySide(tests, cols);
  html += "<h2>Verdict and statistics</h2>\n";
  cols.clear();
  for (const TestData& t : tests) {
    cols.push_back({{"verdict", VerdictCell(t)}});
    for (auto& row : StatisticsRows(t))
      cols.back().push_back(std::move(row));
  }
  html += SideBySide(tests, cols);
  html += "<h2>TTFF</h2>\n" + SvgFigure(EcdfPicture(tests, kWide), "TTFF", "ecdf");
  const double width = tests.size() == 1 ? kWide : kNarrow;
  html += "<h2>Timeline of each run</h2>\n<div class=\"row\">";
  for (std::size_t i = 0; i < tests.size(); ++i)
    html +=
        SvgFigure(TimelinePicture(tests[i], i, width), "Timeline", "timeline" + std::to_string(i));
  html += "</div>\n";
  std::string snr;
  for (std::size_t i = 0; i < tests.size(); ++i)
    snr += SvgFigure(SnrPicture(tests[i], i, width), "S/N", "snr" + std::to_string(i));
  if (!snr.empty())
    html += "<h2>Signal</h2>\n<div class=\"row\">" + snr + "</div>\n";
  html += SkySection(tests, options.run, width);
  html += SvgFigure(ErrorPicture(tests, kWide), "Position error", "error");
  html += "<h2>Runs</h2>\n";
  for (std::size_t i = 0; i < tests.size(); ++i) {
    html += "<details" + std::string(tests[i].runs.size() <= 50 ? " open" : "") + "><summary>" +
            Swatch(i) + Escape(tests[i].files.label) + ": " + std::to_string(tests[i].runs.size()) +
            " runs</summary>\n" + RunTable(tests[i]) + "</details>\n";
  }
  return html + "</body></html>\n";
}

}  // namespace report
