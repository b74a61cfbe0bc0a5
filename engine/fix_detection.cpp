#include "engine/fix_detection.h"

#include <cstring>
#include <type_traits>
#include <vector>

#include "engine/run_logs.h"
#include "nmea/split_fields.h"
#include "profiles/module_commands.h"

bool RmcFixMatcher::operator()(const std::string& line) const {
  if (std::strstr(line.c_str(), module::kFixSentence) == nullptr)
    return false;
  std::vector<std::string> fields;
  SplitNmeaFields(fields, line);
  return fields.size() > 2 && fields[2] == "A";
}

namespace {

// Shared by the fix wait and the capture: poll, log every line, stop at the
// first line `match` accepts (returns 0), at the end of the time or on Stop (1).
template <class Match>
int PollNmea(LineQueue& queue, unsigned seconds, std::FILE* nmea_log, WaitContext& ctx, Match match,
             const NmeaObserver& after_match = {}) {
  return PollQueue(
      queue, seconds, ctx, [] { return bExitThread.load() != 0; },
      [&](const std::string& line, std::int64_t stamp_us) {
        if (nmea_log)
          WriteLog(nmea_log, line);
        if constexpr (std::is_invocable_v<Match&, const std::string&, std::int64_t>)
          return match(line, stamp_us);
        else
          return match(line);
      },
      [&](const std::string& line, std::int64_t stamp_us) {
        if (after_match)
          after_match(line, stamp_us);
      });
}

}  // namespace

int WaitForFix(LineQueue& queue, unsigned timeout_s, const RmcFixMatcher& matcher,
               std::FILE* nmea_log, WaitContext& ctx) {
  return PollNmea(queue, timeout_s, nmea_log, ctx,
                  [&](const std::string& line) { return matcher(line); });
}

int WaitForFix(LineQueue& queue, unsigned timeout_s, const FixRule& rule, std::FILE* nmea_log,
               WaitContext& ctx, std::string* sentence, std::string* fix_line,
               const FixWaitObservers& observers) {
  if (sentence)
    sentence->clear();
  if (fix_line)
    fix_line->clear();
  return PollNmea(
      queue, timeout_s, nmea_log, ctx,
      [&](const std::string& line, std::int64_t stamp_us) {
        if (observers.line)
          observers.line(line, stamp_us);
        if (!rule.IsFix(line, stamp_us))
          return false;
        if (sentence)
          *sentence = rule.Sentence(line);
        if (fix_line)
          *fix_line = line;
        return true;
      },
      observers.after_fix);
}

void CaptureNmea(LineQueue& queue, unsigned duration_s, std::FILE* nmea_log, WaitContext& ctx,
                 const NmeaObserver& observe) {
  PollNmea(queue, duration_s, nmea_log, ctx,
           [&observe](const std::string& line, std::int64_t stamp) {
             if (observe)
               observe(line, stamp);
             return false;
           });
}
