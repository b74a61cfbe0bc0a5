// A stand-in ModemManager for tests: on the bus at argv[1] it owns
// org.freedesktop.ModemManager1 and exports, as ModemManager does, an object
// manager at /org/freedesktop/ModemManager1 and one modem,
// /org/freedesktop/ModemManager1/Modem/0, whose org.freedesktop.ModemManager1.Modem
// interface has the properties Ports (a(su)), PrimaryPort (s) and Device (s).
// argv[2] is the primary port (an AT port, type 3), argv[3..] more ports of
// type 2 (net). It names its process "ModemManager", opens none of the ports,
// writes "ready" once the name is its own, and serves until SIGTERM.
//   modem-manager-standin ADDRESS PRIMARY [PORT...]
#include <sys/prctl.h>
#include <systemd/sd-bus.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::pair<std::string, uint32_t>> g_ports;  // name, MMModemPortType
volatile std::sig_atomic_t g_stop = 0;

int GetPorts(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
             sd_bus_error*) {
  int r = sd_bus_message_open_container(reply, 'a', "(su)");
  for (const auto& [name, type] : g_ports) {
    if (r >= 0)
      r = sd_bus_message_append(reply, "(su)", name.c_str(), type);
  }
  return r < 0 ? r : sd_bus_message_close_container(reply);
}

int GetPrimaryPort(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
                   sd_bus_error*) {
  return sd_bus_message_append(reply, "s", g_ports.front().first.c_str());
}

int GetDevice(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*,
              sd_bus_error*) {
  return sd_bus_message_append(reply, "s", "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-3");
}

const sd_bus_vtable kModem[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Ports", "a(su)", GetPorts, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("PrimaryPort", "s", GetPrimaryPort, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Device", "s", GetDevice, 0, SD_BUS_VTABLE_PROPERTY_CONST), SD_BUS_VTABLE_END};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: modem-manager-standin ADDRESS PRIMARY [PORT...]\n");
    return 2;
  }
  g_ports.emplace_back(argv[2], 3);
  for (int i = 3; i < argc; ++i)
    g_ports.emplace_back(argv[i], 2);
  ::prctl(PR_SET_NAME, "ModemManager", 0, 0, 0);
  std::signal(SIGTERM, [](int) { g_stop = 1; });
  sd_bus* bus = nullptr;
  if (sd_bus_new(&bus) < 0 || sd_bus_set_address(bus, argv[1]) < 0 ||
      sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0 ||
      sd_bus_add_object_manager(bus, nullptr, "/org/freedesktop/ModemManager1") < 0 ||
      sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/ModemManager1/Modem/0",
                               "org.freedesktop.ModemManager1.Modem", kModem, nullptr) < 0 ||
      sd_bus_request_name(bus, "org.freedesktop.ModemManager1", 0) < 0) {
    std::fprintf(stderr, "modem-manager-standin: the bus at %s refused it\n", argv[1]);
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  while (!g_stop) {
    const int r = sd_bus_process(bus, nullptr);
    if (r < 0)
      break;
    if (r == 0)
      sd_bus_wait(bus, 200'000);
  }
  sd_bus_flush_close_unref(bus);
  return 0;
}
