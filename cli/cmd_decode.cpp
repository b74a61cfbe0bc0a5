// zuvek-cli decode [FILE|-]: replays a recorded NMEA capture through the live
// view's line handler and prints one JSON object per epoch (per RMC line).
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/command.h"
#include "nmea/live_view.h"
#include "nmea/nmea_line_handler.h"
#include "nmea/signal_ids.h"

namespace {

struct LiveFieldName {
  int id;
  const char* name;
};

constexpr LiveFieldName kLiveFieldNames[] = {
    {kIdLat, "lat"},           {kIdLon, "lon"},          {kIdUtcTime, "utc_time"},
    {kIdUtcDate, "utc_date"},  {kIdFixMode, "fix_mode"}, {kIdSpeed, "speed"},
    {kIdAltitude, "altitude"}, {kIdHdop, "hdop"},
};

nlohmann::json Angle(int degrees) {
  return degrees < 0 ? nlohmann::json(nullptr) : nlohmann::json(degrees);
}

// One per satellite in view: where it stands, whether it is used, and its
// S/N per signal (a signal without ID when the receiver names none).
nlohmann::json SatellitesJson(const std::vector<SkySatellite>& satellites) {
  nlohmann::json list = nlohmann::json::array();
  for (const SkySatellite& s : satellites) {
    nlohmann::json levels = nlohmann::json::array();
    for (int i = 0; i < s.level_count; ++i) {
      const SignalLevel& level = s.levels[static_cast<std::size_t>(i)];
      nlohmann::json signal = {{"snr", level.snr}};
      if (level.signal != kNoSignal) {
        signal["id"] = level.signal;
        signal["name"] = SignalName(s.system, level.signal);
      }
      levels.push_back(signal);
    }
    list.push_back({{"prn", s.prn},
                    {"system", SystemName(s.system)},
                    {"letter", std::string(1, GnssLetter(s.system))},
                    {"elevation", Angle(s.elevation)},
                    {"azimuth", Angle(s.azimuth)},
                    {"used", s.used},
                    {"signals", levels}});
  }
  return list;
}

nlohmann::json EpochJson(std::size_t epoch, std::size_t line_no, const LiveView& view,
                         const SkyEpoch& sky) {
  nlohmann::json live = nlohmann::json::object();
  for (const auto& field : kLiveFieldNames)
    live[field.name] = view.Text(field.id);
  nlohmann::json list = nlohmann::json::array();
  for (const SatelliteBar& bar : sky.bars) {
    nlohmann::json b = {{"prn", bar.prn},
                        {"snr", bar.snr},
                        {"system", bar.system},
                        {"letter", std::string(1, GnssLetter(bar.system))},
                        {"used", bar.used != 0}};
    if (bar.signal != kNoSignal)
      b["signal"] = SignalLabel(bar.system, bar.signal);
    list.push_back(b);
  }
  return {{"epoch", epoch},
          {"line", line_no},
          {"live", live},
          {"bars", list},
          {"satellites", SatellitesJson(sky.satellites)}};
}

class DecodeCommand : public cli::Command {
 public:
  CLI::App* Add(CLI::App& app) override {
    CLI::App* sub = app.add_subcommand(
        "decode",
        "Decode a recorded NMEA capture as the live view does; one JSON object per epoch");
    sub->add_option("file", path_, "NMEA capture to read; '-' or nothing reads standard input");
    sub->add_flag("--any-talker", any_talker_,
                  "Decode as with a fix rule other than gprmc: RMC and GSA of every talker feed "
                  "the position, GSA without a system ID is split by PRN ranges");
    sub->footer(
        "Each line is handed to the decoder as the receive path would (line end made \"\\r\\n\");\n"
        "lines starting with '#' are skipped. At every RMC line it prints {epoch, line, live,\n"
        "bars, satellites}: the eight live-field texts as the labels show them, the chart's\n"
        "bars (one per satellite and signal, with \"signal\", when the receiver names its\n"
        "signals) and the satellites in view with elevation, azimuth, use and S/N per signal.");
    return sub;
  }

  int Run() override {
    std::ifstream file;
    std::istream* in = &std::cin;
    if (!path_.empty() && path_ != "-") {
      std::error_code ec;
      if (std::filesystem::is_directory(path_, ec)) {
        std::cerr << "zuvek-cli decode: " << path_
                  << " is a folder; give a file of recorded NMEA lines (or - for standard "
                     "input)\n";
        return cli::kExitFailure;
      }
      file.open(path_, std::ios::binary);
      if (!file) {
        std::cerr << "zuvek-cli decode: cannot open '" << path_ << "'\n";
        return cli::kExitFailure;
      }
      in = &file;
    }
    LiveView view;
    std::size_t epoch = 0;
    std::size_t line_no = 0;
    NmeaLineHandler handler(view, [&](const SkyEpoch& sky) {
      // Invalid UTF-8 from a garbled capture is replaced, never thrown on.
      std::cout << EpochJson(epoch++, line_no, view, sky)
                       .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                << '\n';
    });
    if (any_talker_)
      handler.SetLiveViewMode(LiveViewMode::kAnyTalker);
    const std::size_t overlong = ReadLines(*in, line_no, handler);
    if (overlong > 0)
      std::cerr << "zuvek-cli decode: " << overlong
                << " line(s) longer than 64 KiB are no NMEA sentence; they were skipped\n";
    std::cout.flush();
    return std::cout ? cli::kExitOk : cli::kExitFailure;
  }

 private:
  // Hands each line to the handler as the receive path would, reading the
  // input as a stream (a line held at 64 KiB at the most); the lines that
  // were longer, skipped.
  static std::size_t ReadLines(std::istream& in, std::size_t& line_no, NmeaLineHandler& handler) {
    static constexpr std::streamsize kMaxLine = 64 * 1024;
    std::vector<char> buffer(kMaxLine + 1);
    std::size_t overlong = 0;
    while (in) {
      in.getline(buffer.data(), kMaxLine + 1);
      if (in.fail() && !in.eof() && in.gcount() == kMaxLine) {
        in.clear();  // longer than a line of ours: the rest of it goes unread
        in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        ++line_no;
        ++overlong;
        continue;
      }
      if (in.gcount() == 0 && !in)
        break;
      ++line_no;
      std::string line(buffer.data());
      if (!line.empty() && line.front() == '#')
        continue;
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      line += "\r\n";
      // The text as the receive path sends it: a NUL byte ends it.
      handler.OnNmeaLine(line.c_str());
    }
    return overlong;
  }

  std::string path_;
  bool any_talker_ = false;
};

}  // namespace

ZUVEK_REGISTER_COMMAND(DecodeCommand);
