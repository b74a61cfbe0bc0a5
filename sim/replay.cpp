#include "sim/replay.h"
#include "platform/file_reads.h"

#include <cctype>

namespace sim {

namespace {

constexpr std::int64_t kDefaultGapUs = 1'000'000;
constexpr double kLongestGapS = 10.0;

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  for (char c : line) {
    if (c == ',') {
      fields.push_back(field);
      field.clear();
    } else {
      field += c;
    }
  }
  fields.push_back(field);
  return fields;
}

// An RMC sentence of any talker: "$" followed by two talker letters and "RMC,".
bool IsRmc(const std::string& line) {
  for (auto pos = line.find('$'); pos != std::string::npos; pos = line.find('$', pos + 1)) {
    if (pos + 7 <= line.size() && line.compare(pos + 3, 4, "RMC,") == 0)
      return true;
  }
  return false;
}

std::string RmcFrom(const std::string& line) {
  for (auto pos = line.find('$'); pos != std::string::npos; pos = line.find('$', pos + 1)) {
    if (pos + 7 <= line.size() && line.compare(pos + 3, 4, "RMC,") == 0)
      return line.substr(pos);
  }
  return {};
}

}  // namespace

bool IsGprmcFix(const std::string& line) {
  if (line.find("$GPRMC") == std::string::npos)
    return false;
  const auto fields = Fields(line);
  return fields.size() > 2 && fields[2] == "A";
}

double RmcSecondsOfDay(const std::string& line) {
  const auto fields = Fields(RmcFrom(line));
  if (fields.size() < 2 || fields[1].size() < 6)
    return -1;
  const std::string& t = fields[1];
  for (int i = 0; i < 6; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(t[static_cast<std::size_t>(i)])))
      return -1;
  }
  double seconds = ((t[0] - '0') * 10 + (t[1] - '0')) * 3600.0 +
                   ((t[2] - '0') * 10 + (t[3] - '0')) * 60.0 + (t[4] - '0') * 10 + (t[5] - '0');
  if (t.size() > 7 && t[6] == '.') {
    double scale = 0.1;
    for (std::size_t i = 7; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); ++i) {
      seconds += (t[i] - '0') * scale;
      scale /= 10;
    }
  }
  return seconds;
}

ReplayCapture ReplayCapture::FromText(const std::string& text, const FixRule* rule) {
  ReplayCapture capture;
  std::vector<std::string> prelude;
  std::vector<double> rmc_times;
  std::size_t start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
      line.pop_back();
    if (line.empty() || line.front() == '#')
      continue;
    const bool rmc = IsRmc(line);
    line += "\r\n";
    if (rmc) {
      capture.epochs_.push_back({});
      rmc_times.push_back(RmcSecondsOfDay(line));
      if (capture.epochs_.size() == 1)
        capture.epochs_.back().lines = std::move(prelude);
    }
    if (capture.epochs_.empty()) {
      prelude.push_back(std::move(line));
      continue;
    }
    ReplayEpoch& epoch = capture.epochs_.back();
    if (epoch.fix_line < 0 && (rule ? rule->IsFix(line, 0) : IsGprmcFix(line)))
      epoch.fix_line = static_cast<int>(epoch.lines.size());
    epoch.lines.push_back(std::move(line));
  }
  if (capture.epochs_.empty() && !prelude.empty()) {
    capture.epochs_.push_back({});
    capture.epochs_.back().lines = std::move(prelude);
  }
  for (std::size_t i = 0; i + 1 < rmc_times.size(); ++i) {
    double gap = rmc_times[i + 1] - rmc_times[i];
    if (gap < 0)
      gap += 86400;  // across midnight
    capture.epochs_[i].gap_us =
        (rmc_times[i] >= 0 && rmc_times[i + 1] >= 0 && gap > 0 && gap <= kLongestGapS)
            ? static_cast<std::int64_t>(gap * 1e6 + 0.5)
            : kDefaultGapUs;
  }
  return capture;
}

std::optional<ReplayCapture> ReplayCapture::Load(const std::string& path, std::string* error,
                                                 const FixRule* rule) {
  const std::optional<std::string> text = platform::ReadWholeFile(path);
  if (!text) {
    if (error)
      *error = "cannot read " + path;
    return std::nullopt;
  }
  ReplayCapture capture = FromText(*text, rule);
  if (capture.epochs_.empty()) {
    if (error)
      *error = path + " holds no NMEA lines";
    return std::nullopt;
  }
  return capture;
}

int ReplayCapture::FirstFixEpoch() const {
  for (std::size_t i = 0; i < epochs_.size(); ++i) {
    if (epochs_[i].fix_line >= 0)
      return static_cast<int>(i);
  }
  return -1;
}

}  // namespace sim
