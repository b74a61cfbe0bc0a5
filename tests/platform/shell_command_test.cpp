// A shell command's end as the hooks judge it: its own exit code, and never
// "exit 0" for a command whose end could not be collected.
#include "platform/shell_command.h"

#include <gtest/gtest.h>
#include <signal.h>

namespace {

TEST(ShellCommand, ExitCodeIsTheCommandsAndAnUncollectedEndIsNoSuccess) {
  EXPECT_EQ(platform::RunShellCommand("exit 0", {}, [] { return false; }).exit_code, 0);
  const platform::ShellRun failed =
      platform::RunShellCommand("echo \"$X\"; exit 3", {"X=said"}, [] { return false; });
  EXPECT_EQ(failed.exit_code, 3);
  EXPECT_EQ(failed.output, "said\n");

  // With SIGCHLD ignored the system reaps the shell itself: its exit code is
  // lost, and that must read as a failure, not as exit 0.
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGCHLD, &ignore, &previous);
  const platform::ShellRun lost = platform::RunShellCommand("exit 3", {}, [] { return false; });
  sigaction(SIGCHLD, &previous, nullptr);
  EXPECT_TRUE(lost.started);
  EXPECT_NE(lost.exit_code, 0);
}

}  // namespace
