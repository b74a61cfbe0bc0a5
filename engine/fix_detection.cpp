#include "engine/fix_detection.h"

#include <cstring>
#include <vector>

#include "engine/module_commands.h"
#include "engine/run_logs.h"
#include "nmea/split_fields.h"

bool RmcFixMatcher::operator()(const std::string& line) const {
  if (std::strstr(line.c_str(), module::kFixSentence) == nullptr) return false;
  std::vector<std::string> fields;
  SplitNmeaFields(fields, line);
  return fields.size() > 2 && fields[2] == "A";
}

namespace {

// Shared by the fix wait and the capture: poll, log every line, stop at the
// first line `match` accepts (returns 0) or at the end of the time (1).
template <class Match>
int PollNmea(LineQueue& queue, unsigned seconds, std::FILE* nmea_log, WaitContext& ctx,
             Match match) {
  ctx.matched_stamp_us = 0;
  const DWORD start = ctx.clock.GetTickCount();
  const DWORD limit = static_cast<DWORD>(static_cast<std::uint64_t>(seconds) * 1000u);
  std::vector<std::string> batch;
  std::vector<std::int64_t> stamps;
  for (;;) {
    if (ctx.clock.GetTickCount() - start >= limit || bExitThread.load() != 0 ||
        ctx.ShuttingDown()) {
      return 1;
    }
    batch.clear();
    ctx.clock.Sleep(kPollMs);
    queue.Extract(batch, &stamps);
    for (size_t i = 0; i < batch.size(); ++i) {
      if (nmea_log) WriteLog(nmea_log, batch[i]);
      if (match(batch[i])) {
        ctx.matched_stamp_us = i < stamps.size() ? stamps[i] : 0;
        return 0;
      }
    }
  }
}

}  // namespace

int WaitForFix(LineQueue& queue, unsigned timeout_s, const RmcFixMatcher& matcher,
               std::FILE* nmea_log, WaitContext& ctx) {
  return PollNmea(queue, timeout_s, nmea_log, ctx,
                  [&](const std::string& line) { return matcher(line); });
}

void CaptureNmea(LineQueue& queue, unsigned duration_s, std::FILE* nmea_log, WaitContext& ctx) {
  PollNmea(queue, duration_s, nmea_log, ctx, [](const std::string&) { return false; });
}
