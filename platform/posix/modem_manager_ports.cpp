#include "platform/modem_manager_ports.h"

#include <systemd/sd-bus.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace platform {
namespace {

constexpr const char* kService = "org.freedesktop.ModemManager1";
constexpr const char* kRoot = "/org/freedesktop/ModemManager1";
constexpr const char* kModemInterface = "org.freedesktop.ModemManager1.Modem";
constexpr uint64_t kTimeoutUs = 2'000'000;

struct BusUnref {
  void operator()(sd_bus* b) const { sd_bus_flush_close_unref(b); }
};
struct MessageUnref {
  void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
using BusPtr = std::unique_ptr<sd_bus, BusUnref>;
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;

BusPtr OpenBus() {
  sd_bus* bus = nullptr;
  const char* address = std::getenv(kModemManagerBusEnv);
  if (address && *address) {
    if (sd_bus_new(&bus) < 0)
      return nullptr;
    BusPtr owned(bus);
    if (sd_bus_set_address(bus, address) < 0 || sd_bus_set_bus_client(bus, 1) < 0 ||
        sd_bus_start(bus) < 0)
      return nullptr;
    sd_bus_set_method_call_timeout(bus, kTimeoutUs);
    return owned;
  }
  if (sd_bus_open_system(&bus) < 0)
    return nullptr;
  sd_bus_set_method_call_timeout(bus, kTimeoutUs);
  return BusPtr(bus);
}

// A call that never starts the service it names.
MessagePtr Call(sd_bus* bus, const char* destination, const char* path, const char* interface,
                const char* member, const char* arg) {
  sd_bus_message* m = nullptr;
  if (sd_bus_message_new_method_call(bus, &m, destination, path, interface, member) < 0)
    return nullptr;
  MessagePtr call(m);
  if (sd_bus_message_set_auto_start(m, 0) < 0 || (arg && sd_bus_message_append(m, "s", arg) < 0))
    return nullptr;
  sd_bus_message* reply = nullptr;
  if (sd_bus_call(bus, m, kTimeoutUs, nullptr, &reply) < 0)
    return nullptr;
  return MessagePtr(reply);
}

// Reads a variant holding a(su) (Ports) or s (PrimaryPort) into *ports.
bool ReadPortsVariant(sd_bus_message* m, const char* property, std::vector<std::string>* ports) {
  if (std::strcmp(property, "PrimaryPort") == 0) {
    const char* name = nullptr;
    if (sd_bus_message_read(m, "v", "s", &name) < 0)
      return false;
    if (name && *name)
      ports->push_back(name);
    return true;
  }
  if (std::strcmp(property, "Ports") != 0)
    return sd_bus_message_skip(m, "v") >= 0;
  if (sd_bus_message_enter_container(m, 'v', "a(su)") < 0 ||
      sd_bus_message_enter_container(m, 'a', "(su)") < 0)
    return false;
  const char* name = nullptr;
  uint32_t type = 0;
  int r;
  while ((r = sd_bus_message_read(m, "(su)", &name, &type)) > 0)
    ports->push_back(name);
  return r >= 0 && sd_bus_message_exit_container(m) >= 0 && sd_bus_message_exit_container(m) >= 0;
}

// Enters the array of dict entries `entries` ("{sv}"), calls read() inside
// each entry ("sv") and leaves the array; false on a malformed message.
template <typename Read>
bool ForEachEntry(sd_bus_message* m, const char* entries, const char* entry, Read read) {
  if (sd_bus_message_enter_container(m, 'a', entries) < 0)
    return false;
  int r;
  while ((r = sd_bus_message_enter_container(m, 'e', entry)) > 0) {
    if (!read() || sd_bus_message_exit_container(m) < 0)
      return false;
  }
  return r >= 0 && sd_bus_message_exit_container(m) >= 0;
}

// An interface's a{sv} of properties.
bool ReadModemProperties(sd_bus_message* m, std::vector<std::string>* ports) {
  return ForEachEntry(m, "{sv}", "sv", [&] {
    const char* property = nullptr;
    return sd_bus_message_read(m, "s", &property) >= 0 && ReadPortsVariant(m, property, ports);
  });
}

// One object's a{sa{sv}}: its interfaces and their properties.
bool ReadObject(sd_bus_message* m, std::vector<std::string>* ports) {
  return ForEachEntry(m, "{sa{sv}}", "sa{sv}", [&] {
    const char* interface = nullptr;
    if (sd_bus_message_read(m, "s", &interface) < 0)
      return false;
    return std::strcmp(interface, kModemInterface) == 0 ? ReadModemProperties(m, ports)
                                                        : sd_bus_message_skip(m, "a{sv}") >= 0;
  });
}

// GetManagedObjects' a{oa{sa{sv}}}: every modem's ports.
std::vector<std::string> ReadManagedObjects(sd_bus_message* m) {
  std::vector<std::string> ports;
  const bool read = ForEachEntry(m, "{oa{sa{sv}}}", "oa{sa{sv}}", [&] {
    const char* path = nullptr;
    return sd_bus_message_read(m, "o", &path) >= 0 && ReadObject(m, &ports);
  });
  return read ? ports : std::vector<std::string>{};
}

}  // namespace

ModemManagerPorts AskModemManagerForPorts() {
  ModemManagerPorts found;
  const BusPtr bus = OpenBus();
  if (!bus)
    return found;
  // Who owns the name: no owner is no ModemManager (and nothing is started).
  const MessagePtr owner = Call(bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                "org.freedesktop.DBus", "GetConnectionUnixProcessID", kService);
  uint32_t pid = 0;
  if (!owner || sd_bus_message_read(owner.get(), "u", &pid) < 0 || pid == 0)
    return found;
  const MessagePtr objects = Call(bus.get(), kService, kRoot, "org.freedesktop.DBus.ObjectManager",
                                  "GetManagedObjects", nullptr);
  found.pid = static_cast<int>(pid);
  if (objects)
    found.ports = ReadManagedObjects(objects.get());
  return found;
}

}  // namespace platform
