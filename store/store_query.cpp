#include "store/store_query.h"

#include <chrono>

#include <cctype>
#include <filesystem>

#include "profiles/module_commands.h"
#include "store/pg_store.h"
#include "store/sqlite_store.h"
#include "store/store_location.h"

namespace store {

namespace {

// LIKE's wildcards as themselves.
std::string LikeText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '%' || c == '_' || c == '\\')
      out += '\\';
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

bool IsDate(const std::string& s) {
  if (s.size() != 10 || s[4] != '-' || s[7] != '-')
    return false;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (!std::isdigit(static_cast<unsigned char>(s[i])))
      return false;
  const std::chrono::year_month_day date{std::chrono::year{std::stoi(s.substr(0, 4))},
                                         std::chrono::month{unsigned(std::stoi(s.substr(5, 2)))},
                                         std::chrono::day{unsigned(std::stoi(s.substr(8, 2)))}};
  return date.ok();  // 2026-02-31 is no day
}

class SqliteReader : public StoreReader {
 public:
  explicit SqliteReader(const std::string& path) : db_(path) {}
  std::string Where() const override { return db_.Where(); }

 protected:
  std::vector<Values> Query(const std::string& sql, const Values& values) override {
    return db_.Read(sql, values);
  }

 private:
  SqliteStore db_;
};

class PgReader : public StoreReader {
 public:
  explicit PgReader(const std::string& url) : db_(url) {}
  std::string Where() const override { return db_.Where(); }

 protected:
  std::vector<Values> Query(const std::string& sql, const Values& values) override {
    return db_.Read(sql, values);
  }

 private:
  PgStore db_;
};

}  // namespace

std::string RestartTypeOf(const std::string& word) {
  const int type = RestartTypeOfWord(word);
  return type < 0 || type == RESTART_PLAIN ? "" : RestartTypeName(type);
}

std::string FilterProblem(const TestFilter& f) {
  if (!f.restart.empty() && RestartTypeOf(f.restart).empty())
    return "the restart type \"" + f.restart + "\" is none of hot, warm, cold, power-cycle";
  if (!f.since.empty() && !IsDate(f.since))
    return "the date \"" + f.since + "\" is no date YYYY-MM-DD (such as 2026-11-01)";
  for (char c : f.uuid)
    if (!std::isxdigit(static_cast<unsigned char>(c)) && c != '-')
      return "\"" + f.uuid + "\" is no test key (the hexadecimal UUID history shows, or its start)";
  return "";
}

std::pair<std::string, Values> TestsQuery(const TestFilter& f) {
  std::string sql = std::string("SELECT ") + kTestColumns +
                    ", (SELECT count(*) FROM runs r WHERE r.test_uuid = t.test_uuid), (SELECT "
                    "count(*) FROM runs r WHERE r.test_uuid = t.test_uuid AND r.success = 0) "
                    "FROM tests t WHERE 1 = 1";
  Values values;
  const auto where = [&](const char* condition, const std::string& value) {
    values.push_back(value);
    std::string c = condition;
    c.replace(c.find('?'), 1, "$" + std::to_string(values.size()));
    sql += " AND " + c;
  };
  if (!f.module.empty())
    where("t.module = ?", f.module);
  if (!f.firmware.empty())
    where("lower(t.firmware) LIKE ? ESCAPE '\\'", "%" + LikeText(f.firmware) + "%");
  if (!f.profile.empty())
    where("t.profile = ?", f.profile);
  if (!f.restart.empty())
    where("t.restart_type = ?", RestartTypeOf(f.restart));
  if (!f.since.empty())
    where("t.started_at >= ?", f.since);
  if (!f.uuid.empty())
    where("lower(t.test_uuid) LIKE ? ESCAPE '\\'", LikeText(f.uuid) + "%");
  sql += " ORDER BY t.started_at DESC, t.test_uuid DESC";
  return {sql, values};
}

std::pair<std::string, Values> RunsQuery(const std::string& test_uuid) {
  return {std::string("SELECT ") + kRunColumns + " FROM runs WHERE test_uuid = $1 ORDER BY run",
          {test_uuid}};
}

std::vector<ListedTest> StoreReader::Tests(const TestFilter& filter) {
  if (const std::string problem = FilterProblem(filter); !problem.empty())
    throw StoreError(problem);
  const auto [sql, values] = TestsQuery(filter);
  std::vector<ListedTest> tests;
  for (const Values& row : Query(sql, values)) {
    ListedTest t;
    t.test = TestFromValues(row);
    const std::size_t n = row.size();
    t.runs = static_cast<unsigned>(std::stoul(row[n - 2].value_or("0")));
    t.failures = static_cast<unsigned>(std::stoul(row[n - 1].value_or("0")));
    tests.push_back(std::move(t));
  }
  return tests;
}

std::vector<StoredRun> StoreReader::Runs(const std::string& test_uuid) {
  const auto [sql, values] = RunsQuery(test_uuid);
  std::vector<StoredRun> runs;
  for (const Values& row : Query(sql, values))
    runs.push_back(RunFromValues(row));
  return runs;
}

std::unique_ptr<StoreReader> OpenReader(const std::string& location) {
  if (location.empty())
    throw StoreError(
        "there is no per-user data folder for the results store (set XDG_DATA_HOME or HOME); "
        "give the store with --store PATH");
  if (IsNoStore(location))
    throw StoreError("the store \"none\" holds no tests; give one with --store PATH");
  if (IsServerLocation(location))
    return std::make_unique<PgReader>(location);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(location, ec))
    throw StoreError("no results store at " + location +
                     " yet: run a test or import day folders (zuvek-cli store import "
                     "DAYFOLDER), or give the store with --store PATH");
  return std::make_unique<SqliteReader>(location);
}

}  // namespace store
