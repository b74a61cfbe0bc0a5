// The name of a group of the system's user database.
#pragma once

#include <sys/types.h>

#include <string>

namespace platform {

// "dialout" for its id; the number as text when the database has no name.
std::string GroupName(gid_t gid);

}  // namespace platform
