#include "platform/file_writes.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/free_space.h"

namespace platform {

namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::FILE*, std::string> open;  // tracked stream -> path
  std::vector<WriteFailure> failures;      // first failure of each path
  WriteFailureListener listener;
  // The fault keeps its own state across calls: called in place, one at a time.
  std::mutex fault_mutex;
  WriteFault fault;
};

Registry& R() {
  static Registry* registry = new Registry;  // lives until the very end
  return *registry;
}

std::string PathOf(std::FILE* fp) {
  std::lock_guard<std::mutex> lock(R().mutex);
  auto it = R().open.find(fp);
  return it == R().open.end() ? std::string() : it->second;
}

int Fault(const std::string& path, std::size_t size) {
  std::lock_guard<std::mutex> lock(R().fault_mutex);
  return R().fault ? R().fault(path, size) : 0;
}

// Records a failure of path; the first one of each path goes to the
// listener, outside the lock.
void Note(const std::string& path, int error, bool whole_file = false) {
  if (path.empty())
    return;
  WriteFailureListener listener;
  WriteFailure failure{path, error, whole_file};
  {
    std::lock_guard<std::mutex> lock(R().mutex);
    auto& all = R().failures;
    if (std::any_of(all.begin(), all.end(), [&](const WriteFailure& f) { return f.path == path; }))
      return;
    all.push_back(failure);
    listener = R().listener;
  }
  if (listener)
    listener(failure);
}

int ErrnoOr(int fallback) {
  return errno != 0 ? errno : fallback;
}

}  // namespace

void TrackFile(std::FILE* fp, const std::string& path) {
  if (!fp)
    return;
  std::lock_guard<std::mutex> lock(R().mutex);
  R().open[fp] = path;
}

int WriteAndFlush(std::FILE* fp, const void* data, std::size_t size) {
  if (!fp)
    return EBADF;
  if (const int e = Fault(PathOf(fp), size))
    return e;
  errno = 0;
  int error = std::fwrite(data, 1, size, fp) == size ? 0 : ErrnoOr(EIO);
  errno = 0;
  if (std::fflush(fp) != 0 && error == 0)
    error = ErrnoOr(EIO);
  return error;
}

void NoteWriteError(std::FILE* fp, int error) {
  if (error != 0)
    Note(PathOf(fp), error);
}

bool CheckedWrite(std::FILE* fp, const void* data, std::size_t size) {
  if (!fp)
    return false;
  const int error = WriteAndFlush(fp, data, size);
  NoteWriteError(fp, error);
  return error == 0;
}

bool CloseTrackedFile(std::FILE* fp) {
  if (!fp)
    return true;
  const std::string path = PathOf(fp);
  {
    std::lock_guard<std::mutex> lock(R().mutex);
    R().open.erase(fp);
  }
  errno = 0;
  if (std::fclose(fp) != 0) {
    Note(path, ErrnoOr(EIO));
    return false;
  }
  return true;
}

int ReplaceFile(const std::string& path, const std::string& bytes) {
  const std::string tmp = path + ".tmp";
  int error = Fault(path, bytes.size());
  std::FILE* fp = nullptr;
  if (error == 0) {
    errno = 0;
    fp = std::fopen(tmp.c_str(), "wb");
    if (!fp)
      error = ErrnoOr(EIO);
  }
  if (fp) {
    error = WriteAndFlush(fp, bytes.data(), bytes.size());
    errno = 0;
    if (error == 0 && fsync(fileno(fp)) != 0)
      error = ErrnoOr(EIO);
    errno = 0;
    if (std::fclose(fp) != 0 && error == 0)
      error = ErrnoOr(EIO);
  }
  errno = 0;
  if (error == 0 && std::rename(tmp.c_str(), path.c_str()) != 0)
    error = ErrnoOr(EIO);
  if (error != 0) {
    std::remove(tmp.c_str());
    // A folder that is missing or not ours is a file that cannot be opened,
    // told where the folders are made; a lost write is told here.
    if (fp || error == ENOSPC || error == EDQUOT || error == EIO)
      Note(path, error, true);
  }
  return error;
}

std::vector<std::string> IncompleteOpenFiles() {
  std::lock_guard<std::mutex> lock(R().mutex);
  std::vector<std::string> paths;
  for (const auto& f : R().failures) {
    for (const auto& [fp, path] : R().open) {
      if (path == f.path) {
        paths.push_back(path);
        break;
      }
    }
  }
  return paths;
}

std::vector<WriteFailure> WriteFailures() {
  std::lock_guard<std::mutex> lock(R().mutex);
  return R().failures;
}

void ResetWriteFailures() {
  std::lock_guard<std::mutex> lock(R().mutex);
  R().failures.clear();
}

WriteFailureListener SetWriteFailureListener(WriteFailureListener listener) {
  std::lock_guard<std::mutex> lock(R().mutex);
  std::swap(R().listener, listener);
  return listener;
}

WriteFault SetWriteFault(WriteFault fault) {
  std::lock_guard<std::mutex> lock(R().fault_mutex);
  std::swap(R().fault, fault);
  return fault;
}

std::string WriteFailureSentence(const WriteFailure& failure) {
  std::string abs = failure.path;
  if (abs.empty() || abs.front() != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd))
      abs = std::string(cwd) + "/" + abs;
  }
  const auto slash = abs.rfind('/');
  const std::string folder = slash == 0 ? "/" : abs.substr(0, slash);
  const std::string mount = MountPointOf(folder);
  char buf[256];
  const char* reason = strerror_r(failure.error, buf, sizeof buf);
  std::string s = "Cannot write " + abs + ": " + reason + ". ";
  const std::string where =
      mount == folder ? mount : mount + " (the file system of " + folder + ")";
  switch (failure.error) {
    case ENOSPC:
    case EDQUOT:
      s += "Free space on " + where + " or choose another folder.";
      break;
    case EROFS:
      s += where + " became read-only: check the disk, or choose another folder.";
      break;
    case EFBIG:
      s += "The file is larger than " + where + " allows: choose another folder.";
      break;
    default:
      s += "Check the disk that holds " + where + ", or choose another folder.";
      break;
  }
  s += failure.whole_file ? " The test goes on; this file keeps its last complete copy."
                          : " The test goes on; this file stays incomplete.";
  return s;
}

}  // namespace platform
