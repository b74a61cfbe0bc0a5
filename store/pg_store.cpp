#include "store/pg_store.h"

#include <pqxx/pqxx>

#include "store/row_values.h"
#include "store/schema.h"
#include "store/sql_texts.h"
#include "store/statement_deadline.h"

namespace store {

std::string ServerName(const std::string& url) {
  const auto scheme = url.find("://");
  const auto at = url.find('@');
  if (scheme == std::string::npos || at == std::string::npos)
    return url;
  const auto colon = url.find(':', scheme + 3);
  if (colon == std::string::npos || colon > at)
    return url;
  return url.substr(0, colon) + url.substr(at);
}

namespace {

// How long a statement may take: the server ends it (a held lock) and, for a
// server that cannot (a frozen one), this side cuts the connection a little
// later.
constexpr int kStatementMs = 5000;
constexpr std::chrono::milliseconds kStatementCut{kStatementMs + 1000};

// Bounded waits: a server that went away fails a write within seconds.
std::string WithTimeouts(const std::string& url) {
  return url + (url.find('?') == std::string::npos ? "?" : "&") +
         "connect_timeout=3&tcp_user_timeout=5000&keepalives_idle=5&keepalives_interval=2"
         "&options=-c%20statement_timeout%3D" +
         std::to_string(kStatementMs) + "%20-c%20lock_timeout%3D" + std::to_string(kStatementMs);
}

pqxx::result Exec(pqxx::transaction_base& w, const std::string& sql, const Values& values) {
  std::vector<const char*> params;
  for (const auto& v : values)
    params.push_back(v ? v->c_str() : nullptr);
  return w.exec_params(sql, pqxx::prepare::make_dynamic_params(params));
}

// A server's message (lines, tabs) as part of one sentence.
std::string OneLine(const std::string& text) {
  std::string line;
  for (const char c : text)
    if (c != '\n' && c != '\t')
      line += c;
    else if (!line.empty() && line.back() != ' ')
      line += ' ';
  while (!line.empty() && line.back() == ' ')
    line.pop_back();
  return line;
}

// What went wrong, in one line; a connection cut by its deadline says so.
std::string Why(const std::exception& e, bool expired) {
  if (expired)
    return "no answer within " + std::to_string(kStatementCut.count() / 1000) +
           " s: a held lock, or a server that hangs";
  return OneLine(e.what());
}

}  // namespace

struct PgStore::Connection {
  explicit Connection(const std::string& conninfo) : c(conninfo) {}
  pqxx::connection c;
  // A deadline for the statement about to be sent.
  StatementDeadline Deadline() { return StatementDeadline(c.sock(), kStatementCut); }
};

PgStore::PgStore(const std::string& url) : name_(ServerName(url)) {
  try {
    c_ = std::make_unique<Connection>(WithTimeouts(url));
    const StatementDeadline deadline = c_->Deadline();
    pqxx::work w(c_->c);
    w.exec("SELECT pg_advisory_xact_lock(1420661)");  // one tool migrates at a time
    w.exec("CREATE TABLE IF NOT EXISTS zuvek_schema (version INTEGER NOT NULL)");
    int version = w.exec("SELECT coalesce(max(version), 0) FROM zuvek_schema")[0][0].as<int>();
    if (const std::string newer = NewerStoreSentence(name_, version, CurrentSchemaVersion());
        !newer.empty())
      throw StoreError(newer);
    for (; version < CurrentSchemaVersion(); ++version) {
      for (const std::string& sql : SchemaSteps()[static_cast<std::size_t>(version)])
        w.exec(sql);
      w.exec("DELETE FROM zuvek_schema");
      w.exec("INSERT INTO zuvek_schema (version) VALUES (" + std::to_string(version + 1) + ")");
    }
    w.commit();
  } catch (const StoreError&) {
    throw;
  } catch (const std::exception& e) {
    Throw("cannot be used", e, false);
  }
}

void PgStore::Throw(const std::string& what, const std::exception& e, bool expired) const {
  const std::string text =
      "the results server " + name_ + " " + what + " (" + Why(e, expired) + ")";
  // The server's own time-outs and ours: the connection's, a statement's.
  const std::string message = e.what();
  if (expired || message.find("timeout") != std::string::npos)
    throw StoreTimeout(text);
  throw StoreError(text);
}

PgStore::~PgStore() = default;

void PgStore::PutTest(const TestRow& t) {
  const StatementDeadline deadline = c_->Deadline();
  try {
    pqxx::work w(c_->c);
    Exec(w, t.imported ? kPutImportedTestSql : kPutTestSql, TestValues(t));
    w.commit();
  } catch (const std::exception& e) {
    Throw("took no test", e, deadline.Expired());
  }
}

void PgStore::PutRun(const StoredRun& r) {
  Write(kPutRunSql, r);
}

void PgStore::AmendRun(const StoredRun& r) {
  Write(kAmendRunSql, r);
}

void PgStore::Write(const char* sql, const StoredRun& r) {
  const StatementDeadline deadline = c_->Deadline();
  try {
    pqxx::work w(c_->c);
    Exec(w, sql, RunValues(r));
    w.commit();
  } catch (const std::exception& e) {
    Throw("took no run", e, deadline.Expired());
  }
}

std::optional<std::string> PgStore::TestBySource(const std::string& source) {
  try {
    const StatementDeadline deadline = c_->Deadline();
    pqxx::work w(c_->c);
    const pqxx::result r = Exec(w, "SELECT test_uuid FROM tests WHERE source = $1", {source});
    if (r.empty())
      return std::nullopt;
    return r[0][0].as<std::string>();
  } catch (const std::exception& e) {
    throw StoreError("the results server " + name_ + " cannot be read (" + e.what() + ")");
  }
}

std::vector<Values> PgStore::Read(const std::string& sql, const Values& values) {
  try {
    const StatementDeadline deadline = c_->Deadline();
    pqxx::work w(c_->c);
    std::vector<Values> rows;
    for (const auto& row : Exec(w, sql, values)) {
      Values v;
      for (const auto& field : row)
        v.push_back(field.is_null() ? std::nullopt : std::optional<std::string>(field.c_str()));
      rows.push_back(std::move(v));
    }
    w.commit();
    return rows;
  } catch (const std::exception& e) {
    throw StoreError("the results server " + name_ + " cannot be read (" + OneLine(e.what()) + ")");
  }
}

}  // namespace store
