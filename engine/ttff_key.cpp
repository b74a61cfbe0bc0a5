#include "engine/ttff_key.h"

#include <boost/uuid/name_generator_sha1.hpp>
#include <boost/uuid/uuid_io.hpp>
#include <filesystem>
#include <vector>

namespace {

bool IsDayName(const std::string& name) {
  if (name.size() != 10 || name[4] != '-' || name[7] != '-')
    return false;
  for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u})
    if (name[i] < '0' || name[i] > '9')
      return false;
  return true;
}

}  // namespace

std::string TestLabelOf(const std::string& stem_path) {
  const std::filesystem::path path(stem_path);
  std::vector<std::string> parts;
  for (const auto& part : path.lexically_normal())
    if (!part.empty() && part != "/")
      parts.push_back(part.string());
  if (parts.empty())
    return {};
  // From the nearest day folder on; else the folder and the stem.
  std::size_t from = parts.size() >= 2 ? parts.size() - 2 : 0;
  for (std::size_t i = parts.size() - 1; i-- > 0;) {
    if (IsDayName(parts[i])) {
      from = i;
      break;
    }
  }
  std::string label;
  for (std::size_t i = from; i < parts.size(); ++i)
    label += (label.empty() ? "" : "/") + parts[i];
  return label;
}

std::string TestKeyOf(const std::string& host, const std::string& stem_path) {
  // A namespace of this program's own (a version 4 UUID drawn once).
  static const boost::uuids::uuid kNamespace = {{0x6b, 0x2f, 0x0e, 0x51, 0x9c, 0x3d, 0x4a, 0x77,
                                                 0xa1, 0x58, 0x2c, 0xe4, 0x90, 0x13, 0x7d, 0xb6}};
  boost::uuids::name_generator_sha1 name(kNamespace);
  return boost::uuids::to_string(name(host + "|" + TestLabelOf(stem_path)));
}
