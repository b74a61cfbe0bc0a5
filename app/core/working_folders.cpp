#include "app/core/working_folders.h"

#include <cstdio>

#include "platform/folders.h"

std::string FormatDayFolderName(const platform::LocalTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
  return buf;
}

void WorkingFolders::Init(const platform::Clock& clock) {
  InitIn(platform::GetProgramFolder(), clock);
}

void WorkingFolders::InitIn(const std::string& exe_dir, const platform::Clock& clock) {
  m_strExeDir = exe_dir;
  base_dir_ = exe_dir;
  // An empty program folder means "relative to the working directory".
  const bool writable =
      exe_dir.empty() ? platform::IsDirectoryWritable(".") : platform::IsDirectoryWritable(exe_dir);
  if (!writable) {
    std::string user = platform::UserDataFolder();
    if (!user.empty())
      base_dir_ = user;
  }
  m_strDayDir = base_dir_ + FormatDayFolderName(clock.Now());
  if (!platform::DirectoryExists(m_strDayDir))
    platform::CreateDirectory(m_strDayDir);
  m_strNmeaLogDir = base_dir_ + "NMEA_LOG";
  if (!platform::DirectoryExists(m_strNmeaLogDir))
    platform::CreateDirectory(m_strNmeaLogDir);
}
