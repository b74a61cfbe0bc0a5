// Recorded runs per second into a results store, each in its own
// transaction as zuvek-cli run writes them (the run row with its JSON
// details as the engine makes it): a SQLite file, or a PostgreSQL server
// through the local spool.
//   store_throughput [runs=5000] [PATH|postgresql://...]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/host_name.h"
#include "store/pg_store.h"
#include "store/spooled_store.h"
#include "store/sqlite_store.h"
#include "store/store_location.h"
#include "store/store_sink.h"

int main(int argc, char** argv) {
  const unsigned runs = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 5000;
  const std::string where = argc > 2 ? argv[2] : "";
  const std::string folder =
      (std::filesystem::temp_directory_path() / ("zuvek-store-bench-" + platform::RandomUuid()))
          .string();
  std::filesystem::create_directories(folder);
  std::unique_ptr<store::ResultsStore> s;
  try {
    if (store::IsServerLocation(where))
      s = std::make_unique<store::SpooledStore>(where, folder + "/spool.sqlite");
    else
      s = std::make_unique<store::SqliteStore>(where.empty() ? folder + "/results.sqlite" : where);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "store_throughput: %s\n", e.what());
    return 1;
  }
  store::StoreSink sink(std::move(s), "bench",
                        [](const std::string& t) { std::fprintf(stderr, "%s\n", t.c_str()); });
  TestStartInfo info;
  info.conditions.profile = "default";
  info.conditions.fix_rule = "gprmc";
  info.conditions.started = "2026-12-08 10:00:00";
  info.conditions.runs_planned = runs;
  info.settings_json = "{}";
  sink.OnTestStarted(info);
  const auto start = std::chrono::steady_clock::now();
  // As the engine files a run: at its result, and amended after its capture.
  for (unsigned n = 1; n <= runs; ++n) {
    RunRecord r;
    r.run = n;
    r.success = true;
    r.ttff_s = 31.2;
    r.ttff_precise_s = 31.187;
    r.restart_type = 1;
    r.start_time = "2026-12-08 10:00:00";
    sink.OnRunRecorded(r, FieldsOf(r, CsvLayout{}));
    r.timeline.first_3d_ms = 33100;
    sink.OnRunAmended(r, FieldsOf(r, CsvLayout{}));
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  sink.OnTestEnded("2026-12-08 11:00:00", "completed", "{}");
  std::printf(
      "%u runs in %.3f s: %.0f runs/s into %s%s\n", runs, seconds, runs / seconds,
      where.empty() ? (folder + "/results.sqlite").c_str() : store::ServerName(where).c_str(),
      sink.Failed() ? " (A WRITE FAILED)" : "");
  std::filesystem::remove_all(folder);
  return sink.Failed() ? 1 : 0;
}
