// Module profiles: the loader's verdict on good and bad texts, the bundled
// profiles, and the default profile against the command table.
#include "profiles/profile_loader.h"

#include <gtest/gtest.h>

#include "engine/at_exchange.h"
#include "profiles/bundled_profiles.h"
#include "profiles/module_commands.h"

namespace {

struct BadCase {
  const char* text;
  unsigned line;     // of the first problem
  const char* what;  // a part of its sentence
};

TEST(ProfileLoader, RefusesMistakesWithFileLineAndWhat) {
  const BadCase cases[] = {
      {"name = \"m\n", 1, ""},  // a syntax error, in toml++'s words
      {"[start]\ncommand = \"AT+GO\"\n", 1, "the profile has no name"},
      {"name = \"m\"\nfoo = 1\n[start]\ncommand = \"A\"\n", 2, "unknown key \"foo\""},
      {"name = \"m\"\n[start]\ncommand = \"A\"\n[stop]\nreply = \"OK\"\n", 4,
       "[stop] has no command"},
      {"name = \"m\"\n[start]\ncommand = \"A\"\ntimeout = 0\n", 4,
       "start.timeout must be a whole number from 1 to 3600"},
      {"name = \"m\"\n[start]\ncommand = \"A\"\nattempts = \"3\"\n", 4,
       "start.attempts must be a whole number from 1 to 100"},
      {"name = \"m\"\n[start]\ncommand = \"  \"\n", 3, "start.command is empty"},
      {"name = \"m\"\n[start]\ncommand = \"A\"\nrepyl = \"OK\"\n", 4,
       "unknown key \"repyl\" in [start]"},
      {"name = \"m\"\n[start.cold]\ncommand = \"A\"\n[start.hot]\ncommand = \"B\"\n", 1,
       "no start command for a warm start"},
      {"name = \"m\"\n[query]\ncommand = \"AT+Q?\"\non = \"+Q: 1\"\n[start]\ncommand = \"A\"\n", 2,
       "[query] has no off"},
      {"name = \"m\"\n[query]\ncommand = \"AT+Q?\"\non = \"1\"\noff = \"1\"\n[start]\ncommand = "
       "\"A\"\n",
       2, "query.on and query.off must be two different texts"},
      {"name = \"m\"\n[start]\ncommand = \"A\"\n[clock]\ncommand = \"AT+CCLK?\"\n[xtra_time]\n"
       "command = \"AT+T={time},{uncertainty}\"\n",
       7, "unknown placeholder {uncertainty}"},
      {"name = \"m\"\n[start]\ncommand = \"A\"\n[xtra_time]\ncommand = \"AT+T={time}\"\n", 4,
       "[xtra_time] needs a [clock] step"},
      {"name = \"m\"\n[start]\ncommand = \"A\"\n[clock]\ncommand = \"AT+CCLK?\"\ntime_rule = "
       "\"iso\"\n",
       6, "clock.time_rule must be \"cclk\" or \"quoted\""},
      {"name = \"m\"\n[start]\ncommand = \"A\"\n[identity]\ncommands = \"ATI\"\n", 5,
       "identity needs commands = [\"ATI\", ...]"},
      {"name = \"m\"\n[start]\ncommand = \"A\"\n[setup]\ncommand = \"AT+N\"\n", 4,
       "setup must be tables: one [[setup]]"},
      {"name = \"m\"\n[start]\ncommand = \"A\"\n[delete.lukewarm]\ncommand = \"AT+D\"\n", 4,
       "unknown key \"delete.lukewarm\""},
      {"name = \"m\"\nstart = \"AT+GO\"\n", 2, "start must be a table"},
      {"name = \"m\"\n[start]\ncommand = \"A\"\nbusy = \"+CME ERROR: 505\"\n", 4,
       "start.busy must be a list of quoted, non-empty texts"},
      {"name = \"m\"\n[start]\ncommand = \"A\"\nbusy = [\"+CME ERROR: 505\", \"\"]\n", 4,
       "start.busy must be a list of quoted, non-empty texts"},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.text);
    const ProfileLoad load = ParseProfile(c.text, "mine.toml");
    EXPECT_FALSE(load.profile.has_value());
    ASSERT_FALSE(load.problems.empty());
    const std::string& first = load.problems.front();
    EXPECT_EQ(first.rfind("mine.toml:" + std::to_string(c.line) + ": ", 0), 0u) << first;
    EXPECT_NE(first.find(c.what), std::string::npos) << first;
  }
  // Every key of a step is checked, also after an empty command.
  const ProfileLoad both =
      ParseProfile("name = \"m\"\n[start]\ncommand = \"\"\ntimeout = -5\n", "m");
  ASSERT_EQ(both.problems.size(), 2u);
  EXPECT_EQ(both.problems[0], "m:3: start.command is empty");
  EXPECT_EQ(both.problems[1], "m:4: start.timeout must be a whole number from 1 to 3600");
}

TEST(ProfileLoader, AStepTakesTheDefaultsTimeOutsUnlessItSetsThem) {
  const ProfileLoad load = ParseProfile(
      "name = \"m\"\n"
      "[delete.cold]\ncommand = \"AT+DEL\"\n"
      "[xtra_data]\ncommand = \"AT+XD\"\nreply = \"+XD: 0\"\ntimeout = 60\n"
      "[start]\ncommand = \"AT+GO\"\nattempts = 2\nbusy = [\"+CME ERROR: 505\"]\n"
      "[start.hot]\ncommand = \"AT+HOT\\r\\n\"\n"
      "[[setup]]\ncommand = \"AT+NMEA=1\"\n"
      "[identity]\ncommands = [\"ATI\", \"AT+CGMR\"]\n",
      "mine.toml");
  ASSERT_TRUE(load.profile) << (load.problems.empty() ? "" : load.problems.front());
  const ModuleProfile& p = *load.profile;
  EXPECT_FALSE(p.query.Present());
  EXPECT_FALSE(p.stop.Present());
  EXPECT_FALSE(p.DeleteFor(RESTART_HOT).Present());
  EXPECT_EQ(p.DeleteFor(RESTART_COLD).command, "AT+DEL\r\n");
  EXPECT_EQ(p.DeleteFor(RESTART_COLD).attempts, 11);
  EXPECT_EQ(p.DeleteFor(RESTART_COLD).timeout_s, 10u);
  EXPECT_EQ(p.xtra_data.reply, "+XD: 0");
  EXPECT_EQ(p.xtra_data.timeout_s, 60u);
  EXPECT_EQ(p.xtra_data.attempts, 3);
  EXPECT_EQ(p.StartFor(RESTART_COLD).command, "AT+GO\r\n");
  EXPECT_EQ(p.StartFor(RESTART_HOT).command, "AT+HOT\r\n");  // holds its line end already
  EXPECT_EQ(p.StartFor(RESTART_HOT).attempts, 2);            // from [start]
  EXPECT_EQ(p.StartFor(RESTART_COLD).busy, (std::vector<std::string>{"+CME ERROR: 505"}));
  EXPECT_TRUE(p.StartFor(RESTART_COLD).IsBusy("+CME ERROR: 505"));
  EXPECT_FALSE(p.StartFor(RESTART_COLD).IsBusy("+CME ERROR: 50"));
  EXPECT_TRUE(p.DeleteFor(RESTART_COLD).busy.empty());
  ASSERT_EQ(p.setup.size(), 1u);
  EXPECT_EQ(p.setup[0].command, "AT+NMEA=1\r\n");
  EXPECT_EQ(p.identity, (std::vector<std::string>{"ATI\r\n", "AT+CGMR\r\n"}));
}

TEST(ProfileLoader, TheDefaultProfileIsTheCommandTable) {
  // The texts the module's manual gives, written here apart from the code.
  const ModuleProfile& d = DefaultProfile();
  // By restart type: hot, cold, warm.
  const char* const kDeleteCommands[] = {"AT+WGPSDEL=1\r\n", "AT+WGPSDEL=0\r\n",
                                         "AT+WGPSDEL=2\r\n"};
  EXPECT_EQ(d.query.command, std::string("AT+WGPS?\r\n"));
  EXPECT_EQ(d.query.attempts, 2);
  EXPECT_EQ(d.reply_on, std::string("+WGPS: 1"));
  EXPECT_EQ(d.reply_off, std::string("+WGPS: 0"));
  EXPECT_EQ(d.stop.command, std::string("AT+WGPSEND\r\n"));
  EXPECT_EQ(d.stop.attempts, 7);
  for (int type : {RESTART_HOT, RESTART_COLD, RESTART_WARM}) {
    EXPECT_EQ(d.DeleteFor(type).command, kDeleteCommands[type]);
    EXPECT_EQ(d.DeleteFor(type).attempts, 11);
    EXPECT_EQ(d.StartFor(type).command, std::string("AT+WGPS=1\r\n"));
  }
  EXPECT_EQ(d.clock.command, std::string("AT+CCLK?\r\n"));
  EXPECT_EQ(d.clock_marker, std::string("+CCLK:"));
  EXPECT_EQ(FillXtraTime(d.xtra_time.command, "2024/01/15,08:30:00", 3500),
            "AT+WGPSXTRATIME=0,\"2024/01/15,08:30:00\",1,1,3500\r\n");
  EXPECT_EQ(FillXtraTime(d.xtra_time.command, "", 0), "AT+WGPSXTRATIME=0,\"\",1,1,0\r\n");
  const std::pair<const char*, const char*> data[] = {
      {"", "AT+WGPSXTRADATA=\"RAM:xtra2.bin\"\r\n"},
      {"AT+WGPSXTRADATA=\"RAM:xtra2.bin\"", "AT+WGPSXTRADATA=\"RAM:xtra2.bin\"\r\n"},
      {"AT+X", "AT+X\r\n"},
      {"AT+X\r\nAT+Y", "AT+X\r\nAT+Y"}};  // holds one already
  for (const auto& [configured, sent] : data)
    EXPECT_EQ(XtraDataCommand(d, configured), sent) << configured;
  EXPECT_EQ(d.xtra_data.timeout_s, 20u);
  EXPECT_EQ(d.xtra_data.attempts, 3);
  for (const ProfileStep* s : {&d.query, &d.stop, &d.clock, &d.xtra_time, &d.start})
    EXPECT_EQ(s->reply, std::string("OK"));
  EXPECT_TRUE(d.setup.empty());
  EXPECT_TRUE(d.identity.empty());
  // The shipped text says the same.
  const BundledProfile* text = FindBundledProfile("default");
  ASSERT_NE(text, nullptr);
  const ProfileLoad load = ParseProfile(text->text, "default.toml");
  ASSERT_TRUE(load.profile) << load.problems.front();
  EXPECT_EQ(*load.profile, d);
  EXPECT_EQ(ResolveProfile("default").profile, d);
}

TEST(ProfileLoader, EveryBundledProfileLoadsUnderItsOwnName) {
  ASSERT_GE(BundledProfiles().size(), 6u);
  EXPECT_STREQ(BundledProfiles().front().name, "default");
  for (const BundledProfile& b : BundledProfiles()) {
    SCOPED_TRACE(b.name);
    const ProfileLoad load = ResolveProfile(b.name);
    ASSERT_TRUE(load.profile) << load.problems.front();
    EXPECT_EQ(load.profile->name, b.name);
    EXPECT_FALSE(load.profile->description.empty());
    for (int type : {RESTART_HOT, RESTART_COLD, RESTART_WARM})
      EXPECT_TRUE(load.profile->StartFor(type).Present());
  }
  const ModuleProfile p = *ResolveProfile("sim7600").profile;
  EXPECT_EQ(p.StartFor(RESTART_COLD).command, "AT+CGPSCOLD\r\n");
  EXPECT_EQ(p.StartFor(RESTART_HOT).command, "AT+CGPSHOT\r\n");
  EXPECT_EQ(p.StartFor(RESTART_WARM).command, "AT+CGPS=1,1\r\n");
}

TEST(ProfileLoader, AnUnknownNameThatIsNoFileListsTheBundledOnes) {
  const ProfileLoad load = ResolveProfile("sim9999");
  EXPECT_FALSE(load.profile);
  ASSERT_EQ(load.problems.size(), 1u);
  EXPECT_NE(load.problems[0].find("sim9999: no bundled profile of that name and no such file"),
            std::string::npos);
  EXPECT_NE(load.problems[0].find("sim7600"), std::string::npos);
}

TEST(ProfileLoader, TheQuotedClockRuleTakesTheTextBetweenTheQuotes) {
  const ClockCapture quoted{"+QLTS:", false};
  std::string time = "old";
  EXPECT_TRUE(CaptureClock("+QLTS: \"2024/01/15,08:30:00+04,0\"\r\n", time, quoted));
  EXPECT_EQ(time, "2024/01/15,08:30:00+04,0");
  EXPECT_FALSE(CaptureClock("+CCLK: \"24/01/15,08:30:00+04\"\r\n", time, quoted));
  EXPECT_EQ(time, "2024/01/15,08:30:00+04,0");
}

}  // namespace
