// The simulated module speaking a profile: every command of every bundled
// profile gets the reply its step waits for and the action a module of that
// family takes; commands of other families are answered "ERROR".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "profiles/bundled_profiles.h"
#include "profiles/profile_loader.h"
#include "sim/at_dialect.h"

namespace {

const platform::LocalTime kDialectTime{2024, 1, 15, 8, 30, 0, 0};

ModuleProfile Load(const std::string& name) {
  const ProfileLoad load = ResolveProfile(name);
  EXPECT_TRUE(load.profile) << name;
  return load.profile ? *load.profile : DefaultProfile();
}

std::string Joined(const sim::AtReply& reply) {
  std::string text;
  for (const std::string& line : reply.lines)
    text += line;
  return text;
}

sim::AtReply Ask(const sim::AtDialect& dialect, const std::string& command, bool on = false) {
  return dialect.Answer(CommandName(command), on, kDialectTime, 60);
}

TEST(SimDialect, EveryBundledProfileIsAnsweredInItsOwnDialect) {
  for (const BundledProfile& b : BundledProfiles()) {
    SCOPED_TRACE(b.name);
    const ModuleProfile p = Load(b.name);
    const sim::AtDialect dialect(p);
    EXPECT_TRUE(dialect.IsQuery(CommandName(p.query.command)));
    EXPECT_EQ(Joined(Ask(dialect, p.query.command, true)), p.reply_on + "\r\nOK\r\n");
    EXPECT_EQ(Joined(Ask(dialect, p.query.command, false)), p.reply_off + "\r\nOK\r\n");
    EXPECT_EQ(Ask(dialect, p.stop.command).action, sim::AtAction::kStop);

    // Each restart type: the deletes and start the run sends leave the
    // receiver starting that type, or a hot start where the family has no
    // command of its own for it.
    for (int type = 0; type < 3; ++type) {
      int prepared = 0;
      const ProfileStep& del = p.DeleteFor(type);
      if (del.Present()) {
        const sim::AtReply reply = Ask(dialect, del.command);
        EXPECT_NE(Joined(reply).find(del.reply), std::string::npos) << Joined(reply);
        if (reply.action == sim::AtAction::kDelete)
          prepared = reply.restart_type;
      }
      const sim::AtReply start = Ask(dialect, p.StartFor(type).command);
      EXPECT_EQ(start.action, sim::AtAction::kStart) << p.StartFor(type).command;
      if (start.restart_type >= 0)
        prepared = start.restart_type;
      const bool own =
          p.start_for[static_cast<std::size_t>(type)].Present() ||
          (del.Present() && Ask(dialect, del.command).action == sim::AtAction::kDelete);
      EXPECT_EQ(prepared, own ? type : 0) << kRestartKeys[static_cast<std::size_t>(type)];
    }

    if (p.clock.Present()) {
      const std::string clock = Joined(Ask(dialect, p.clock.command));
      EXPECT_EQ(clock.rfind(p.clock_marker + " \"", 0), 0u) << clock;
    }
    if (p.xtra_time.Present()) {
      const std::string filled = FillXtraTime(p.xtra_time.command, "2024/01/15,08:30:00", 3500);
      EXPECT_EQ(Ask(dialect, filled).action, sim::AtAction::kXtraTime) << filled;
    }
    if (p.xtra_data.Present()) {
      const sim::AtReply reply = Ask(dialect, p.xtra_data.command);
      EXPECT_EQ(reply.action, sim::AtAction::kXtraData);
      EXPECT_NE(Joined(reply).find(p.xtra_data.reply), std::string::npos) << Joined(reply);
    }
    for (const ProfileStep& s : p.setup)
      EXPECT_EQ(Joined(Ask(dialect, s.command)), "OK\r\n") << s.command;
    for (const std::string& command : p.identity) {
      const std::string reply = Joined(Ask(dialect, command));
      EXPECT_NE(reply.find(p.name), std::string::npos) << reply;
      EXPECT_EQ(reply.substr(reply.size() - 4), "OK\r\n");
    }

    // The state queries of the other families are not this module's.
    for (const BundledProfile& other : BundledProfiles()) {
      const ModuleProfile o = Load(other.name);
      if (CommandName(o.query.command) != CommandName(p.query.command)) {
        EXPECT_EQ(Joined(Ask(dialect, o.query.command)), "ERROR\r\n") << o.query.command;
      }
    }
  }
}

TEST(SimDialect, AQuotedClockAndTheUsersOwnXtraFileAreAnswered) {
  const ProfileLoad load = ParseProfile(
      "name = \"mine\"\n[query]\ncommand = \"AT+MYGPS?\"\non = \"+MYGPS: 1\"\noff = \"+MYGPS: 0\"\n"
      "[start]\ncommand = \"AT+MYGPS=1\"\n[clock]\ncommand = \"AT+QLTS\"\ntime_in = \"+QLTS:\"\n"
      "time_rule = \"quoted\"\n[xtra_time]\ncommand = 'AT+MYTIME=\"{time}\",{uncertainty_ms}'\n"
      "[xtra_data]\ncommand = 'AT+MYXTRA=\"RAM:a.bin\"'\n",
      "mine.toml");
  ASSERT_TRUE(load.profile) << load.problems.front();
  const sim::AtDialect dialect(*load.profile);
  EXPECT_EQ(Joined(Ask(dialect, "AT+QLTS")), "+QLTS: \"2024/01/15,08:30:00\"\r\nOK\r\n");
  EXPECT_EQ(Ask(dialect, "AT+MYXTRA=\"RAM:other.bin\"").action, sim::AtAction::kXtraData);
  EXPECT_EQ(Ask(dialect, "at+mytime=\"2024/01/15,08:30:00\",3500").action,
            sim::AtAction::kXtraTime);
  EXPECT_EQ(Joined(Ask(dialect, "AT+WGPS?")), "ERROR\r\n");
  EXPECT_EQ(Ask(dialect, "AT+MYGPS=1").restart_type, -1) << "the start of every type";
}

}  // namespace
