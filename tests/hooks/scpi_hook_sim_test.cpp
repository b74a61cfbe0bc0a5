// An SCPI hook end to end: zuvek-cli run against the built-in simulator sets
// a signal level on the stand-in instrument before each run's reset, from
// three lines of zuvek.toml; an instrument's error and a hung instrument
// fail the run or end the test as the hook's policy says.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/cli_in_temp_dir.h"
#include "tests/support/scpi_instrument.h"

namespace {

using testsupport::CliInTempDir;
using testsupport::ReadFile;

std::string SignalHook(const testsupport::ScpiInstrument& instrument, const std::string& more) {
  return "[[hook]]\nname = \"siggen\"\nat = \"before-reset\"\nscpi = \"" + instrument.Address() +
         "\"\ncommands = [\"SOUR:POW -13${ZUVEK_RUN}\", \"OUTP ON\"]\n" + more;
}

// The CSV's "result,reason" of each run.
std::vector<std::string> Results(const std::string& csv_path) {
  std::istringstream in(ReadFile(csv_path));
  std::string line;
  std::getline(in, line);
  std::vector<std::string> results;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, ',');)
      f.push_back(field);
    results.push_back(f.at(1) + "," + (f.size() > 8 ? f[8] : ""));
  }
  return results;
}

TEST(ScpiHook, EachRunsLevelReachesTheInstrumentBeforeItsReset) {
  testsupport::ScpiInstrument instrument;
  ASSERT_NE(instrument.Port(), 0) << instrument.Error();
  CliInTempDir cli;
  cli.Settings(SignalHook(instrument, ""));
  const auto r = cli.Run({"run"}, {"--restart", "cold", "--runs", "3", "--time-scale", "50"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Results(CliInTempDir::LogPath(r.out, "_runs.csv")),
            (std::vector<std::string>{"SUCC,", "SUCC,", "SUCC,"}));
  std::vector<std::string> expected;
  for (const char* run : {"1", "2", "3"})
    for (const std::string& command : {std::string("SOUR:POW -13") + run, std::string("OUTP ON")})
      expected.insert(expected.end(), {command, "*OPC?", "SYST:ERR?"});
  EXPECT_EQ(instrument.Received(), expected);
  EXPECT_EQ(instrument.Connections(), 3);
}

struct Failing {
  const char* legend;
  const char* policy;
  bool hang;  // else an error after run 2's level
  int exit_code;
  std::vector<std::string> results;
  const char* told;
};

TEST(ScpiHook, AnInstrumentsErrorOrHangActsByTheHooksPolicy) {
  const Failing cases[] = {
      {"an error fails run 2, the test goes on",
       "fail-run",
       false,
       1,
       {"SUCC,", "FAIL,hook failed: siggen", "SUCC,"},
       "failed: it stopped: the instrument at 127.0.0.1:"},
      {"a hang is ended at the time-out and ends the test",
       "end-test",
       true,
       1,
       {"SUCC,", "FAIL,hook failed: siggen"},
       "did not answer \"*OPC?\" after \"SOUR:POW -132\" within the time-out"},
  };
  for (const Failing& c : cases) {
    SCOPED_TRACE(c.legend);
    testsupport::ScpiInstrument instrument;
    ASSERT_NE(instrument.Port(), 0) << instrument.Error();
    if (c.hang)
      instrument.HangAfter("SOUR:POW -132");
    else
      instrument.ErrorAfter("SOUR:POW -132", "-222,\"Data out of range\"");
    CliInTempDir cli;
    cli.Settings(
        SignalHook(instrument, "timeout = 20\non_failure = \"" + std::string(c.policy) + "\"\n"));
    const auto r = cli.Run({"run"}, {"--restart", "hot", "--runs", "3", "--time-scale", "50"});
    EXPECT_EQ(r.code, c.exit_code) << r.err;
    EXPECT_EQ(Results(CliInTempDir::LogPath(r.out, "_runs.csv")), c.results);
    EXPECT_NE(r.err.find(c.told), std::string::npos) << r.err;
    if (!c.hang) {
      EXPECT_NE(r.err.find("-222"), std::string::npos) << r.err;
    }
    // Run 2's commands stop at the failure: "OUTP ON" is never sent for it.
    std::vector<std::string> received = instrument.Received();
    const auto level = std::find(received.begin(), received.end(), "SOUR:POW -132");
    ASSERT_NE(level, received.end());
    EXPECT_EQ(std::find(level, received.end(), "OUTP ON") == received.end(), c.hang);
    EXPECT_LT(r.seconds, 30.0);
  }
}

}  // namespace
