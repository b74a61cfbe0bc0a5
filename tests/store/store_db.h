// Reads a results store file the way a person would with sqlite3.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

namespace testsupport {

// Every row of a query, its columns as text (NULL as "NULL").
inline std::vector<std::vector<std::string>> Rows(const std::string& path, const std::string& sql) {
  std::vector<std::vector<std::string>> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return rows;
  }
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK) {
    while (sqlite3_step(s) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(s); ++i) {
        const unsigned char* t = sqlite3_column_text(s, i);
        row.push_back(t ? reinterpret_cast<const char*>(t) : "NULL");
      }
      rows.push_back(row);
    }
  }
  sqlite3_finalize(s);
  sqlite3_close(db);
  return rows;
}

inline std::string One(const std::string& path, const std::string& sql) {
  const auto rows = Rows(path, sql);
  return rows.empty() || rows[0].empty() ? "" : rows[0][0];
}

}  // namespace testsupport
