// The read side of a results store against the same table of filters on
// either backend: four tests written through the store's write API, then
// each filter with the tests it must select, newest first. A server holds
// the tests of other cases too: only the four of this case are compared.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/run_columns.h"
#include "platform/host_name.h"
#include "profiles/module_commands.h"
#include "store/results_store.h"
#include "store/store_query.h"

namespace testsupport {

// A filter of one or two fields.
using FilterField = std::string store::TestFilter::*;
inline store::TestFilter Filter(FilterField f1 = nullptr, const std::string& v1 = "",
                                FilterField f2 = nullptr, const std::string& v2 = "") {
  store::TestFilter f;
  if (f1)
    f.*f1 = v1;
  if (f2)
    f.*f2 = v2;
  return f;
}

// tag: the start of the modules' names (TAG-a, TAG-b).
inline void CheckHistoryFilters(store::ResultsStore& writer, store::StoreReader& reader,
                                std::string& tag) {
  tag = platform::RandomUuid().substr(0, 8);
  struct Written {
    const char* module;
    const char* firmware;
    const char* profile;
    const char* restart;
    const char* started;
    unsigned runs, failures;
  };
  const Written kTests[] = {
      {"-a", "EG25GGBR07A08M2G_01.003.01.003", "quectel-eg25", "Cold Start", "2026-10-01 09:00:00",
       3, 1},
      {"-a", "EG25GGBR07A08M2G_01.004.01.004", "quectel-eg25", "Cold Start", "2026-11-15 10:00:00",
       2, 0},
      {"-b", "EG25GGBR07A08M2G_01.004.01.004", "default", "Hot Start", "2026-11-15 10:00:01", 1, 0},
      {"-b", "100%_x", "default", "Warm Start", "2026-12-01 08:00:00", 0, 0},
  };
  std::vector<std::string> uuids;
  for (const Written& w : kTests) {
    store::TestRow t;
    t.test_uuid = platform::RandomUuid();
    t.module = tag + w.module;
    t.identity_json = std::string(R"({"AT+CGMR":")") + w.firmware + "\"}";
    t.firmware = w.firmware;
    t.profile = w.profile;
    t.fix_rule = "gprmc";
    t.restart_type = w.restart;
    t.settings_json = "{}";
    t.started_at = w.started;
    t.runs_planned = w.runs;
    t.source = "/logs/" + t.test_uuid + "_runs.csv";
    writer.PutTest(t);
    for (unsigned n = 1; n <= w.runs; ++n) {
      RunRecord r;
      r.run = n;
      r.success = n > w.failures;
      if (r.success)
        r.ttff_s = 20.0 + n;
      r.restart_type = RestartTypeOfName(w.restart);
      r.start_time = w.started;
      r.timeline.first_3d_ms = 1234;
      writer.PutRun({t.test_uuid, FieldsOf(r, CsvLayout{}), ""});
    }
    uuids.push_back(t.test_uuid);
  }
  const auto selected = [&](const store::TestFilter& f) {
    std::vector<int> which;
    for (const store::ListedTest& l : reader.Tests(f))
      for (std::size_t i = 0; i < uuids.size(); ++i)
        if (l.test.test_uuid == uuids[i])
          which.push_back(static_cast<int>(i) + 1);
    return which;
  };
  using F = store::TestFilter;
  const std::string a = tag + "-a", b = tag + "-b";
  const struct {
    const char* legend;
    store::TestFilter filter;
    std::vector<int> tests;  // newest first
  } kCases[] = {
      {"no filter", Filter(), {4, 3, 2, 1}},
      {"module", Filter(&F::module, a), {2, 1}},
      {"module of another case", Filter(&F::module, tag + "-c"), {}},
      {"a part of the firmware", Filter(&F::firmware, "01.004"), {3, 2}},
      {"the firmware in lower case", Filter(&F::firmware, "eg25ggbr07a08m2g_01.003"), {1}},
      {"a % of the firmware as itself", Filter(&F::firmware, "0%_x"), {4}},
      {"% is no wildcard", Filter(&F::firmware, "G%3"), {}},
      {"_ is no wildcard", Filter(&F::firmware, "4_0"), {}},
      {"profile", Filter(&F::profile, "quectel-eg25"), {2, 1}},
      {"profile is exact", Filter(&F::profile, "quectel"), {}},
      {"cold", Filter(&F::restart, "cold"), {2, 1}},
      {"hot", Filter(&F::restart, "hot"), {3}},
      {"warm", Filter(&F::restart, "warm"), {4}},
      {"since a day holds that day", Filter(&F::since, "2026-11-15"), {4, 3, 2}},
      {"since the day after", Filter(&F::since, "2026-11-16"), {4}},
      {"module and restart", Filter(&F::module, b, &F::restart, "hot"), {3}},
      {"firmware and module", Filter(&F::module, a, &F::firmware, "01.004"), {2}},
      {"a key's start", Filter(&F::uuid, uuids[2].substr(0, 8)), {3}},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(selected(c.filter), c.tests) << c.legend;
  // The counts and the runs as they were written.
  store::TestFilter first;
  first.uuid = uuids[0];
  const std::vector<store::ListedTest> one = reader.Tests(first);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].runs, 3u);
  EXPECT_EQ(one[0].failures, 1u);
  EXPECT_EQ(one[0].test.firmware, kTests[0].firmware);
  EXPECT_EQ(one[0].test.module, a);
  const std::vector<store::StoredRun> runs = reader.Runs(uuids[0]);
  ASSERT_EQ(runs.size(), 3u);
  for (unsigned n = 1; n <= 3; ++n) {
    std::size_t bad = 0;
    const std::optional<RunRecord> r = RecordOf(runs[n - 1].fields, bad);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->run, n);
    EXPECT_EQ(r->success, n > 1);
    EXPECT_EQ(r->ttff_s, n > 1 ? 20.0 + n : 0.0);
    EXPECT_EQ(r->timeline.first_3d_ms, 1234);
  }
  EXPECT_TRUE(reader.Runs(uuids[3]).empty());
  // Values that can select nothing are refused with a sentence.
  for (const store::TestFilter& bad :
       {Filter(&F::restart, "lukewarm"), Filter(&F::since, "2026-13-01"),
        Filter(&F::since, "01.11.2026"), Filter(&F::uuid, "xyz")})
    EXPECT_THROW(reader.Tests(bad), store::StoreError);
}

}  // namespace testsupport
