#include "platform/debug_log.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <vector>

#include "platform/file_writes.h"
#include "platform/folders.h"

std::FILE* g_fp_debug_log = nullptr;

void LogDebug(const char* message, int line) {
  const std::string stamp = platform::FormatTimestamp(platform::ProcessClock().WallNow());
  char prefix[96];
  std::snprintf(prefix, sizeof prefix, "[%s] line:%d\t\t", stamp.c_str(), line);
  // The entry is built whole, so a long message is neither cut nor split
  // between two writers.
  std::string entry = prefix;
  if (message)
    entry += message;
  WriteDebugLog(entry.data(), entry.size());
}

namespace {
std::mutex g_debug_log_mutex;
}

std::FILE* SetDebugLogStream(std::FILE* fp) {
  std::lock_guard<std::mutex> lock(g_debug_log_mutex);
  std::FILE* previous = g_fp_debug_log;
  g_fp_debug_log = fp;
  return previous;
}

bool WriteDebugLog(const char* data, std::size_t size) {
  std::FILE* fp = nullptr;
  int error = 0;
  {
    std::lock_guard<std::mutex> lock(g_debug_log_mutex);
    if (!g_fp_debug_log)
      return false;
    fp = g_fp_debug_log;
    error = platform::WriteAndFlush(fp, data, size);
  }
  // Told outside the lock: the listener may write to the debug log itself.
  platform::NoteWriteError(fp, error);
  return error == 0;
}

std::string DebugLogName(const platform::LocalTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "ZUVEK_%04d-%02d-%02d_%02d_%02d_%02d.txt", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return buf;
}

bool IsOldDebugLogName(const std::string& name) {
  // The search pattern "*.txt": the name ends in ".txt".
  if (name.size() < 4 || name.compare(name.size() - 4, 4, ".txt") != 0)
    return false;
  return name.find("ZUVEK_20") != std::string::npos;
}

std::string PrepareDebugLogIn(const std::string& program_folder, const platform::Clock& clock) {
  const std::string folder = program_folder.empty() ? std::string("./") : program_folder;
  if (DIR* dir = opendir(folder.c_str())) {
    std::vector<std::string> doomed;
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..")
        continue;
      struct stat st {};
      std::string path = folder + name;
      if (lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        continue;
      if (IsOldDebugLogName(name))
        doomed.push_back(path);
    }
    closedir(dir);
    for (const auto& path : doomed)
      unlink(path.c_str());  // a failure leaves the file
  }
  const std::string name = DebugLogName(clock.Now());
  CloseDebugLog();
  std::FILE* fp = std::fopen(name.c_str(), "w");
  // Named in full when a write to it fails.
  char cwd[4096];
  platform::TrackFile(fp, getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + name : name);
  SetDebugLogStream(fp);
  return fp ? name : std::string();
}

std::string PrepareDebugLog() {
  return PrepareDebugLogIn(platform::GetProgramFolder(), platform::ProcessClock());
}

void OpenDebugLogIn(const std::string& folder, const platform::Clock& clock) {
  const std::string path = folder + "/" + DebugLogName(clock.Now());
  std::FILE* fp = std::fopen(path.c_str(), "w");
  platform::TrackFile(fp, path);
  CloseDebugLog();
  SetDebugLogStream(fp);
}

void CloseDebugLog() {
  platform::CloseTrackedFile(SetDebugLogStream(nullptr));
}
