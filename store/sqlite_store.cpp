#include "store/sqlite_store.h"

#include <sqlite3.h>

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
  if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK)
    Fail("cannot be opened");
  sqlite3_busy_timeout(db_, 10000);
  // journal_mode answers with the mode it took; anything else than WAL
  // (a file that is no database) fails below at the first read.
  Execute("PRAGMA journal_mode=WAL");
  Execute("PRAGMA synchronous=FULL");
  Execute("PRAGMA foreign_keys=ON");
  Migrate(up_to_version);
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

void SqliteStore::PutTest(const TestRow& t) {
  Statement s(db_, kPutTestSql);
  if (!s.Ok())
    Fail("cannot be written");
  const std::string values[] = {t.test_uuid, t.module,   t.identity_json, t.firmware,
                                t.profile,   t.fix_rule, t.restart_type};
  int i = 1;
  for (const std::string& v : values)
    s.Text(i++, v);
  s.Int(i++, t.xtra ? 1 : 0);
  for (const std::string* v :
       {&t.settings_json, &t.host, &t.tool_version, &t.started_at, &t.ended_at, &t.end_reason})
    s.Text(i++, *v);
  s.Int(i++, t.runs_planned);
  s.Text(i++, t.source);
  s.Text(i++, t.summary_json);
  if (s.Step() != SQLITE_DONE)
    Fail("cannot be written");
}

void SqliteStore::PutRun(const RunRow& r) {
  Statement s(db_, kPutRunSql);
  if (!s.Ok())
    Fail("cannot be written");
  s.Text(1, r.test_uuid);
  s.Int(2, r.run);
  s.Int(3, r.success ? 1 : 0);
  s.Real(4, r.ttff_s);
  s.Real(5, r.ttff_precise_s);
  s.Text(6, r.restart_type);
  s.Int(7, r.xtra ? 1 : 0);
  s.Text(8, r.start_time);
  s.Real(9, r.time_scale);
  s.Text(10, r.reason);
  s.Text(11, r.fix_sentence);
  s.Real(12, r.fix_lat);
  s.Real(13, r.fix_lon);
  s.Real(14, r.fix_alt_m);
  s.Text(15, r.reset_suspect);
  s.Text(16, r.details_json);
  if (s.Step() != SQLITE_DONE)
    Fail("cannot be written");
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
