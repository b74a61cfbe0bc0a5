#include "config/app_config.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <boost/archive/archive_exception.hpp>
#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>
#include <boost/serialization/array.hpp>

// The record goes through the archive with a class preamble (tracking flag and
// class version), never through a pointer: the library's defaults.
BOOST_CLASS_IMPLEMENTATION(app_config, boost::serialization::object_class_info)
BOOST_CLASS_TRACKING(app_config, boost::serialization::track_selectively)
BOOST_CLASS_VERSION(app_config, 0)

app_config g_config;

namespace {

// What existing installations write in the archive header. Newer Boost
// releases would stamp their own library version; files must stay readable
// by the older builds, so the header is written by hand with this number.
constexpr unsigned int kArchiveLibraryVersion = 10;
constexpr const char* kArchiveSignature = "serialization::archive";

// Reads the first tokens of the file and tells whether the archive may be
// handed to the loader: the signature, a library version of at most 10 and a
// tracking flag of 0. Anything else leaves the record at its defaults.
bool HeaderAcceptable(std::istream& in) {
  std::string length, signature, version, tracking;
  if (!(in >> length >> signature >> version >> tracking)) {
    // A file that ends inside the header is read no further, with or
    // without the tracking flag.
    return false;
  }
  if (length != "22" || signature != kArchiveSignature)
    return false;
  if (version.empty() || version.size() > 9 ||
      version.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  if (std::stoul(version) > kArchiveLibraryVersion)
    return false;
  // A tracking flag of 1 would make the reader take the next token for an
  // object id and shift every later member by one.
  return tracking == "0";
}

}  // namespace

app_config::app_config()
    : m_interval_sleep(10),
      m_timeout(200),
      m_uncrtn(3500),
      m_import_xtra_cmd{},
      m_at_port_index(0),
      m_at_baud_index(0),
      m_chip_index(0),
      m_reserved_a(kReservedNone),
      m_reserved_b(0),
      m_reserved_c(999),
      m_nmea_port_index(0) {
  std::memset(m_import_xtra_cmd, 0, sizeof m_import_xtra_cmd);
  std::strcpy(m_import_xtra_cmd, kDefaultImportXtraCmd);
}

std::string app_config::GetImportXtraCmd() const {
  return std::string(m_import_xtra_cmd, strnlen(m_import_xtra_cmd, sizeof m_import_xtra_cmd));
}

void app_config::SetImportXtraCmd(const std::string& cmd) {
  // strncpy semantics over 99 bytes: the copy stops after the terminator of a
  // shorter text and pads nothing beyond it that a longer text would reach.
  const size_t n = std::min<size_t>(cmd.size(), sizeof m_import_xtra_cmd - 1);
  std::memcpy(m_import_xtra_cmd, cmd.data(), n);
  if (n < sizeof m_import_xtra_cmd - 1)
    m_import_xtra_cmd[n] = '\0';
}

void app_config::CopyMembersFrom(const app_config& other, int n) {
  // Archive order: the same as serialize().
  if (n > 0)
    m_interval_sleep = other.m_interval_sleep;
  if (n > 1)
    m_timeout = other.m_timeout;
  if (n > 2)
    m_at_port_index = other.m_at_port_index;
  if (n > 3)
    m_at_baud_index = other.m_at_baud_index;
  if (n > 4)
    m_chip_index = other.m_chip_index;
  if (n > 5)
    m_reserved_a = other.m_reserved_a;
  if (n > 6)
    m_reserved_b = other.m_reserved_b;
  if (n > 7)
    m_reserved_c = other.m_reserved_c;
  if (n > 8)
    m_nmea_port_index = other.m_nmea_port_index;
  if (n > 9)
    std::memcpy(m_import_xtra_cmd, other.m_import_xtra_cmd, sizeof m_import_xtra_cmd);
  if (n > 10)
    m_uncrtn = other.m_uncrtn;
  loaded_members_ = n;
}

void LoadConfigFrom(const std::string& path, app_config& config) {
  std::ifstream in(path, std::ios::in | std::ios::binary);
  if (!in)
    return;
  // A settings file is one short line; a huge file is not one of ours.
  constexpr std::streamsize kMaxBytes = 1 << 20;
  std::string bytes(static_cast<size_t>(kMaxBytes), '\0');
  in.read(bytes.data(), kMaxBytes);
  bytes.resize(static_cast<size_t>(in.gcount()));
  LoadConfigFromBytes(bytes, config);
}

void LoadConfigFromBytes(const std::string& bytes, app_config& config) {
  try {
    std::istringstream probe(bytes);
    if (HeaderAcceptable(probe)) {
      std::istringstream in(bytes);
      // The members are read into a copy first: a member whose token is not
      // a number would otherwise be left at 0 by the stream, where it must
      // keep its value. Whole members are then taken over, in archive order.
      app_config staged = config;
      staged.loaded_members_ = 0;
      try {
        boost::archive::text_iarchive ar(in, boost::archive::no_header);
        std::string signature;
        unsigned int version = 0;
        ar >> signature;
        ar >> version;
        ar >> staged;
      } catch (...) {
        // A partly read file leaves a mix of file values and defaults.
      }
      config.CopyMembersFrom(staged, staged.loaded_members_);
    }
  } catch (...) {
  }
  // The command always ends within its 100 bytes, whatever the file said.
  config.m_import_xtra_cmd[sizeof config.m_import_xtra_cmd - 1] = '\0';
}

bool SaveConfigTo(const std::string& path, const app_config& config) {
  std::ofstream out(path, std::ios::out | std::ios::trunc);
  if (!out)
    return false;
  try {
    {
      boost::archive::text_oarchive ar(out, boost::archive::no_header);
      const std::string signature = kArchiveSignature;
      const unsigned int version = kArchiveLibraryVersion;
      ar << signature;
      ar << version;
      ar << config;
    }
    out.flush();
  } catch (...) {
    return false;
  }
  return static_cast<bool>(out);
}

namespace {
ConfigLoad g_last_load;
}

const ConfigLoad& LastConfigLoad() {
  return g_last_load;
}

void LoadConfig() {
  g_last_load = {};
  std::error_code ec;
  g_last_load.found = std::filesystem::exists(kConfigFileName, ec);
  app_config read = g_config;
  LoadConfigFrom(kConfigFileName, read);
  g_last_load.members = read.LoadedMembers();
  g_config = read;
}

bool SaveConfig() {
  return SaveConfigTo(kConfigFileName, g_config);
}
