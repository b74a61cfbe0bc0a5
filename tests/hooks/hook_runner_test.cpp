// An SCPI hook's commands with the moment's values put in: each "${NAME}"
// once, also when a value holds a name itself.
#include "hooks/hook_runner.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "tests/support/scpi_instrument.h"

namespace {

TEST(HookRunner, AnScpiHookGetsEachValueOnceEvenAValueThatNamesItself) {
  testsupport::ScpiInstrument instrument;
  hooks::Hook hook;
  hook.name = "${ZUVEK_HOOK}";  // the hook's name is ZUVEK_HOOK's value
  hook.moment = hooks::Moment::BeforeReset;
  hook.scpi = instrument.Address();
  hook.scpi_commands = {"SOUR:POW -13${ZUVEK_RUN}", "SYST:TEXT '${ZUVEK_HOOK}' ${ZUVEK_X}"};
  hook.timeout_s = 5;
  const std::vector<std::string> environment{"ZUVEK_RUN=2", "ZUVEK_HOOK=${ZUVEK_HOOK}x",
                                             "ZUVEK_X=${ZUVEK_RUN}"};
  platform::RealClock clock;
  const hooks::HookOutcome out = hooks::RunHook(hook, environment, clock, [] { return false; });
  ASSERT_TRUE(out.ok) << out.failure;
  const std::vector<std::string> expected{
      "SOUR:POW -132", "*OPC?",    "SYST:ERR?", "SYST:TEXT '${ZUVEK_HOOK}x' ${ZUVEK_RUN}",
      "*OPC?",         "SYST:ERR?"};
  EXPECT_EQ(instrument.Received(), expected);
}

}  // namespace
