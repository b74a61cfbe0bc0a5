#include "platform/host_name.h"

#include <unistd.h>

#include <cstdio>
#include <random>

namespace platform {

std::string HostName() {
  char name[256] = "";
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
    return "unknown";
  return name;
}

std::string RandomUuid() {
  std::random_device device;  // /dev/urandom
  unsigned char b[16];
  for (unsigned char& c : b)
    c = static_cast<unsigned char>(device());
  b[6] = static_cast<unsigned char>((b[6] & 0x0f) | 0x40);
  b[8] = static_cast<unsigned char>((b[8] & 0x3f) | 0x80);
  char text[40];
  std::snprintf(text, sizeof text,
                "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                b[15]);
  return text;
}

}  // namespace platform
