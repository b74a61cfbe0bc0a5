#include <gtest/gtest.h>

#include <sys/wait.h>
#include "tests/support/run_shell.h"
#include "tests/support/test_paths.h"

#include <array>
#include <cstdio>
#include <string>

namespace {

// Runs zuvek-cli with the arguments; collects standard output and error.
testsupport::ShellResult RunCli(const std::string& args) {
  return testsupport::RunShell(std::string(testsupport::kCliPath) + " " + args);
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
