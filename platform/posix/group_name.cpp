#include "platform/group_name.h"

#include <grp.h>

namespace platform {

std::string GroupName(gid_t gid) {
  if (const group* g = ::getgrgid(gid))
    return g->gr_name;
  return std::to_string(gid);
}

}  // namespace platform
