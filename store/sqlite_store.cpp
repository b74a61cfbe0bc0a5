#include "store/sqlite_store.h"

#include <sqlite3.h>

#include "store/row_values.h"
#include "store/schema.h"
#include "store/sql_texts.h"

namespace store {

namespace {

// A prepared statement, finalized on every way out.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &s_, nullptr) != SQLITE_OK)
      s_ = nullptr;
  }
  ~Statement() { sqlite3_finalize(s_); }
  bool Ok() const { return s_ != nullptr; }
  void Text(int i, const std::string& v) {
    sqlite3_bind_text(s_, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void Int(int i, long long v) { sqlite3_bind_int64(s_, i, v); }
  void Real(int i, const std::optional<double>& v) {
    if (v)
      sqlite3_bind_double(s_, i, *v);
    else
      sqlite3_bind_null(s_, i);
  }
  int Step() { return sqlite3_step(s_); }
  sqlite3_stmt* get() { return s_; }

 private:
  sqlite3* db_;
  sqlite3_stmt* s_ = nullptr;
};

}  // namespace

SqliteStore::SqliteStore(const std::string& path, int up_to_version) : path_(path) {
  const int opened =
      sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  // A store refused here (no database, a newer schema) never reaches the
  // destructor: its connection is closed on the way out.
  try {
    if (opened != SQLITE_OK)
      Fail("cannot be opened");
    sqlite3_busy_timeout(db_, 10000);
    // journal_mode answers with the mode it took; anything else than WAL
    // (a file that is no database) fails below at the first read.
    Execute("PRAGMA journal_mode=WAL");
    Execute("PRAGMA synchronous=FULL");
    Execute("PRAGMA foreign_keys=ON");
    Migrate(up_to_version);
  } catch (...) {
    sqlite3_close_v2(db_);
    db_ = nullptr;
    throw;
  }
}

SqliteStore::~SqliteStore() {
  sqlite3_close(db_);
}

void SqliteStore::Fail(const std::string& what) const {
  const std::string reason = db_ ? sqlite3_errmsg(db_) : "out of memory";
  throw StoreError("the results store " + path_ + " " + what + " (" + reason +
                   "); check the file and its folder, or give another store with --store PATH");
}

void SqliteStore::Execute(const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    sqlite3_free(message);
    Fail("cannot be written");
  }
}

std::string SqliteStore::QueryText(const std::string& sql) {
  Statement s(db_, sql.c_str());
  if (!s.Ok())
    Fail("cannot be read");
  const int rc = s.Step();
  if (rc == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(s.get(), 0);
    return text ? reinterpret_cast<const char*>(text) : "";
  }
  if (rc != SQLITE_DONE)
    Fail("cannot be read");
  return "";
}

int SqliteStore::SchemaVersion() {
  if (QueryText("SELECT count(*) FROM sqlite_master WHERE name = 'zuvek_schema'") == "0")
    return 0;
  return std::stoi("0" + QueryText("SELECT max(version) FROM zuvek_schema"));
}

void SqliteStore::Migrate(int up_to_version) {
  const int target = up_to_version < 0 ? CurrentSchemaVersion() : up_to_version;
  // One writer migrates; another tool waiting on the lock sees the result.
  Execute("BEGIN IMMEDIATE");
  try {
    Execute("CREATE TABLE IF NOT EXISTS zuvek_schema (version INTEGER NOT NULL)");
    int version = SchemaVersion();
    if (const std::string newer = NewerStoreSentence(path_, version, CurrentSchemaVersion());
        !newer.empty())
      throw StoreError(newer);
    for (; version < target; ++version) {
      for (const std::string& sql : SchemaSteps()[static_cast<std::size_t>(version)])
        Execute(sql);
      Execute("DELETE FROM zuvek_schema");
      Execute("INSERT INTO zuvek_schema (version) VALUES (" + std::to_string(version + 1) + ")");
    }
    Execute("COMMIT");
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

void SqliteStore::Write(const char* sql, const Values& values) {
  Statement s(db_, sql);
  if (!s.Ok())
    Fail("cannot be written");
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (values[i])
      s.Text(static_cast<int>(i + 1), *values[i]);
  }
  if (s.Step() != SQLITE_DONE)
    Fail("cannot be written");
}

std::vector<Values> SqliteStore::Read(const std::string& sql, const Values& values) {
  Statement s(db_, sql.c_str());
  if (!s.Ok())
    Fail("cannot be read");
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (values[i])
      s.Text(static_cast<int>(i + 1), *values[i]);
  }
  std::vector<Values> rows;
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) {
    Values row;
    for (int i = 0; i < sqlite3_column_count(s.get()); ++i) {
      const unsigned char* text = sqlite3_column_text(s.get(), i);
      row.push_back(text ? std::optional<std::string>(reinterpret_cast<const char*>(text))
                         : std::nullopt);
    }
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE)
    Fail("cannot be read");
  return rows;
}

void SqliteStore::PutTest(const TestRow& t) {
  Write(t.imported ? kPutImportedTestSql : kPutTestSql, TestValues(t));
}

void SqliteStore::PutRun(const StoredRun& r) {
  Write(kPutRunSql, RunValues(r));
}

void SqliteStore::AmendRun(const StoredRun& r) {
  Write(kAmendRunSql, RunValues(r));
}

namespace {
constexpr const char* kOutboxSql =
    "INSERT INTO outbox (server, test_uuid, run) VALUES ($1, $2, $3) ON CONFLICT (server, "
    "test_uuid, run) DO UPDATE SET version = outbox.version + 1";
}

void SqliteStore::InTransaction(const std::function<void()>& writes) {
  Execute("BEGIN IMMEDIATE");
  try {
    writes();
    Execute("COMMIT");
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

void SqliteStore::PutTestFor(const TestRow& t, const std::string& server) {
  InTransaction([&] {
    PutTest(t);
    Write(kOutboxSql, {server, t.test_uuid, std::string("0")});
  });
}

void SqliteStore::PutRunFor(const StoredRun& r, const std::string& server, bool amended) {
  InTransaction([&] {
    if (amended)
      AmendRun(r);
    else
      PutRun(r);
    Write(kOutboxSql, {server, r.test_uuid, std::to_string(r.Run())});
  });
}

std::vector<SqliteStore::OutboxEntry> SqliteStore::Outbox(const std::string& server) {
  std::vector<OutboxEntry> entries;
  // Tests before runs: a server takes no run of a test it lacks.
  for (const Values& row : Read("SELECT test_uuid, run, version FROM outbox WHERE server = $1 "
                                "ORDER BY run <> 0, rowid",
                                {server}))
    entries.push_back({*row[0], static_cast<unsigned>(std::stoul(*row[1])), std::stoll(*row[2])});
  return entries;
}

TestRow SqliteStore::ReadTest(const std::string& uuid) {
  const auto rows =
      Read(std::string("SELECT ") + kTestColumns + " FROM tests WHERE test_uuid = $1", {uuid});
  if (rows.empty())
    Fail("has lost test " + uuid);
  return TestFromValues(rows[0]);
}

StoredRun SqliteStore::ReadRun(const std::string& uuid, unsigned run) {
  const auto rows =
      Read(std::string("SELECT ") + kRunColumns + " FROM runs WHERE test_uuid = $1 AND run = $2",
           {uuid, std::to_string(run)});
  if (rows.empty())
    Fail("has lost run " + std::to_string(run) + " of test " + uuid);
  return RunFromValues(rows[0]);
}

bool SqliteStore::Sent(const std::string& server, const OutboxEntry& e) {
  Write("DELETE FROM outbox WHERE server = $1 AND test_uuid = $2 AND run = $3 AND version = $4",
        {server, e.test_uuid, std::to_string(e.run), std::to_string(e.version)});
  return sqlite3_changes(db_) > 0;
}

std::optional<std::string> SqliteStore::TestBySource(const std::string& source) {
  Statement s(db_, "SELECT test_uuid FROM tests WHERE source = $1");
  if (!s.Ok())
    Fail("cannot be read");
  s.Text(1, source);
  if (s.Step() == SQLITE_ROW)
    return std::string(reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0)));
  return std::nullopt;
}

}  // namespace store
