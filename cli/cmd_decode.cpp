// zuvek-cli decode [FILE|-]: replays a recorded NMEA capture through the live
// view's line handler and prints one JSON object per epoch (per RMC line).
#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "cli/command.h"
#include "nmea/live_view.h"
#include "nmea/nmea_line_handler.h"

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

nlohmann::json EpochJson(std::size_t epoch, std::size_t line_no, const LiveView& view,
                         const std::vector<SatelliteBar>& bars) {
  nlohmann::json live = nlohmann::json::object();
  for (const auto& field : kLiveFieldNames)
    live[field.name] = view.Text(field.id);
  nlohmann::json list = nlohmann::json::array();
  for (const SatelliteBar& bar : bars) {
    list.push_back({{"prn", bar.prn},
                    {"snr", bar.snr},
                    {"system", bar.system},
                    {"letter", std::string(1, GnssLetter(bar.system))},
                    {"used", bar.used != 0}});
  }
  return {{"epoch", epoch}, {"line", line_no}, {"live", live}, {"bars", list}};
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
        "bars}: the eight live-field texts as the labels show them and the chart's bars.");
    return sub;
  }

  int Run() override {
    std::string data;
    if (path_.empty() || path_ == "-") {
      data.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
      std::ifstream in(path_, std::ios::binary);
      if (!in) {
        std::cerr << "zuvek-cli decode: cannot open '" << path_ << "'\n";
        return cli::kExitFailure;
      }
      data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    LiveView view;
    std::size_t epoch = 0;
    std::size_t line_no = 0;
    NmeaLineHandler handler(view, [&](const std::vector<SatelliteBar>& bars) {
      // Invalid UTF-8 from a garbled capture is replaced, never thrown on.
      std::cout << EpochJson(epoch++, line_no, view, bars)
                       .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                << '\n';
    });
    if (any_talker_)
      handler.SetLiveViewMode(LiveViewMode::kAnyTalker);

    std::string line;
    std::size_t pos = 0;
    while (pos < data.size()) {
      std::size_t end = data.find('\n', pos);
      if (end == std::string::npos)
        end = data.size();
      line.assign(data, pos, end - pos);
      pos = end + 1;
      ++line_no;
      if (!line.empty() && line.front() == '#')
        continue;
      if (!line.empty() && line.back() == '\r')
        line.pop_back();
      line += "\r\n";
      // The text as the receive path sends it: a NUL byte ends it.
      handler.OnNmeaLine(line.c_str());
    }
    std::cout.flush();
    return std::cout ? cli::kExitOk : cli::kExitFailure;
  }

 private:
  std::string path_;
  bool any_talker_ = false;
};

}  // namespace

ZUVEK_REGISTER_COMMAND(DecodeCommand);
