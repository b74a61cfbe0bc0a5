// Runs a shell command line and collects its exit code and its standard
// output and error, for tests of the command-line tools.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace testsupport {

struct ShellResult {
  int code = -1;
  std::string out;  // standard output and error together
};

inline ShellResult RunShell(const std::string& command) {
  ShellResult r;
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p)
    return r;
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
    r.out.append(buf.data(), n);
  const int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace testsupport
