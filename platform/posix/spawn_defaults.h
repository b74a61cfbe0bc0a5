// The attributes every child this program spawns starts with: the default
// signal dispositions and no blocked signals, whatever this process set for
// itself; `flags` adds more (a process group of its own).
#pragma once

#include <signal.h>
#include <spawn.h>

namespace platform {

inline void InitSpawnDefaults(posix_spawnattr_t* attr, short flags = 0) {
  posix_spawnattr_init(attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(attr, &none);
  posix_spawnattr_setsigdefault(attr, &all);
  posix_spawnattr_setflags(
      attr, static_cast<short>(POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | flags));
}

}  // namespace platform
