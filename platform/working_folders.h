// The program's working folders: the day folder and the NMEA log folder
// beside the program, computed once at start.
#pragma once

#include <string>
#include <vector>

#include "platform/clock.h"

class WorkingFolders {
 public:
  // Computes the folders from the program folder and the clock's local date,
  // and creates those that are missing. When the program folder cannot be
  // written, or is an installed program's (under /usr), the per-user data
  // folder takes its place so that no log is lost.
  void Init(const platform::Clock& clock);
  // The same with an explicit program folder (with its trailing separator).
  void InitIn(const std::string& exe_dir, const platform::Clock& clock);

  // A folder of the test's own instead of the day folder (a module of a
  // bench), with the continuous NMEA log in DIR/NMEA_LOG; created.
  void UseTestFolder(const std::string& dir);

  // The folder of the program file, with its trailing separator.
  const std::string& ExeDir() const { return m_strExeDir; }
  // The folder the logs go beside: ExeDir, or the per-user data folder.
  const std::string& BaseDir() const { return base_dir_; }
  std::string GetDayDir() const { return m_strDayDir; }
  std::string GetNmeaLogDir() const { return m_strNmeaLogDir; }
  // True when the program folder was not writable and BaseDir moved.
  bool UsesUserDataFolder() const { return base_dir_ != m_strExeDir; }
  // One sentence per log folder that cannot be written (which, why, what to
  // do); empty when both can.
  std::vector<std::string> Problems() const;

  std::string m_strExeDir;
  std::string m_strDayDir;
  std::string m_strNmeaLogDir;

 private:
  std::string base_dir_;
};

// A program that a package installed (under /usr: /usr/bin, /usr/local/bin)
// keeps its logs out of the system's folders, also when root, who may write
// there, runs it: what the package manager does not know of, it cannot remove.
bool IsInstalledProgramFolder(const std::string& exe_dir);
// True when the logs go beside the program: its folder (with its trailing
// separator; empty for the working directory) can be written and is not an
// installed program's.
bool LogsGoBesideProgram(const std::string& exe_dir);

// The sentence for a folder that cannot be written, `what` naming it ("The
// day folder"); empty when files can be created in it.
std::string FolderWriteProblem(const std::string& what, const std::string& dir);

// Formats the day folder's name, "%04d-%02d-%02d".
std::string FormatDayFolderName(const platform::LocalTime& t);
