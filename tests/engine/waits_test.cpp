// The AT waits and the fix wait on queues, in virtual time.
#include <gtest/gtest.h>

#include "engine/at_exchange.h"
#include "engine/fix_detection.h"
#include "engine/run_logs.h"
#include "fix_rules/registry.h"
#include "tests/support/temp_dir.h"

namespace {

using platform::FakeClock;

// Feeds byte chunks into a queue at given virtual times (ms after start).
struct Feeder {
  FakeClock clock{0};
  LineQueue queue;
  std::vector<std::pair<std::int64_t, std::string>> chunks;
  Feeder() {
    clock.SetSleepHook([this](std::int64_t now) {
      while (!chunks.empty() && chunks.front().first * 1000 <= now) {
        queue.Append(chunks.front().second.data(), chunks.front().second.size(), now);
        chunks.erase(chunks.begin());
      }
    });
  }
  ~Feeder() { clock.SetSleepHook({}); }
};

struct LogFile {
  testsupport::TempDir dir;
  std::FILE* fp = std::fopen(dir.file("log.txt").c_str(), "w");
  ~LogFile() {
    if (fp)
      std::fclose(fp);
  }
  std::string Text() {
    std::fflush(fp);
    return testsupport::ReadFile(dir.file("log.txt"));
  }
};

TEST(AtWaits, StateOnEmptyLineAndOkInOneBatch) {
  Feeder f;
  f.chunks = {{50, "+WGPS: 1\r\n\r\nOK\r\n"}};
  LogFile log;
  WaitContext ctx{f.clock};
  GnssStateMatcher m;
  m.m_bGnssOff = 1;
  EXPECT_EQ(WaitGnssState(f.queue, 10, m, log.fp, ctx), 0);
  EXPECT_EQ(m.m_bGnssOff, 0);
  const std::string stamp = FormatTimestamp(f.clock.Now());
  // The empty line is an entry with only the time stamp and the tab.
  EXPECT_EQ(log.Text(), stamp + "\t+WGPS: 1\r\n" + stamp + "\t\r\n" + stamp + "\tOK\r\n");
}

TEST(AtWaits, StateLineHoldingOkDoesNotEndTheWait) {
  Feeder f;
  f.chunks = {{50, "+WGPS: 0 OK\r\n"}};
  WaitContext ctx{f.clock};
  GnssStateMatcher m;
  EXPECT_EQ(WaitGnssState(f.queue, 1, m, nullptr, ctx), 1);
  EXPECT_EQ(m.m_bGnssOff, 1);
}

TEST(AtWaits, StateAndOkInTwoBatches) {
  Feeder f;
  f.chunks = {{50, "+WGPS: 0\r\n"}, {350, "OK\r\n"}};
  WaitContext ctx{f.clock};
  GnssStateMatcher m;
  EXPECT_EQ(WaitGnssState(f.queue, 10, m, nullptr, ctx), 0);
  EXPECT_EQ(m.m_bGnssOff, 1);
  EXPECT_TRUE(m.m_bStateSeen);
}

TEST(AtWaits, LinesAfterTheMatchInTheSameBatchAreDropped) {
  Feeder f;
  f.chunks = {{50, "OK\r\n+CREG: 1\r\npartial"}};
  LogFile log;
  WaitContext ctx{f.clock};
  EXPECT_EQ(WaitAtReply(f.queue, 10, ContainsMatcher("OK"), log.fp, ctx), 0);
  EXPECT_EQ(log.Text().find("CREG"), std::string::npos);
  // Neither logged nor kept: only the unfinished tail stays.
  const auto rest = f.queue.Snapshot();
  EXPECT_EQ(std::string(rest.begin(), rest.end()), "partial");
}

TEST(AtWaits, AFinalErrorEndsTheWaitAtOnceAndOtherLinesDoNot) {
  const struct {
    const char* line;
    int result;  // of the wait, with "OK" 2 s later
    const char* refusal;
    const char* legend;
  } cases[] = {
      {"ERROR\r\n", kWaitRefused, "ERROR", "the plain final error (V.250)"},
      {"+CME ERROR: 3\r\n", kWaitRefused, "+CME ERROR: 3", "a numeric mobile equipment error"},
      {"+CME ERROR: operation not allowed\r\n", kWaitRefused, "+CME ERROR: operation not allowed",
       "a verbose one (CMEE=2)"},
      {"+CMS ERROR: 500\r\n", kWaitRefused, "+CMS ERROR: 500", "a message service error"},
      {"ERROR CODE = 5\r\n", kWaitRefused, "ERROR CODE = 5", "Sierra's, which an OK follows"},
      {"  ERROR  \r\n", kWaitRefused, "ERROR", "blanks around it"},
      {"+CGNSXTRA: 2\r\n", kWaitAnswered, "", "an unsolicited status line"},
      {"ERRORS: 0\r\n", kWaitAnswered, "", "a word that starts like it"},
      {"$GPSERROR: 1\r\n", kWaitAnswered, "", "a line holding it"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    Feeder f;
    f.chunks = {{50, c.line}, {2000, "OK\r\n"}};
    LogFile log;
    WaitContext ctx{f.clock};
    EXPECT_EQ(WaitAtReply(f.queue, 10, ContainsMatcher("OK"), log.fp, ctx), c.result);
    EXPECT_EQ(ctx.refusal, c.refusal);
    EXPECT_NE(log.Text().find(c.line), std::string::npos) << "logged";
    if (c.result == kWaitRefused)
      EXPECT_LT(f.clock.MonotonicUs(), 300'000) << "within the poll after it";
    else
      EXPECT_GE(f.clock.MonotonicUs(), 2'000'000);
  }
  // A step waiting for an error text itself takes it as its reply.
  Feeder f;
  f.chunks = {{50, "ERROR\r\n"}};
  WaitContext ctx{f.clock};
  EXPECT_EQ(WaitAtReply(f.queue, 10, ContainsMatcher("ERROR"), nullptr, ctx), kWaitAnswered);
  EXPECT_EQ(ctx.refusal, "");
}

TEST(AtWaits, TimeOutOfTenSecondsEndsWithinOnePoll) {
  Feeder f;
  WaitContext ctx{f.clock};
  EXPECT_EQ(WaitAtReply(f.queue, 10, ContainsMatcher("OK"), nullptr, ctx), 1);
  EXPECT_GE(f.clock.MonotonicUs(), 10'000'000);
  EXPECT_LE(f.clock.MonotonicUs(), 10'200'000);
}

TEST(AtWaits, TimeOutZeroReturnsAtOnceWithoutReading) {
  Feeder f;
  f.queue.Append("OK\r\n", 4);
  WaitContext ctx{f.clock};
  EXPECT_EQ(WaitAtReply(f.queue, 0, ContainsMatcher("OK"), nullptr, ctx), 1);
  EXPECT_EQ(f.queue.Size(), 4u);
  EXPECT_EQ(f.clock.MonotonicUs(), 0);
}

TEST(AtWaits, ShutdownEndsAWaitAtItsNextPoll) {
  Feeder f;
  std::atomic<bool> shutdown{true};
  WaitContext ctx{f.clock, &shutdown};
  EXPECT_EQ(WaitAtReply(f.queue, 10, ContainsMatcher("OK"), nullptr, ctx), 1);
  EXPECT_LE(f.clock.MonotonicUs(), 100'000);
}

TEST(AtWaits, LateReplySatisfiesTheNextWait) {
  Feeder f;
  f.chunks = {{1500, "OK\r\n"}};
  WaitContext ctx{f.clock};
  EXPECT_EQ(WaitAtReply(f.queue, 1, ContainsMatcher("OK"), nullptr, ctx), 1);
  EXPECT_EQ(WaitAtReply(f.queue, 1, ContainsMatcher("OK"), nullptr, ctx), 0);
}

TEST(ClockCapture, ZoneSignsAndMissingQuotes) {
  struct {
    const char* line;
    bool captured;
    const char* text;
    const char* legend;
  } cases[] = {
      {"+CCLK: \"24/01/15,08:30:00+32\"\r\n", true, "2024/01/15,08:30:00", "plus zone cut off"},
      {"+CCLK: \"24/01/15,08:30:00-20\"\r\n", true, "2024/01/15,08:30:00-20", "minus zone kept"},
      {"+CCLK: \"24/01/15,08:30:00\r\n", false, "", "no closing quote, no plus"},
      {"+CCLK: 24/01/15\r\n", false, "", "no quote at all"},
      {"OK\r\n", false, "", "not a clock line"},
      {"junk +CCLK: \"x\" +1\r\n", true, "20x\" ", "a plus after the closing quote still cuts"},
  };
  for (const auto& c : cases) {
    std::string out = "unchanged";
    EXPECT_EQ(CaptureClock(c.line, out), c.captured) << c.legend;
    EXPECT_EQ(out, c.captured ? c.text : "unchanged") << c.legend;
  }
}

TEST(ClockCapture, WaitClockReplyKeepsTheLastCapture) {
  Feeder f;
  f.chunks = {{50, "+CCLK: \"24/01/15,08:30:00+32\"\r\n+CCLK: \"25/02/16,09:31:01+32\"\r\nOK\r\n"}};
  WaitContext ctx{f.clock};
  g_strXtraTime = "old";
  EXPECT_EQ(WaitClockReply(f.queue, 10, ContainsMatcher("OK"), nullptr, ctx), 0);
  EXPECT_EQ(g_strXtraTime, "2025/02/16,09:31:01");
  // A reply without a usable time leaves the previous one.
  f.chunks = {{f.clock.MonotonicMs() + 50, "+CCLK: \"24/01/15\r\nOK\r\n"}};
  EXPECT_EQ(WaitClockReply(f.queue, 10, ContainsMatcher("OK"), nullptr, ctx), 0);
  EXPECT_EQ(g_strXtraTime, "2025/02/16,09:31:01");
}

TEST(FixWait, FixMatcherCases) {
  RmcFixMatcher m;
  struct {
    const char* line;
    bool fix;
    const char* legend;
  } cases[] = {
      {"$GPRMC,081836,A,3751.65,S,14507.36,E,000.0,360.0,130998,011.3,E*62\r\n", true, "valid"},
      {"$GPRMC,081836,V,,,,,,,130998,,*62\r\n", false, "void"},
      {"$GNRMC,081836,A,3751.65,S,14507.36,E,000.0,360.0,130998,011.3,E*62\r\n", false,
       "another talker never counts"},
      {"$GPRMC,081836\r\n", false, "too short for a status"},
      {"$GPRMC,1,a,\r\n", false, "status must be exactly A"},
      {"xx$GPRMC,1,A,\r\n", true, "anywhere in the line, nothing else examined"},
      {"$GPRMC,1,A\r\n", false, "the line end belongs to the last field"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(m(c.line), c.fix) << c.legend;
}

TEST(FixWait, VoidThenValidInOneBatchBothLogged) {
  Feeder f;
  f.chunks = {{50, "$GPRMC,1,V,*00\r\n$GPRMC,2,A,*00\r\n$GPGGA,after*00\r\n"}};
  LogFile log;
  WaitContext ctx{f.clock};
  EXPECT_EQ(WaitForFix(f.queue, 10, RmcFixMatcher(), log.fp, ctx), 0);
  EXPECT_EQ(log.Text(), "$GPRMC,1,V,*00\r\n$GPRMC,2,A,*00\r\n");
  EXPECT_EQ(f.queue.Size(), 0u);  // the GGA after the fix is dropped
}

// The lines after the fix line in its batch stay out of the NMEA log and the
// queue, as ever, and only the after-fix observer sees them (the GSA of the
// fix epoch), with their stamps; the line observer sees up to the fix.
TEST(FixWait, TheRestOfTheFixBatchGoesOnlyToTheAfterFixObserver) {
  Feeder f;
  f.chunks = {
      {50, "$GPRMC,1,V,*00\r\n"},
      {1050, "$GPRMC,2,A,*00\r\n$GPGGA,2,*00\r\n$GPGSA,A,3,05,13,,,,,,,,,,,1.6,0.9,1.3*00\r\n"}};
  LogFile log;
  WaitContext ctx{f.clock};
  std::vector<std::string> seen, after;
  std::vector<std::int64_t> after_stamps;
  FixWaitObservers observers;
  observers.line = [&](const std::string& line, std::int64_t) { seen.push_back(line); };
  observers.after_fix = [&](const std::string& line, std::int64_t stamp) {
    after.push_back(line);
    after_stamps.push_back(stamp);
  };
  const auto rule = fix_rules::Make("gprmc");
  std::string sentence, fix_line;
  ASSERT_EQ(WaitForFix(f.queue, 10, *rule, log.fp, ctx, &sentence, &fix_line, observers), 0);
  EXPECT_EQ(log.Text(), "$GPRMC,1,V,*00\r\n$GPRMC,2,A,*00\r\n");
  EXPECT_EQ(f.queue.Size(), 0u);
  EXPECT_EQ(seen, (std::vector<std::string>{"$GPRMC,1,V,*00\r\n", "$GPRMC,2,A,*00\r\n"}));
  EXPECT_EQ(after, (std::vector<std::string>{"$GPGGA,2,*00\r\n",
                                             "$GPGSA,A,3,05,13,,,,,,,,,,,1.6,0.9,1.3*00\r\n"}));
  EXPECT_EQ(after_stamps, (std::vector<std::int64_t>{ctx.matched_stamp_us, ctx.matched_stamp_us}));
  EXPECT_GT(ctx.matched_stamp_us, 0);
}

// The first append at or after a moment, whether it still waits in the
// queue or comes later.
TEST(FixWait, TheQueueTellsTheFirstAppendAfterAMoment) {
  LineQueue q;
  q.Append("a", 1, 100);
  q.Append("b", 1, 200);
  q.WatchFirstAppend(150);
  EXPECT_EQ(q.FirstWatchedStamp(), 200);
  q.WatchFirstAppend(300);
  EXPECT_EQ(q.FirstWatchedStamp(), 0);
  q.Append("c", 1, 250);  // stamped before the moment: not it
  q.Append("d", 1, 400);
  q.Append("e", 1, 500);
  EXPECT_EQ(q.FirstWatchedStamp(), 400);
}

TEST(FixWait, OtherTalkerIsLoggedButWaitsOn) {
  Feeder f;
  f.chunks = {{50, "$GNRMC,1,A,*00\r\n"}};
  LogFile log;
  WaitContext ctx{f.clock};
  EXPECT_EQ(WaitForFix(f.queue, 2, RmcFixMatcher(), log.fp, ctx), 1);
  EXPECT_EQ(log.Text(), "$GNRMC,1,A,*00\r\n");
}

TEST(FixWait, StopFlagEndsTheWaitAtTheNextPoll) {
  Feeder f;
  WaitContext ctx{f.clock};
  bExitThread = 1;
  EXPECT_EQ(WaitForFix(f.queue, 200, RmcFixMatcher(), nullptr, ctx), 1);
  EXPECT_EQ(f.clock.MonotonicUs(), 0);
  bExitThread = 0;
}

TEST(FixWait, ZeroTimeAndZeroCaptureReadNothing) {
  Feeder f;
  f.queue.Append("$GPRMC,1,A\r\n", 12);
  WaitContext ctx{f.clock};
  LogFile log;
  EXPECT_EQ(WaitForFix(f.queue, 0, RmcFixMatcher(), log.fp, ctx), 1);
  CaptureNmea(f.queue, 0, log.fp, ctx);
  EXPECT_EQ(log.Text(), "");
}

TEST(FixWait, CaptureLogsForItsDuration) {
  Feeder f;
  for (int s = 0; s < 10; ++s)
    f.chunks.push_back({s * 1000 + 500, "$GPRMC," + std::to_string(s) + ",A\r\n"});
  LogFile log;
  WaitContext ctx{f.clock};
  CaptureNmea(f.queue, 3, log.fp, ctx);
  const std::string text = log.Text();
  EXPECT_NE(text.find("$GPRMC,2,A"), std::string::npos);
  EXPECT_EQ(text.find("$GPRMC,3,A"), std::string::npos);
}

TEST(FixWait, DurationOfAFixArriving3050msAfterTheStart) {
  Feeder f;
  f.chunks = {{3050, "$GPRMC,1,A,*00\r\n"}};
  TtffClock ttff(f.clock);
  WaitContext ctx{f.clock};
  ASSERT_EQ(WaitForFix(f.queue, 200, RmcFixMatcher(), nullptr, ctx), 0);
  const double d = ttff.Elapsed();
  EXPECT_GE(d, 2.95);
  EXPECT_LE(d, 3.15);
  EXPECT_EQ(ctx.matched_stamp_us, f.clock.MonotonicUs());  // stamped when read
}

}  // namespace
