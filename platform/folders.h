// The program's own folder and the folder operations that start-up needs.
#pragma once

#include <string>

namespace platform {

// Path separator of the platform, as a string ("/" here).
inline constexpr char kPathSeparator = '/';

// The folder of the running program file, with its trailing separator.
// Empty if the program's path cannot be read.
std::string GetProgramFolder();

// True only if the exact path names an existing directory.
bool DirectoryExists(const std::string& path);

// Creates one directory; true if it was created. An existing entry of the
// same name (file or directory) makes it return false.
bool CreateDirectory(const std::string& path);

// True if files can be created in the directory.
bool IsDirectoryWritable(const std::string& path);
// Why no file can be created in the directory: 0 when one can, else the
// errno of the failure (ENOENT, ENOTDIR, EACCES, EROFS, ENOSPC, ...).
int DirectoryWriteError(const std::string& path);

// The per-user data folder of the program ($XDG_DATA_HOME/zuvek, by default
// ~/.local/share/zuvek), with its trailing separator; created (with its
// parents) when missing. Empty when no such folder can be made.
std::string UserDataFolder();
// The same folder's path without making it (a reader that finds nothing
// there leaves nothing behind).
std::string UserDataFolderPath();

}  // namespace platform
