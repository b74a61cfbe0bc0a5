#include "session/port_reconnect.h"

#include <chrono>
#include <thread>

#include "platform/debug_log.h"
#include "platform/message_target.h"
#include "serial/device_watch.h"
#include "serial/posix_tty.h"
#include "session/module_hub.h"

namespace {

// Between attempts to open a device that is there but refuses the open
// (udev still setting it up), in real time.
constexpr auto kRetryPause = std::chrono::milliseconds(100);

}  // namespace

bool ReconnectPorts(ModuleHub& hub, platform::MessageTarget& target, const platform::Clock& clock,
                    unsigned seconds, const std::function<bool()>& cancelled, std::string* why) {
  const DWORD start = clock.GetTickCount();
  const DWORD limit = static_cast<DWORD>(static_cast<std::uint64_t>(seconds) * 1000u);
  auto out_of_time = [&] { return clock.GetTickCount() - start >= limit; };
  auto give_up = [&] { return cancelled() || out_of_time(); };

  PortRequest request;
  if (!target.Invoke([&] {
        request = hub.Request();
        hub.SuspendPorts();
      })) {
    return false;
  }
  const std::vector<std::string> paths = {tty::DevicePath(request.at_name),
                                          tty::DevicePath(request.nmea_name)};
  LOG_DEBUG(("waiting up to " + std::to_string(seconds) + " s for " + paths[0] + " and " +
             paths[1] + "\n")
                .c_str());
  std::vector<std::string> failures;
  for (;;) {
    if (!WaitForDevices(paths, give_up)) {
      if (why) {
        *why = cancelled() ? "cancelled"
                           : paths[0] + " and " + paths[1] + " did not come back within " +
                                 std::to_string(seconds) + " s";
      }
      return false;
    }
    bool open = false;
    if (!target.Invoke([&] {
          if (cancelled())
            return;
          failures = hub.ResumePorts();
          open = failures.empty();
          if (!open)
            hub.SuspendPorts();
        })) {
      return false;
    }
    if (open)
      return true;
    if (give_up()) {
      if (why)
        *why = cancelled() ? "cancelled" : "the ports came back but could not be opened";
      return false;
    }
    std::this_thread::sleep_for(kRetryPause);
  }
}
