#include "cli/margin_options.h"

namespace cli {

CLI::Option* AddMarginOptions(CLI::App* sub, stats::NonInferiorityQuestion& question,
                              const std::string& margin_help, const std::string& prefix) {
  CLI::Option* margin =
      sub->add_option("--margin", question.margin_s, margin_help)->check(CLI::Range(0.0, 86400.0));
  sub->add_option("--percentile", question.percentile,
                  prefix + "the TTFF percentile compared, as a share (0.5: the median)")
      ->check(CLI::Range(0.01, 0.99))
      ->capture_default_str();
  sub->add_option("--confidence", question.confidence, prefix + "the confidence of the intervals")
      ->check(CLI::Range(0.5, 0.9999))
      ->capture_default_str();
  return margin;
}

}  // namespace cli
