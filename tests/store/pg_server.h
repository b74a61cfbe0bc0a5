// The PostgreSQL server of the environment (pg_virtualenv sets PG* for it)
// and psql on it, for the tests against a real server.
#pragma once

#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace testsupport {

inline std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// The server of the environment, or "" (with a failure that says why).
inline std::string ServerUrl() {
  if (Env("PGPORT").empty() || Env("PGHOST").empty()) {
    ADD_FAILURE() << "no PostgreSQL server: these tests need one; run them inside "
                     "pg_virtualenv (as root: pg_virtualenv -- ctest --test-dir build/dev -L "
                     "store_pg), which scripts/test and .ci/run do";
    return "";
  }
  return "postgresql://" + Env("PGUSER") + ":" + Env("PGPASSWORD") + "@" + Env("PGHOST") + ":" +
         Env("PGPORT") + "/" + Env("PGDATABASE");
}

inline std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[512];
    while (std::fgets(buf, sizeof buf, p))
      out += buf;
    pclose(p);
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
    out.pop_back();
  return out;
}

inline std::string Psql(const std::string& sql) {
  return Shell("psql -XAtqc \"" + sql + "\" 2>&1");
}

}  // namespace testsupport
