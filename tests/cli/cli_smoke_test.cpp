#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct Result {
  int code;
  std::string out;
};

// Runs zuvek-cli with the arguments; collects standard output and error.
Result RunCli(const std::string& args) {
  std::string cmd = std::string(ZUVEK_CLI_PATH) + " " + args + " 2>&1";
  Result r{-1, {}};
  FILE* p = popen(cmd.c_str(), "r");
  if (!p)
    return r;
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
    r.out.append(buf.data(), n);
  int status = pclose(p);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(Cli, HelpListsUsageAndExitCodes) {
  auto r = RunCli("--help");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("zuvek-cli"), std::string::npos);
  EXPECT_NE(r.out.find("Exit codes"), std::string::npos);
}

TEST(Cli, VersionPrintsTheVersion) {
  auto r = RunCli("--version");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find(ZUVEK_VERSION), std::string::npos);
}

TEST(Cli, UnknownCommandIsAUsageError) {
  auto r = RunCli("frobnicate");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.out.find("unknown command 'frobnicate'"), std::string::npos);
}

TEST(Cli, UnknownOptionIsAUsageError) {
  auto r = RunCli("--no-such-option");
  EXPECT_EQ(r.code, 2);
}

}  // namespace
