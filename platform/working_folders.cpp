#include "platform/working_folders.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/folders.h"

std::string FormatDayFolderName(const platform::LocalTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", t.year, t.month, t.day);
  return buf;
}

void WorkingFolders::Init(const platform::Clock& clock) {
  InitIn(platform::GetProgramFolder(), clock);
}

bool IsInstalledProgramFolder(const std::string& exe_dir) {
  return exe_dir.rfind("/usr/", 0) == 0;
}

bool LogsGoBesideProgram(const std::string& exe_dir) {
  // An empty program folder means "relative to the working directory".
  if (exe_dir.empty())
    return platform::IsDirectoryWritable(".");
  return !IsInstalledProgramFolder(exe_dir) && platform::IsDirectoryWritable(exe_dir);
}

void WorkingFolders::InitIn(const std::string& exe_dir, const platform::Clock& clock) {
  m_strExeDir = exe_dir;
  base_dir_ = exe_dir;
  if (!LogsGoBesideProgram(exe_dir)) {
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

std::string FolderWriteProblem(const std::string& what, const std::string& dir) {
  const int err = platform::DirectoryWriteError(dir);
  if (err == 0)
    return {};
  const std::string head = what + " " + dir + " cannot be written: ";
  switch (err) {
    case ENOENT:
      return head +
             "it does not exist and could not be made. Run the program from a folder "
             "you may write in.";
    case ENOTDIR:
      return head + "a file of that name is in the way. Move the file away.";
    case EACCES:
    case EPERM:
      return head + "you may not write in it. Fix its rights (ls -ld " + dir +
             " shows them) or run the program from a folder of your own.";
    case EROFS:
      return head +
             "its file system is read-only. Run the program from a folder on a "
             "writable disk.";
    case ENOSPC:
    case EDQUOT:
      return head +
             "the disk is full. Free space on that disk or run the program from "
             "another folder.";
    default:
      return head + std::strerror(err) + ".";
  }
}

std::vector<std::string> WorkingFolders::Problems() const {
  std::vector<std::string> out;
  for (const auto& [what, dir] :
       {std::pair<std::string, std::string>{"The day folder", m_strDayDir},
        {"The NMEA log folder", m_strNmeaLogDir}}) {
    std::string text = FolderWriteProblem(what, dir);
    if (!text.empty())
      out.push_back(std::move(text));
  }
  return out;
}

void WorkingFolders::UseTestFolder(const std::string& dir) {
  std::error_code ec;
  const std::string absolute = std::filesystem::absolute(dir, ec).lexically_normal().string();
  m_strDayDir = ec ? dir : absolute;
  m_strNmeaLogDir = m_strDayDir + "/NMEA_LOG";
  std::filesystem::create_directories(m_strNmeaLogDir, ec);
}
