// Reading a whole small file (a settings, plan, profile or bench file, a
// test's CSV) in one call.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The file's bytes as they are. Nullopt when it cannot be read: no such
// file, no permission, a folder, or a read error part way.
std::optional<std::string> ReadWholeFile(const std::string& path);

}  // namespace platform
