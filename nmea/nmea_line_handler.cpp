#include "nmea/nmea_line_handler.h"

#include <cstring>
#include <string>

#include "nmea/gsa.h"
#include "nmea/gsa_any_talker.h"
#include "nmea/gsv.h"
#include "nmea/split_fields.h"
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

// The address (after its last "$") ends with `type`: "GSA" of "$GBGSA".
bool IsSentence(const std::string& address, const char* type) {
  const std::size_t dollar = address.rfind('$');
  return dollar != std::string::npos && address.size() >= dollar + 4 &&
         address.compare(address.size() - 3, 3, type) == 0;
}

}  // namespace

NmeaLineHandler::NmeaLineHandler(LiveView& view, SkyEpochSink sink)
    : view_(view), sink_(std::move(sink)) {
  sky_.bars.reserve(kBarCapacity);
}

int NmeaLineHandler::OnNmeaLine(const char* text) {
  if (text == nullptr)
    return 0;
  if (g_fp_nmea_all != nullptr)
    platform::CheckedWrite(g_fp_nmea_all, text, std::strlen(text));
  if (HasTwoDollars(text))
    return 0;

  ParsePositionSentence(text, record_, view_, mode_);

  if (Contains(text, "RMC")) {
    EndEpoch();
  } else if (HandleGsa(text)) {
  } else if (Contains(text, "GSV")) {
    HandleGsv(text);
  } else if (Contains(text, "GSA")) {
    // Another talker's GSA ($GBGSA, a vendor's): its system ID's list only.
    SplitNmeaFields(fields_, text);
    if (IsSentence(fields_.front(), "GSA")) {
      if (fields_.front().find("$P") != std::string::npos)
        ParsePwGsa(fields_, sats_);  // any proprietary GSA, like the vendor's own
      JoinUsedBySystemId(fields_, sats_);
      sats_.had_gsa = true;
    }
  }
  return 1;
}

bool NmeaLineHandler::HandleGsa(const char* text) {
  const bool any_talker = mode_ == LiveViewMode::kAnyTalker && HasAnyTalkerSentence(text, "GSA");
  void (*parse)(const NmeaFields&, SatelliteCollections&) = nullptr;
  if (any_talker)
    parse = ParseAnyTalkerGsa;
  else if (Contains(text, "$GPGSA"))
    parse = ParseGpGsa;
  else if (Contains(text, "$GNGSA"))
    parse = ParseGnGsa;
  else if (Contains(text, "$PWGSA"))
    parse = ParsePwGsa;
  else
    return false;
  SplitNmeaFields(fields_, text);
  parse(fields_, sats_);
  JoinUsedBySystemId(fields_, sats_);
  sats_.had_gsa = true;
  return true;
}

void NmeaLineHandler::HandleGsv(const char* text) {
  if (std::strchr(text, '*') == nullptr)
    return;  // ignored, as a GSV without its checksum always was
  const std::size_t before = sats_.m_vec_satellites.size();
  ParseGsvSentence(text, sats_.m_vec_satellites, fields_);
  if (sats_.m_vec_satellites.size() > before || IsSentence(fields_.front(), "GSV"))
    sats_.had_gsv = true;
}

void NmeaLineHandler::EndEpoch() {
  if (sats_.had_gsv) {
    last_.m_vec_satellites.swap(sats_.m_vec_satellites);
    last_.had_gsv = true;
  }
  if (sats_.had_gsa) {
    last_.m_vec_gps_used.swap(sats_.m_vec_gps_used);
    last_.m_vec_glonass_used.swap(sats_.m_vec_glonass_used);
    last_.m_vec_galileo_used.swap(sats_.m_vec_galileo_used);
    last_.m_vec_beidou_used.swap(sats_.m_vec_beidou_used);
    last_.m_vec_qzss_used.swap(sats_.m_vec_qzss_used);
    last_.used_by_system_id.swap(sats_.used_by_system_id);
    last_.had_gsa = true;
  }
  BuildSkyEpoch(last_, sky_);
  if (sink_)
    sink_(sky_);
  sats_.OnClearSatellites();
}
