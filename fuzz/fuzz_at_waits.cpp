// The AT waits' line handling with the clock capture, on arbitrary replies.
#include <atomic>
#include <cstdint>
#include <string>

#include "engine/at_exchange.h"
#include "platform/clock.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::FakeClock clock(0);
  LineQueue queue;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // Half arrives before the wait, half during it.
  queue.Append(bytes.data(), size / 2, 0);
  bool sent = false;
  clock.SetSleepHook([&](std::int64_t) {
    if (!sent)
      queue.Append(bytes.data() + size / 2, size - size / 2, 0);
    sent = true;
  });
  WaitContext ctx{clock};
  g_strXtraTime.clear();
  WaitClockReply(queue, 1, ContainsMatcher("OK"), nullptr, ctx);
  GnssStateMatcher state;
  WaitGnssState(queue, 1, state, nullptr, ctx);
  std::string text;
  CaptureClock(bytes, text);
  clock.SetSleepHook({});
  return 0;
}
