// The settings record and its file, TTFF.cfg.
//
// TTFF.cfg is a Boost text archive that installations of this tool exchange:
// one line of 116 tokens for the default record, written with archive
// library version 10 whatever Boost version builds the program.
#pragma once

#include <cstdint>
#include <string>

#include <boost/serialization/access.hpp>

class app_config {
 public:
  enum reserved_kind : std::int32_t { kReservedNone = 0 };

  app_config();

  std::int32_t GetIntervalSleep() const { return static_cast<std::int32_t>(m_interval_sleep); }
  std::int32_t GetTimeout() const { return static_cast<std::int32_t>(m_timeout); }
  std::int32_t GetUncrtn() const { return static_cast<std::int32_t>(m_uncrtn); }
  void SetIntervalSleep(std::int32_t v) { m_interval_sleep = static_cast<std::uint32_t>(v); }
  void SetTimeout(std::int32_t v) { m_timeout = static_cast<std::uint32_t>(v); }
  void SetUncrtn(std::int32_t v) { m_uncrtn = static_cast<std::uint32_t>(v); }

  std::string GetImportXtraCmd() const;
  // Copies at most 99 characters; byte 99 is never written.
  void SetImportXtraCmd(const std::string& cmd);

  // The raw command bytes, for tests and the loader's repair.
  const char* ImportXtraCmdBytes() const { return m_import_xtra_cmd; }

  // The archive order of the members differs from their declaration order.
  template <class Archive>
  void serialize(Archive& ar, const unsigned int /*version*/) {
    Member(ar, m_interval_sleep);
    Member(ar, m_timeout);
    Member(ar, m_at_port_index);
    Member(ar, m_at_baud_index);
    Member(ar, m_chip_index);
    Member(ar, m_reserved_a);
    Member(ar, m_reserved_b);
    Member(ar, m_reserved_c);
    Member(ar, m_nmea_port_index);
    Member(ar, m_import_xtra_cmd);
    Member(ar, m_uncrtn);
  }

  // Number of members, in archive order, that the last load read whole.
  int LoadedMembers() const { return loaded_members_; }
  // Copies the first n members in archive order from other.
  void CopyMembersFrom(const app_config& other, int n);

  std::uint32_t m_interval_sleep;
  std::uint32_t m_timeout;
  std::uint32_t m_uncrtn;
  char m_import_xtra_cmd[100];
  std::int32_t m_at_port_index;
  std::int32_t m_at_baud_index;
  std::int32_t m_chip_index;
  reserved_kind m_reserved_a;
  std::int32_t m_reserved_b;
  std::int32_t m_reserved_c;
  std::int32_t m_nmea_port_index;

 private:
  friend class boost::serialization::access;
  friend void LoadConfigFromBytes(const std::string& bytes, app_config& config);
  template <class Archive, class T>
  void Member(Archive& ar, T& member) {
    ar& member;
    ++loaded_members_;
  }
  int loaded_members_ = 0;
};

inline constexpr const char* kDefaultImportXtraCmd = "AT+WGPSXTRADATA=\"RAM:xtra2.bin\"";
inline constexpr const char* kConfigFileName = "TTFF.cfg";

extern app_config g_config;

// The members TTFF.cfg holds, in archive order.
inline constexpr int kConfigMembers = 11;

// What the last LoadConfig found: the file, and how many of its members read.
struct ConfigLoad {
  bool found = false;
  int members = 0;
};
const ConfigLoad& LastConfigLoad();

// Fills g_config from TTFF.cfg in the current working directory. Never fails
// visibly: what was read before a fault stays, the rest keeps its defaults.
// A header that names an archive version above 10, or an object written with
// tracking on, is refused whole (all defaults).
void LoadConfig();
// Writes g_config to TTFF.cfg in the current working directory. Returns false
// when the file could not be written completely.
bool SaveConfig();

// The same, on an explicit path and record (for tests and the CLI).
void LoadConfigFrom(const std::string& path, app_config& config);
// The same on the bytes of a file.
void LoadConfigFromBytes(const std::string& bytes, app_config& config);
bool SaveConfigTo(const std::string& path, const app_config& config);
