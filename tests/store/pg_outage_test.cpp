// The results store on a real PostgreSQL server that stops and starts again
// during a test: nothing lost, nothing doubled. Needs the server that
// pg_virtualenv provides (scripts/test and .ci/run run the suite inside
// one); without it every test here fails and says so.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "engine/run_columns.h"
#include "platform/host_name.h"
#include "profiles/module_commands.h"
#include "store/spooled_store.h"
#include "store/store_query.h"
#include "tests/store/history_cases.h"
#include "tests/store/pg_server.h"
#include "tests/support/cli_in_temp_dir.h"

using store::SpooledStore;
using store::StoredRun;
using store::TestRow;
using testsupport::Env;
using testsupport::Psql;
using testsupport::ServerUrl;
using testsupport::Shell;

namespace {

// "pg_ctlcluster VERSION NAME" of the cluster on $PGPORT.
std::string ClusterControl() {
  std::stringstream lines(Shell("pg_lsclusters -h"));
  std::string line;
  while (std::getline(lines, line)) {
    std::stringstream f(line);
    std::string version, name, port;
    f >> version >> name >> port;
    if (port == Env("PGPORT"))
      return "pg_ctlcluster " + version + " " + name;
  }
  return "";
}

void Server(const std::string& action) {
  const std::string control = ClusterControl();
  ASSERT_FALSE(control.empty()) << "no cluster on port " << Env("PGPORT") << " in pg_lsclusters";
  ASSERT_EQ(std::system(
                (control + " " + action + (action == "stop" ? " -m fast" : "") + " >/dev/null 2>&1")
                    .c_str()),
            0)
      << control << " " << action;
}

StoredRun ARun(const std::string& uuid, unsigned n) {
  RunRecord r;
  r.run = n;
  r.success = true;
  r.ttff_s = 2.0 + n / 100.0;
  r.start_time = "2026-12-08 10:00:00";
  return {uuid, FieldsOf(r, CsvLayout{}), ""};
}

}  // namespace

TEST(StorePg, ServerStopsAndStartsMidTestAndEveryRunArrivesOnce) {
  const std::string url = ServerUrl();
  if (url.empty())
    return;
  testsupport::CliInTempDir cli;
  std::filesystem::create_directories(cli.dir.file("share") + "/zuvek");
  const std::string uuid = platform::RandomUuid();
  std::vector<std::string> told;
  {
    SpooledStore s(
        url, cli.StorePath(), [&](const std::string& t) { told.push_back(t); }, 0.1);
    TestRow t;
    t.test_uuid = uuid;
    t.module = "outage";
    t.identity_json = t.settings_json = "{}";
    t.restart_type = "Hot Start";
    t.started_at = "2026-12-08 10:00:00";
    s.PutTest(t);
    for (unsigned n = 1; n <= 10; ++n)
      s.PutRun(ARun(uuid, n));
    EXPECT_EQ(s.Waiting(), 0u);
    EXPECT_EQ(Psql("SELECT count(*) FROM runs WHERE test_uuid = '" + uuid + "'"), "10");

    Server("stop");
    for (unsigned n = 11; n <= 20; ++n)
      s.PutRun(ARun(uuid, n));  // the test goes on
    EXPECT_EQ(s.Waiting(), 10u);
    ASSERT_FALSE(told.empty());
    EXPECT_NE(told[0].find("wait in " + cli.StorePath()), std::string::npos) << told[0];
    EXPECT_EQ(told.size(), 1u) << "one sentence for the outage";

    Server("start");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    s.PutRun(ARun(uuid, 21));
    EXPECT_EQ(s.Waiting(), 0u);
    EXPECT_EQ(Psql("SELECT count(*) FROM runs WHERE test_uuid = '" + uuid + "'"), "21");
    ASSERT_EQ(told.size(), 2u);
    EXPECT_NE(told[1].find("is back"), std::string::npos) << told[1];

    // Gone again until the program ends: the rest waits for store sync.
    Server("stop");
    for (unsigned n = 22; n <= 25; ++n)
      s.PutRun(ARun(uuid, n));
    t.ended_at = "2026-12-08 10:30:00";
    t.end_reason = "completed";
    s.PutTest(t);
    EXPECT_EQ(s.Waiting(), 5u);
  }
  Server("start");
  const testsupport::ProgramResult sync = cli.Run({"store", "sync"}, {"--store", url});
  EXPECT_EQ(sync.code, 0) << sync.err;
  EXPECT_NE(sync.out.find("sent 5 waiting rows"), std::string::npos) << sync.out;
  const testsupport::ProgramResult again = cli.Run({"store", "sync"}, {"--store", url});
  EXPECT_EQ(again.code, 0) << again.err;
  EXPECT_NE(again.out.find("sent 0 waiting rows"), std::string::npos) << again.out;
  EXPECT_EQ(Psql("SELECT count(*), count(DISTINCT run), min(run), max(run) FROM runs WHERE "
                 "test_uuid = '" +
                 uuid + "'"),
            "25|25|1|25");
  EXPECT_EQ(Psql("SELECT ended_at, end_reason FROM tests WHERE test_uuid = '" + uuid + "'"),
            "2026-12-08 10:30:00|completed");
}

// zuvek-cli run against the simulator writes its test and runs to the
// server; importing its day folder then adds nothing there.
TEST(StorePg, RunAgainstTheSimulatorWritesToTheServerAndImportAddsNothing) {
  const std::string url = ServerUrl();
  if (url.empty())
    return;
  testsupport::CliInTempDir cli;
  const testsupport::ProgramResult run = cli.Run(
      {"run"}, {"--restart", "hot", "--runs", "3", "--time-scale", "50", "-q", "--store", url});
  ASSERT_EQ(run.code, 0) << run.err;
  const std::string csv = testsupport::CliInTempDir::LogPath(run.out, "_runs.csv");
  const std::string where = "FROM runs JOIN tests USING (test_uuid) WHERE source = '" + csv + "'";
  EXPECT_EQ(Psql("SELECT count(*) " + where), "3");
  EXPECT_EQ(Psql("SELECT module, end_reason FROM tests WHERE source = '" + csv + "'"),
            "simulator|completed");
  const std::string day = std::filesystem::path(csv).parent_path().string();
  const testsupport::ProgramResult import = cli.Run({"store", "import"}, {day, "--store", url});
  EXPECT_EQ(import.code, 0) << import.err;
  EXPECT_EQ(Psql("SELECT count(*) " + where), "3");
  EXPECT_EQ(Psql("SELECT count(*) FROM tests WHERE source = '" + csv + "'"), "1");
  // A second desk, with a spool of its own, imports a copy of the folder:
  // the server keeps one test, the one recorded live.
  const std::string uuid = Psql("SELECT test_uuid FROM tests WHERE source = '" + csv + "'");
  testsupport::TempDir desk;
  const std::string copy = desk.file(std::filesystem::path(day).filename().string());
  std::filesystem::copy(day, copy, std::filesystem::copy_options::recursive);
  const testsupport::ProgramResult second =
      testsupport::RunProgram({cli.exe, "store", "import", copy, "--store", url},
                              desk.path().string(), {"XDG_DATA_HOME=" + desk.file("share")});
  EXPECT_EQ(second.code, 0) << second.err;
  EXPECT_EQ(Psql("SELECT count(*) FROM runs WHERE test_uuid = '" + uuid + "'"), "3");
  EXPECT_EQ(Psql("SELECT count(*) FROM tests WHERE test_uuid = '" + uuid + "'"), "1");
  EXPECT_EQ(Psql("SELECT count(*) FROM tests WHERE source LIKE '" + desk.path().string() + "%'"),
            "0")
      << "no second copy of the test";
  EXPECT_EQ(Psql("SELECT end_reason FROM tests WHERE test_uuid = '" + uuid + "'"), "completed");
}

// The read side on the server: the table of filters, and zuvek-cli history
// reading the server itself.
TEST(StorePg, HistoryFiltersSelectTheirTestsNewestFirst) {
  const std::string url = ServerUrl();
  if (url.empty())
    return;
  store::PgStore writer(url);
  const std::unique_ptr<store::StoreReader> reader = store::OpenReader(url);
  std::string tag;
  testsupport::CheckHistoryFilters(writer, *reader, tag);
  testsupport::CliInTempDir cli;
  const testsupport::ProgramResult history =
      cli.Run({"history"}, {"--store", url, "--module", tag + "-b", "--json"});
  ASSERT_EQ(history.code, 0) << history.err;
  const nlohmann::json list = nlohmann::json::parse(history.out);
  ASSERT_EQ(list.size(), 2u) << history.out;
  EXPECT_EQ(list[0]["firmware"], "100%_x");
  EXPECT_EQ(list[0]["restart"], "warm");
  EXPECT_EQ(list[1]["restart"], "hot");
  EXPECT_EQ(list[1]["runs"], 1);
#ifdef ZUVEK_HAS_REPORT
  // The report reads the server too: TAG-a's two tests pooled, 3 + 2 runs.
  const std::string html = cli.dir.file("pg.html");
  const testsupport::ProgramResult report =
      cli.Run({"report"}, {"--store", url, "store:module=" + tag + "-a", "-o", html});
  ASSERT_EQ(report.code, 0) << report.err;
  EXPECT_NE(testsupport::ReadFile(html).find("store:module=" + tag + "-a: 5 runs</summary>"),
            std::string::npos);
#endif
}

namespace {

// The processes of the cluster on $PGPORT: its postmaster and its children.
std::string ClusterPids() {
  std::stringstream lines(Shell("pg_lsclusters -h"));
  std::string line;
  while (std::getline(lines, line)) {
    std::stringstream f(line);
    std::string version, name, port, status, owner, data;
    f >> version >> name >> port >> status >> owner >> data;
    if (port == Env("PGPORT")) {
      const std::string pid = Shell("head -1 " + data + "/postmaster.pid");
      return pid + " " + Shell("pgrep -P " + pid + " | tr '\\n' ' '");
    }
  }
  return "";
}

}  // namespace

// A server that holds a lock on the runs, then one whose processes are
// frozen, stall a test no longer than a statement's time-out: its runs go
// to the local spool with one sentence, and they arrive once the server
// answers again.
TEST(StorePg, AServerThatHangsCostsTheTestOneStatementsTimeOut) {
  const std::string url = ServerUrl();
  if (url.empty())
    return;
  testsupport::CliInTempDir cli;
  const std::vector<std::string> hot = {"--restart", "hot", "--runs",  "3", "--time-scale",
                                        "100",       "-q",  "--store", url};
  // The server's tables first (a test migrates them), so that a lock can be held.
  ASSERT_EQ(cli.Run({"store", "sync"}, {"--store", url}).code, 0);
  for (const char* how : {"a held lock", "frozen processes"}) {
    SCOPED_TRACE(how);
    const bool freeze = std::string(how) == "frozen processes";
    testsupport::ChildProcess holder({"/usr/bin/psql", "-Xqc",
                                      "BEGIN; LOCK TABLE runs IN ACCESS EXCLUSIVE MODE; SELECT "
                                      "pg_sleep(40);"},
                                     cli.dir.path().string());
    for (int i = 0; i < 100 && Psql("SELECT count(*) FROM pg_locks WHERE mode = "
                                    "'AccessExclusiveLock' AND relation = 'runs'::regclass") != "1";
         ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string pids = freeze ? ClusterPids() : "";
    const std::string release =
        "SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE query LIKE "
        "'%pg_sleep(40)%' AND pid <> pg_backend_pid()";
    if (freeze) {
      Psql(release);
      holder.Wait();
      ASSERT_FALSE(pids.empty());
      Shell("kill -STOP " + pids);
    }
    const testsupport::ProgramResult run = cli.Run({"run"}, hot);
    if (freeze)
      Shell("kill -CONT " + pids);
    Psql(release);
    holder.Wait();
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_LT(run.seconds, 25.0) << "the test waited for the server";
    EXPECT_NE(run.err.find("the test goes on and its runs wait in"), std::string::npos) << run.err;
    const testsupport::ProgramResult sync = cli.Run({"store", "sync"}, {"--store", url});
    EXPECT_EQ(sync.code, 0) << sync.err;
    const std::string csv = testsupport::CliInTempDir::LogPath(run.out, "_runs.csv");
    EXPECT_EQ(
        Psql("SELECT count(*) FROM runs JOIN tests USING (test_uuid) WHERE source = '" + csv + "'"),
        "3");
  }
}
