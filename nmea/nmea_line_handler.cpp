#include "nmea/nmea_line_handler.h"

#include <cstring>
#include <string>

#include "nmea/gsa.h"
#include "nmea/gsa_any_talker.h"
#include "nmea/gsv.h"
#include "platform/file_writes.h"

std::FILE* g_fp_nmea_all = nullptr;

namespace {

constexpr std::size_t kBarCapacity = 50;

bool Contains(const char* text, const char* what) {
  return std::strstr(text, what) != nullptr;
}

// Two sentences run together: a "$" and another one after it.
bool HasTwoDollars(const char* text) {
  const char* first = std::strchr(text, '$');
  return first != nullptr && std::strchr(first + 1, '$') != nullptr;
}

}  // namespace

NmeaLineHandler::NmeaLineHandler(LiveView& view, SatelliteBarSink sink)
    : view_(view), sink_(std::move(sink)) {
  bars_.reserve(kBarCapacity);
}

int NmeaLineHandler::OnNmeaLine(const char* text) {
  if (text == nullptr)
    return 0;
  if (g_fp_nmea_all != nullptr)
    platform::CheckedWrite(g_fp_nmea_all, text, std::strlen(text));
  if (HasTwoDollars(text))
    return 0;

  ParsePositionSentence(std::string(text), record_, view_, mode_);

  if (Contains(text, "RMC")) {
    EndEpoch();
  } else if (mode_ == LiveViewMode::kAnyTalker && HasAnyTalkerSentence(text, "GSA")) {
    ParseAnyTalkerGsa(text, sats_);
  } else if (Contains(text, "$GPGSA")) {
    ParseGpGsa(text, sats_);
  } else if (Contains(text, "$GNGSA")) {
    ParseGnGsa(text, sats_);
  } else if (Contains(text, "$PWGSA")) {
    ParsePwGsa(text, sats_);
  } else if (Contains(text, "GSV")) {
    ParseGsvSentence(text, sats_.m_vec_satellites);
  }
  return 1;
}

void NmeaLineHandler::EndEpoch() {
  BuildSatelliteBars(bars_, sats_.m_vec_gps_used, sats_.m_vec_glonass_used,
                     sats_.m_vec_galileo_used, sats_.m_vec_beidou_used, sats_.m_vec_qzss_used,
                     sats_.m_vec_satellites);
  if (sink_)
    sink_(bars_);
  sats_.OnClearSatellites();
}
