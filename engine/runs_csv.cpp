#include "engine/runs_csv.h"

#include <set>

#include "engine/csv_table.h"

RunsCsv ReadRunsCsv(const std::string& text, const std::string& what) {
  RunsCsv out;
  CsvTable csv(text, what, out.problems);
  if (!csv.Has("run") || !csv.Has("result")) {
    if (!csv.Names().empty())
      out.problems.push_back(what +
                             " has no \"run\" and \"result\" columns; it is no runs file of this "
                             "program, and no run is read from it.");
    return out;
  }
  out.layout = LayoutOfHeader(csv.Names());
  std::size_t bad_numbers = 0, repeated = 0, incomplete = 0;
  std::set<unsigned> seen;
  const FieldByName field = [&csv](const std::string& name) { return csv.Field(name); };
  while (csv.Next()) {
    std::optional<RunRecord> r = RecordOf(field, bad_numbers);
    if (!r) {
      ++incomplete;
      continue;
    }
    if (!seen.insert(r->run).second) {
      ++repeated;
      continue;
    }
    RunFields fields;
    for (const std::string& name : csv.Names())
      fields.emplace_back(name, csv.Text(name));
    out.rows.push_back({std::move(*r), std::move(fields)});
  }
  if (incomplete > 0)
    out.problems.push_back(what + " has " + std::to_string(incomplete) +
                           " line(s) that are no complete run (a cut-off or foreign line); they "
                           "are skipped.");
  if (repeated > 0)
    out.problems.push_back(what + " names " + std::to_string(repeated) +
                           " run(s) a second time; the first row of each is kept.");
  out.skipped = incomplete + repeated;
  csv.AddBadNumbers(bad_numbers);
  csv.Finish();
  return out;
}
