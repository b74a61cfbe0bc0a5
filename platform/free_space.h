// How much room a folder's file system has left.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// The bytes an unprivileged user may still write on the file system that
// holds path (statvfs: f_bavail × f_frsize); -1 when it cannot be read.
std::int64_t FreeBytes(const std::string& path);

// The seam for tests: when set, it answers FreeBytes in place of the file
// system. Returns the one it replaces.
using FreeBytesFake = std::function<std::int64_t(const std::string& path)>;
FreeBytesFake SetFreeBytesFake(FreeBytesFake fake);

// The mount point of the file system that holds path (the nearest existing
// folder of it when path does not exist yet); path itself when unknown.
std::string MountPointOf(const std::string& path);

// True when both paths lie on the same file system.
bool SameFileSystem(const std::string& a, const std::string& b);

}  // namespace platform
